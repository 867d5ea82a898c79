#include <algorithm>
#include <array>

#include <QLocale>

#include "gbp_library.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "slot_view.h"
#include "transfer_steps.h"

namespace hideaway {

SlotOutcome CheckSlots(SlotView& view, GbpLibrary& library) {
    SlotOutcome outcome;
    view.setStatus(QStringLiteral("CHECKING"));
    if (!openLink(view, library, outcome)) {
        return outcome;
    }

    // Every slot is measured over the one link before anything is shown.
    std::array<std::int16_t, kSlotCount>& sizes = outcome.sizes;
    for (std::size_t i = 0; i < kSlotTable.size(); ++i) {
        const SlotRow& slot = kSlotTable[i];
        view.setSlotName(slot.number, QStringLiteral("CHECKING..."));
        sizes[i] = library.GetNVMFileSize(slot.fileGroup, slot.fileNumber);
    }
    library.EndGBPMode();

    for (std::size_t i = 0; i < kSlotTable.size(); ++i) {
        const SlotRow& slot = kSlotTable[i];
        // A negative size is the library's failure result and shows as an empty slot.
        if (sizes[i] > 0) {
            // A size beyond the scale fills the bar; the byte count keeps the whole number.
            view.setSlotProgress(
                slot.number, static_cast<float>(std::min<std::int32_t>(sizes[i], SlotCapacity)));
            view.setSlotBytes(slot.number, QString::number(sizes[i]));
            view.setSlotName(slot.number, QString::fromLatin1(slot.presentText));
        } else {
            view.setSlotProgress(slot.number, 0.0F);
            view.setSlotBytes(slot.number, QStringLiteral("0"));
            view.setSlotName(slot.number, QStringLiteral("<EMPTY SLOT>"));
        }
    }
    view.setLcdStatus(QStringLiteral("CHECK"));

    // The total is what the five boxes show, added in slot order in single precision.
    const QLocale locale;
    float total = 0.0F;
    for (const SlotRow& slot : kSlotTable) {
        total += locale.toFloat(view.slotBytes(slot.number));
    }
    view.setTotalHidden(QString::number(static_cast<double>(total), 'g', 7));
    // A slot the library failed to measure is shown as empty, but it was not measured.
    if (std::any_of(sizes.begin(), sizes.end(), [](std::int16_t size) { return size < 0; })) {
        outcome.failure = SlotOutcome::Failure::NotMeasured;
    }
    return outcome;
}

}  // namespace hideaway
