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

    // ClearNVMFile's result says nothing reliable either way; the size read back on the same link
    // is what tells whether the slot is empty.
    library.ClearNVMFile(slot.fileGroup, slot.fileNumber);
    const std::int16_t size = library.GetNVMFileSize(slot.fileGroup, slot.fileNumber);
    library.EndGBPMode();

    if (size != 0) {
        // The row keeps naming what the slot still holds.
        view.setStatus(QStringLiteral("ERROR"));
        view.setLcdStatus(QStringLiteral("Error!"));
        return false;
    }
    view.setStatus(QString::fromLatin1(slot.clearDoneText));
    view.setLcdStatus(QStringLiteral("CLEAR"));
    showSlotCleared(slot, view);
    return true;
}

}  // namespace hideaway
