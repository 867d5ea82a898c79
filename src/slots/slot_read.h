#pragma once

#include <cstdint>

#include "file_transfer.h"
#include "slot_table.h"

namespace hideaway {

class GbpLibrary;

/// Reads the slot's NVM file in one ReadNVMFile call that asks for at most SlotCapacity bytes.
/// The buffer is first made kDownloadBufferSize zeroed bytes. Returns the library's result,
/// which the caller judges with isFailedRead.
std::int16_t readSlot(GbpLibrary& library, const SlotRow& slot, ByteBuffer& buffer);

/// A negative result is the library's failure; one above what was asked for cannot be trusted.
constexpr bool isFailedRead(std::int16_t result) {
    return result < 0 || result > SlotCapacity;
}

}  // namespace hideaway
