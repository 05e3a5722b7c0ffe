// Module-wide state, one instance per loaded library.
#pragma once

#include "module/EntryPoints.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QApplication;


namespace ModuleState {
// The module's print setting, handed to the format-printing service and used as PrnType.
inline const QString PrintSetting = QStringLiteral("1");

struct FormSlot {
    QPointer<QWidget> form;       // the form created by the last entry-point call
    CloseNotifier notifier = nullptr;
};

FormSlot& registerList();  // frmTryoutMngShow
FormSlot& summaryReport(); // frmSpRptShow

// Records the form and notifier of an entry-point call (the latest call wins).
void claimSlot(FormSlot& slot, QWidget* form, CloseNotifier notifier);
// Clears a slot only when it still names this form: with two lists open, closing the first
// must not forget the second.
void releaseSlot(FormSlot& slot, QWidget* form);

// The host's application object, set by every entry-point call; null before the first one.
QApplication* hostApplication();
void setHostApplication(QApplication* app);

// Binds the module to the host at an entry-point call: adopts the host's application object
// and makes the product name the caption of the general error box.
void adoptHost(QApplication* app);
}
