#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "gbp_abi.h"

namespace hideaway::sim {

/// The six calls of the library, as named in settings keys.
using Operation = GbpCall;

/// Which calls a forced result applies to: one operation, for every NVM file or for one number.
struct ForceKey {
    Operation operation;
    std::optional<std::uint8_t> fileNumber;

    auto operator<=>(const ForceKey&) const = default;
};

/// A result played instead of the call's own, on every call or on the next `remaining` calls,
/// once the first `skipped` calls have had their own answer.
struct ForcedResult {
    std::int16_t result = 0;
    std::optional<std::int64_t> remaining;
    std::int64_t skipped = 0;
};

/// What a phone.conf (plus the environment's lines) asks the simulated phone to do.
struct Settings {
    std::uint8_t port = 1;
    std::map<ForceKey, ForcedResult> forced;
    std::int32_t writeShortBy = 0;
    std::optional<std::int32_t> corruptAt;
    /// Bits per second of the simulated serial line; 0 plays no delay. With a serial device, the
    /// real line's speed (0: 115200).
    std::int64_t baud = 0;
    /// The serial line the phone is at the far end of; empty: the phone is kept in its folder.
    std::string serialDevice;

    /// The result forced on this call, if a live rule covers it: a rule for the NVM file first,
    /// then one for every file. Counts the call against a "next N" rule.
    std::optional<std::int16_t> takeForced(Operation operation,
                                           std::optional<std::uint8_t> fileNumber = {});
};

/// Applies the lines of text (split at separator) on top of settings; a later line replaces an
/// earlier one with the same key. Returns the first malformed line as
/// "<source> line <N>: <line>: <reason>", or nothing when every line is good. On error the
/// settings may be partly applied and must be thrown away.
std::optional<std::string> applySettings(std::string_view text, char separator,
                                         std::string_view source, Settings& settings);

}  // namespace hideaway::sim
