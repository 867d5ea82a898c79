#include "slot_read.h"

#include "gbp_library.h"

namespace hideaway {

std::int16_t readSlot(GbpLibrary& library, const SlotRow& slot, ByteBuffer& buffer) {
    buffer.assign(static_cast<std::size_t>(kDownloadBufferSize), 0);
    return library.ReadNVMFile(slot.fileGroup, slot.fileNumber, buffer.data(), SlotCapacity);
}

}  // namespace hideaway
