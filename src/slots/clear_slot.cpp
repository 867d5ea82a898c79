#include "connect_phone.h"
#include "gbp_library.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "slot_view.h"
#include "transfer_steps.h"

namespace hideaway {

bool ClearSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library) {
    view.setStatus(QString::fromLatin1(slot.clearStartText));
    view.setLcdStatus(QStringLiteral("Clearing..."));
    if (ConnectPhone(view, library) < 0) {
        return false;
    }

    // The library gives ClearNVMFile's result no meaning, so it is not looked at.
    library.ClearNVMFile(slot.fileGroup, slot.fileNumber);
    library.EndGBPMode();

    view.setStatus(QString::fromLatin1(slot.clearDoneText));
    view.setLcdStatus(QStringLiteral("CLEAR"));
    showSlotCleared(slot, view);
    return true;
}

}  // namespace hideaway
