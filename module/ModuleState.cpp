#include "module/ModuleState.h"

namespace ModuleState {

FormSlot& registerList() { static FormSlot s; return s; }
FormSlot& summaryReport() { static FormSlot s; return s; }

void releaseSlot(FormSlot& slot, QWidget* form)
{
    if (slot.form == form || slot.form.isNull()) {
        slot.form = nullptr;
        slot.notifier = nullptr;
    }
}

} // namespace ModuleState
