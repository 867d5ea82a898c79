#pragma once

#include <cstdint>

#include "file_transfer.h"
#include "slot_table.h"

#include <QString>

namespace hideaway {

class AppError;
class GbpLibrary;
class LinkView;
class SlotView;
struct SlotOutcome;

/// ConnectPhone, noting in outcome a link that did not open. Returns whether the link is open.
bool openLink(LinkView& view, GbpLibrary& library, SlotOutcome& outcome);

/// Reads the slot's NVM file in one ReadNVMFile call that asks for at most SlotCapacity bytes.
/// The buffer is first made kDownloadBufferSize zeroed bytes. Returns the library's result,
/// which the caller judges with isFailedRead.
std::int16_t readSlot(GbpLibrary& library, const SlotRow& slot, ByteBuffer& buffer);

/// A negative result is the library's failure; one above what was asked for cannot be trusted.
constexpr bool isFailedRead(std::int16_t result) {
    return result < 0 || result > SlotCapacity;
}

/// Writes the slot's row as CLEAR leaves it: an empty bar, the cleared text, "0". The upload uses
/// it too once it has emptied the slot, so the row never names a file the slot no longer holds.
void showSlotCleared(const SlotRow& slot, SlotView& view);

/// Reports an error that upload or download trapped: a cancel (32755) empties the phone display
/// and shows "CANCEL" with no message; any other error is shown after prefix, which ends in CR LF.
/// The outcome notes the error's description, or nothing for a cancel.
void reportTrappedError(const AppError& error, const QString& prefix, SlotView& view,
                        SlotOutcome& outcome);

}  // namespace hideaway
