// The module's exported entry points, as the host finds them by name (dlsym) in libtryout.so.
// Each adopts the host's application object, creates a new form owned by it, records it in the
// module's slot and returns it; the host shows it. The close notifier (or null) is called once
// with the form's Tag when the form closes.
#pragma once

class QApplication;
class QWidget;

// The host's procedure called once with the form's Tag when a list form closes.
using CloseNotifier = void (*)(int tag);

#define TRYOUT_EXPORT __attribute__((visibility("default")))

extern "C" {
// The try-out register list, caption "试用品试用".
TRYOUT_EXPORT QWidget* frmTryoutMngShow(QApplication* app, CloseNotifier notifier);
// The try-out summary report, caption "试用品统计报表".
TRYOUT_EXPORT QWidget* frmSpRptShow(QApplication* app, CloseNotifier notifier);
}

// The type of both entry points, for lookups by name.
using FormShowProc = QWidget* (*)(QApplication* app, CloseNotifier notifier);
