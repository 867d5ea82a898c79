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

void askForSaveName(FileDialog& dialog) {
    dialog.setCancelError(true);
    dialog.setFilter(QStringLiteral("Bin Files *.bin|*.bin"));
    dialog.ShowSave();
}

}  // namespace

SlotOutcome DownloadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library,
                         FileDialog& dialog) {
    SlotOutcome outcome;
    try {
        ByteBuffer buffer;
        if (!slot.readsBeforeSaveDialog) {
            askForSaveName(dialog);
        }
        if (!openLink(view, library, outcome)) {
            return outcome;
        }
        view.setStatus(QString::fromLatin1(slot.downloadStartText));
        view.setLcdStatus(QStringLiteral("DOWNLOAD"));

        const std::int16_t result = readSlot(library, slot, buffer);
        if (isFailedRead(result)) {
            view.setStatus(QString::number(result));
            view.setLcdStatus(QStringLiteral("ERROR!"));
            view.showMessage(QString::fromLatin1(slot.downloadFailedText));
            library.EndGBPMode();
            outcome.failure = SlotOutcome::Failure::ReadFailed;
            outcome.libraryResult = result;
            return outcome;
        }

        const std::int32_t count = result;
        if (slot.readsBeforeSaveDialog) {
            askForSaveName(dialog);
        }
        const bool saved = SaveBytesToFile(dialog.fileName(), buffer, count,
                                           [&view, &outcome](const QString& text) {
                                               view.showMessage(text);
                                               outcome.reason = text;
                                           });
        if (!saved) {
            // The save already told why; the row must not claim a file that was not written.
            view.setStatus(QStringLiteral("ERROR"));
            view.setLcdStatus(QStringLiteral("ERROR!"));
            library.EndGBPMode();
            outcome.failure = SlotOutcome::Failure::NotSaved;
            return outcome;
        }

        view.noteFact(slot.number, SlotFact::FileSaved);
        outcome.bytes = count;
        view.setLcdStatus(QStringLiteral("OK!"));
        view.setSlotName(slot.number, dialog.fileName());
        view.setStatus(QStringLiteral("OK"));
        view.setSlotProgress(slot.number, static_cast<float>(result));
        view.setSlotBytes(slot.number, QString::number(result));
        library.EndGBPMode();
        return outcome;
    } catch (const AppError& error) {
        reportTrappedError(error, QStringLiteral("Error while opening save dialog:\r\n"), view,
                           outcome);
    }
    // Not trapped: an error here (a library that cannot be loaded at all) reaches the window.
    library.EndGBPMode();
    return outcome;
}

}  // namespace hideaway
