#include "transfer_steps.h"

#include "app_error.h"
#include "connect_phone.h"
#include "gbp_library.h"
#include "slot_outcome.h"
#include "slot_view.h"

namespace hideaway {

bool openLink(LinkView& view, GbpLibrary& library, SlotOutcome& outcome) {
    std::int16_t result = 0;
    if (ConnectPhone(view, library, &result) < 0) {
        outcome.failure = SlotOutcome::Failure::LinkNotOpened;
        outcome.libraryResult = result;
        return false;
    }
    return true;
}

std::int16_t readSlot(GbpLibrary& library, const SlotRow& slot, ByteBuffer& buffer) {
    buffer.assign(static_cast<std::size_t>(kDownloadBufferSize), 0);
    return library.ReadNVMFile(slot.fileGroup, slot.fileNumber, buffer.data(), SlotCapacity);
}

void showSlotCleared(const SlotRow& slot, SlotView& view) {
    view.setSlotProgress(slot.number, 0.0F);
    view.setSlotName(slot.number, QString::fromLatin1(slot.clearedText));
    view.setSlotBytes(slot.number, QStringLiteral("0"));
}

void reportTrappedError(const AppError& error, const QString& prefix, SlotView& view,
                        SlotOutcome& outcome) {
    outcome.failure = SlotOutcome::Failure::ErrorTrapped;
    if (error.code() == ErrorCode::DialogCancelled) {
        view.setLcdStatus(QString());
        view.setStatus(QStringLiteral("CANCEL"));
    } else {
        view.showMessage(prefix + error.description());
        outcome.reason = error.description();
    }
}

}  // namespace hideaway
