#include "gbp_library.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "slot_view.h"
#include "transfer_steps.h"

namespace hideaway {

SlotOutcome ClearSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library) {
    SlotOutcome outcome;
    view.setStatus(QString::fromLatin1(slot.clearStartText));
    view.setLcdStatus(QStringLiteral("Clearing..."));
    if (!openLink(view, library, outcome)) {
        return outcome;
    }

    // ClearNVMFile's result says nothing reliable either way; the size read back on the same link
    // is what tells whether the slot is empty.
    outcome.slotTouched = true;
    const std::int16_t cleared = library.ClearNVMFile(slot.fileGroup, slot.fileNumber);
    const std::int16_t size = library.GetNVMFileSize(slot.fileGroup, slot.fileNumber);
    outcome.size(slot.number) = size;
    if (size >= 0) {
        view.noteFact(slot.number, size == 0 ? SlotFact::Emptied : SlotFact::NotEmptied);
    }
    library.EndGBPMode();

    if (size != 0) {
        // The row keeps naming what the slot still holds.
        view.setStatus(QStringLiteral("ERROR"));
        view.setLcdStatus(QStringLiteral("Error!"));
        outcome.failure =
            size > 0 ? SlotOutcome::Failure::NotCleared : SlotOutcome::Failure::NotMeasured;
        outcome.libraryResult = size > 0 ? cleared : size;
        return outcome;
    }
    view.setStatus(QString::fromLatin1(slot.clearDoneText));
    view.setLcdStatus(QStringLiteral("CLEAR"));
    showSlotCleared(slot, view);
    return outcome;
}

}  // namespace hideaway
