#include "transfer_steps.h"

#include "app_error.h"
#include "gbp_library.h"
#include "slot_view.h"

namespace hideaway {

std::int16_t readSlot(GbpLibrary& library, const SlotRow& slot, ByteBuffer& buffer) {
    buffer.assign(static_cast<std::size_t>(kDownloadBufferSize), 0);
    return library.ReadNVMFile(slot.fileGroup, slot.fileNumber, buffer.data(), SlotCapacity);
}

void showSlotCleared(const SlotRow& slot, SlotView& view) {
    view.setSlotProgress(slot.number, 0.0F);
    view.setSlotName(slot.number, QString::fromLatin1(slot.clearedText));
    view.setSlotBytes(slot.number, QStringLiteral("0"));
}

void reportTrappedError(const AppError& error, const QString& prefix, SlotView& view) {
    if (error.code() == ErrorCode::DialogCancelled) {
        view.setLcdStatus(QString());
        view.setStatus(QStringLiteral("CANCEL"));
    } else {
        view.showMessage(prefix + error.description());
    }
}

}  // namespace hideaway
