#include <cstring>

#include "app_error.h"
#include "file_dialog.h"
#include "file_transfer.h"
#include "gbp_library.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "slot_view.h"
#include "transfer_steps.h"

namespace hideaway {

namespace {

/// A matching size does not prove the content: the slot is read back over the open link and
/// compared byte for byte with what was written.
bool slotHolds(GbpLibrary& library, const SlotRow& slot, const ByteBuffer& written,
               std::int32_t length) {
    ByteBuffer readBack;
    const std::int16_t result = readSlot(library, slot, readBack);
    if (isFailedRead(result) || result != length) {
        return false;
    }
    return std::memcmp(readBack.data(), written.data(), static_cast<std::size_t>(length)) == 0;
}

}  // namespace

SlotOutcome UploadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library,
                       FileDialog& dialog) {
    SlotOutcome outcome;
    UploadSlot(slot, view, library, dialog, outcome);
    return outcome;
}

void UploadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library, FileDialog& dialog,
                SlotOutcome& outcome) {
    // From the clear until the row is written again, the row names a file the slot no longer
    // holds; every way out in between must show the row cleared.
    bool rowShowsLostFile = false;
    try {
        view.setStatus(QStringLiteral("UPLOAD"));
        view.setLcdStatus(QStringLiteral("Uploading..."));

        dialog.setCancelError(true);
        dialog.setFilter(QStringLiteral("Any Files *.*|*.*"));
        dialog.ShowOpen();

        // Taken once: the size test, the load, the write and the verification all use it.
        const std::int32_t length = fileLength(dialog.fileName());
        if (length > kUploadLimit) {
            view.showMessage(QStringLiteral("FileSize MUST be under 21000 Bytes!!!"));
            view.setStatus(QStringLiteral("ERROR"));
            view.setLcdStatus(QStringLiteral("Error!"));
            outcome.failure = SlotOutcome::Failure::FileTooLarge;
            return;
        }

        // Loaded before any link opens, so a file that cannot be read never reaches the phone.
        ByteBuffer buffer;
        LoadFileBytes(dialog.fileName(), buffer, static_cast<std::int16_t>(length));

        if (!openLink(view, library, outcome)) {
            return;
        }
        outcome.slotTouched = true;
        library.ClearNVMFile(slot.fileGroup, slot.fileNumber);
        rowShowsLostFile = true;
        library.EndGBPMode();

        if (!openLink(view, library, outcome)) {
            showSlotCleared(slot, view);
            return;
        }
        library.WriteNVMFile(slot.fileGroup, slot.fileNumber, buffer.data(), length);
        const std::int16_t size = library.GetNVMFileSize(slot.fileGroup, slot.fileNumber);

        const bool verified = size == length && slotHolds(library, slot, buffer, length);
        rowShowsLostFile = false;
        outcome.bytes = length;
        if (verified) {
            view.noteFact(slot.number, SlotFact::Verified);
            view.setLcdStatus(QStringLiteral("OK!"));
            view.setSlotName(slot.number, dialog.fileName());
            view.setSlotProgress(slot.number, static_cast<float>(length));
            view.setStatus(QStringLiteral("OK"));
            view.setSlotBytes(slot.number, QString::number(length));
        } else {
            view.showMessage(QStringLiteral("ERROR writing SLOT Content! Please Try Again!"));
            if (slot.reportsFailedVerification) {
                view.setLcdStatus(QStringLiteral("ERROR"));
                view.setStatus(QStringLiteral("ERROR"));
            }
            showSlotCleared(slot, view);
            outcome.failure = SlotOutcome::Failure::NotVerified;
        }
        library.EndGBPMode();
        return;
    } catch (const AppError& error) {
        reportTrappedError(error, QStringLiteral("Error while opening load dialog:\r\n"), view,
                           outcome);
        if (rowShowsLostFile) {
            showSlotCleared(slot, view);
        }
    }
    // Not trapped: an error here (a library that cannot be loaded at all) reaches the window.
    library.EndGBPMode();
}

}  // namespace hideaway
