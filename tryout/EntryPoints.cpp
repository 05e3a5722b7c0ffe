// The module's two exported entry points. Each adopts the host's application object, creates a
// new form and records it in the module's slot; the host shows it. No exception leaves an entry:
// a failure shows the error box and the host receives null.
#include "module/EntryPoints.h"

#include "module/Guarded.h"
#include "module/ModuleState.h"
#include "tryout/SumSpRptQ.h"
#include "tryout/TryOutMng.h"

#include <QApplication>

extern "C" {

QWidget* frmTryoutMngShow(QApplication* app, CloseNotifier notifier)
{
    return guardEntry<QWidget*>(
        [&]() -> QWidget* {
            ModuleState::adoptHost(app);
            auto* form = TfrmBase::create<TfrmTryOutMng>(nullptr);
            // The form keeps its own notifier: with several lists open, each tells the host
            // about its own close.
            form->setCloseNotifier(notifier);
            ModuleState::claimSlot(ModuleState::registerList(), form, notifier);
            return form;
        },
        nullptr);
}

QWidget* frmSpRptShow(QApplication* app, CloseNotifier notifier)
{
    return guardEntry<QWidget*>(
        [&]() -> QWidget* {
            ModuleState::adoptHost(app);
            auto* form = TfrmBase::create<TfrmSumSpRptQ>(nullptr);
            // As the register list: each report tells the host about its own close.
            form->setCloseNotifier(notifier);
            ModuleState::claimSlot(ModuleState::summaryReport(), form, notifier);
            return form;
        },
        nullptr);
}

} // extern "C"
