#pragma once

#include <array>
#include <cstdint>

#include <QString>

#include "slot_table.h"

namespace hideaway {

/// What a slot operation did, for a caller that reports in its own words (the command line); the
/// window shows what the operation wrote into it, and reads this only to tell a check that could
/// not measure a slot apart from one that found it empty.
struct SlotOutcome {
    enum class Failure {
        None,
        LinkNotOpened,  ///< InitGBPMode failed; libraryResult is its result
        FileTooLarge,   ///< the local file holds more than kUploadLimit bytes
        NotMeasured,    ///< a size came back negative; libraryResult is the slot's (clear)
        NotCleared,     ///< the slot still holds bytes; libraryResult is ClearNVMFile's answer
        ReadFailed,     ///< ReadNVMFile failed; libraryResult is its result
        NotVerified,    ///< the slot did not read back as written
        NotSaved,       ///< the local file could not be written; reason says why
        ErrorTrapped,   ///< an error was trapped; reason is its description (empty on cancel)
    };

    Failure failure = Failure::None;
    std::int16_t libraryResult = 0;
    /// Whether the slot was emptied or written, whatever the library answered.
    bool slotTouched = false;
    /// The bytes uploaded or downloaded.
    std::int32_t bytes = 0;
    /// The sizes the library measured, by slot (the check's five, or the cleared slot's).
    std::array<std::int16_t, kSlotCount> sizes{};
    QString reason;

    explicit operator bool() const { return failure == Failure::None; }
    std::int16_t& size(int slot) { return sizes.at(static_cast<std::size_t>(slot - 1)); }
    std::int16_t size(int slot) const { return sizes.at(static_cast<std::size_t>(slot - 1)); }
};

}  // namespace hideaway
