#include "phone_settings.h"

#include <array>
#include <charconv>
#include <limits>
#include <utility>

namespace hideaway::sim {

namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

/// A whole decimal number in [low, high]; anything else (a sign alone, a trailing letter, a
/// number out of range) is nothing.
std::optional<std::int64_t> wholeNumber(std::string_view text, std::int64_t low,
                                        std::int64_t high) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

/// The text up to the first blank, and the rest after the blanks that follow it.
std::pair<std::string_view, std::string_view> firstWord(std::string_view text) {
    const auto blank = text.find_first_of(kBlanks);
    if (blank == std::string_view::npos) {
        return {text, {}};
    }
    return {text.substr(0, blank), trimmed(text.substr(blank))};
}

/// Why a "force." setting is malformed, or nothing once it has been applied.
std::optional<std::string> applyForce(std::string_view key, std::string_view value,
                                      Settings& settings) {
    const std::string_view target = key.substr(std::string_view("force.").size());
    const auto dot = target.find('.');
    const std::string_view name = target.substr(0, dot);

    std::optional<Operation> operation;
    for (std::size_t ordinal = 0; ordinal < kGbpCallCount; ++ordinal) {
        if (kGbpCallNames[ordinal] == name) {
            operation = static_cast<Operation>(ordinal);
        }
    }
    if (!operation) {
        return "unknown operation '" + std::string(name) + "'";
    }

    ForceKey forceKey{*operation, std::nullopt};
    if (dot != std::string_view::npos) {
        if (*operation == Operation::InitGBPMode || *operation == Operation::EndGBPMode) {
            return std::string(name) + " has no NVM file number";
        }
        const auto number = wholeNumber(target.substr(dot + 1), 0, 255);
        if (!number) {
            return "the NVM file number must be a whole number from 0 to 255";
        }
        forceKey.fileNumber = static_cast<std::uint8_t>(*number);
    }

    const auto [resultText, rest] = firstWord(value);
    const auto result = wholeNumber(resultText, std::numeric_limits<std::int16_t>::min(),
                                    std::numeric_limits<std::int16_t>::max());
    if (!result) {
        return "the result must be a whole number from -32768 to 32767";
    }
    ForcedResult forced{static_cast<std::int16_t>(*result), std::nullopt, 0};
    // "after <M>" lets M calls pass first; "next <N>" forces N calls only; either order.
    bool after = false;
    for (std::string_view words = rest; !words.empty();) {
        const auto [word, afterWord] = firstWord(words);
        const auto [countText, more] = firstWord(afterWord);
        words = more;
        const bool isNext = word == "next" && !forced.remaining;
        const bool isAfter = word == "after" && !after;
        if (!isNext && !isAfter) {
            return "only 'next <N>' and 'after <M>' may follow the result";
        }
        const auto count =
            wholeNumber(countText, isNext ? 1 : 0, std::numeric_limits<std::int32_t>::max());
        if (!count) {
            return isNext ? "'next' needs a whole number of calls, 1 or more"
                          : "'after' needs a whole number of calls, 0 or more";
        }
        if (isNext) {
            forced.remaining = *count;
        } else {
            after = true;
            forced.skipped = *count;
        }
    }
    settings.forced[forceKey] = forced;
    return std::nullopt;
}

/// Why the line `key = value` is malformed, or nothing once it has been applied.
std::optional<std::string> applyLine(std::string_view key, std::string_view value,
                                     Settings& settings) {
    constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
    if (key == "port") {
        const auto port = wholeNumber(value, 1, 5);
        if (!port) {
            return "the port must be a whole number from 1 to 5";
        }
        settings.port = static_cast<std::uint8_t>(*port);
    } else if (key == "write.short") {
        const auto by = wholeNumber(value, 0, kInt32Max);
        if (!by) {
            return "write.short must be a whole number of bytes, 0 or more";
        }
        settings.writeShortBy = static_cast<std::int32_t>(*by);
    } else if (key == "write.corrupt") {
        const auto index = wholeNumber(value, 0, kInt32Max);
        if (!index) {
            return "write.corrupt must be a byte index, 0 or more";
        }
        settings.corruptAt = static_cast<std::int32_t>(*index);
    } else if (key == "baud") {
        const auto baud = wholeNumber(value, 0, kInt32Max);
        if (!baud) {
            return "baud must be a whole number of bits per second (0: no delay)";
        }
        settings.baud = *baud;
    } else if (key == "serial") {
        settings.serialDevice = std::string(value);
    } else if (key.starts_with("force.")) {
        return applyForce(key, value, settings);
    } else {
        return "unknown setting '" + std::string(key) + "'";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int16_t> Settings::takeForced(Operation operation,
                                                 std::optional<std::uint8_t> fileNumber) {
    const auto take = [this](const ForceKey& key) -> std::optional<std::int16_t> {
        const auto found = forced.find(key);
        if (found == forced.end()) {
            return std::nullopt;
        }
        ForcedResult& rule = found->second;
        if (rule.skipped > 0) {
            --rule.skipped;
            return std::nullopt;
        }
        if (rule.remaining) {
            if (*rule.remaining == 0) {
                return std::nullopt;
            }
            --*rule.remaining;
        }
        return rule.result;
    };
    if (fileNumber) {
        if (const auto result = take({operation, fileNumber})) {
            return result;
        }
    }
    return take({operation, std::nullopt});
}

std::optional<std::string> applySettings(std::string_view text, char separator,
                                         std::string_view source, Settings& settings) {
    int lineNumber = 0;
    while (true) {
        ++lineNumber;
        const auto end = text.find(separator);
        const std::string_view line = trimmed(text.substr(0, end));
        // Values never hold '#', so a comment may also close a line.
        const std::string_view content = trimmed(line.substr(0, line.find('#')));
        if (!content.empty()) {
            const auto malformed = [&](std::string_view reason) {
                return std::string(source) + " line " + std::to_string(lineNumber) + ": " +
                       std::string(line) + ": " + std::string(reason);
            };
            const auto equals = content.find('=');
            if (equals == std::string_view::npos) {
                return malformed("expected 'key = value'");
            }
            const std::string_view key = trimmed(content.substr(0, equals));
            const std::string_view value = trimmed(content.substr(equals + 1));
            if (key.empty() || value.empty()) {
                return malformed("expected 'key = value'");
            }
            if (const auto reason = applyLine(key, value, settings)) {
                return malformed(*reason);
            }
        }
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        text.remove_prefix(end + 1);
    }
}

}  // namespace hideaway::sim
