#include "module/ModuleState.h"

#include "host/include/Appres.h"
#include "platform/ui/Guard.h"

#include <QApplication>

namespace ModuleState {

FormSlot& registerList() { static FormSlot s; return s; }
FormSlot& summaryReport() { static FormSlot s; return s; }

void claimSlot(FormSlot& slot, QWidget* form, CloseNotifier notifier)
{
    slot.form = form;
    slot.notifier = notifier;
}

void releaseSlot(FormSlot& slot, QWidget* form)
{
    if (slot.form == form || slot.form.isNull()) {
        slot.form = nullptr;
        slot.notifier = nullptr;
    }
}

namespace {
QPointer<QApplication>& hostApp() { static QPointer<QApplication> a; return a; }
}

QApplication* hostApplication() { return hostApp().data(); }
void setHostApplication(QApplication* app) { hostApp() = app; }

void adoptHost(QApplication* app)
{
    setHostApplication(app);
    setGuardCaption(UGetProductName_CH());
}

namespace {
// Loading the library only names the error box; no form, no connection.
const bool captionSet = [] {
    setGuardCaption(UGetProductName_CH());
    return true;
}();
}

} // namespace ModuleState
