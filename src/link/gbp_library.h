#pragma once

#include <cstdint>

namespace hideaway {

/// The six operations of the phone-link library, as the tool calls them. Module1 is the real one;
/// tests put a scripted fake of the same shape in its place. Any call may throw AppError when the
/// library or the operation cannot be loaded.
class GbpLibrary {
public:
    virtual ~GbpLibrary() = default;

    /// 0 when GBP mode is open on the port (1 to 5); any other value is a failure.
    virtual std::int16_t InitGBPMode(std::uint8_t port) = 0;
    /// Ends GBP mode whether or not it was open; callers ignore the result.
    virtual std::int16_t EndGBPMode() = 0;
    /// Empties the NVM file; callers ignore the result.
    virtual std::int16_t ClearNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber) = 0;
    /// Writes the buffer's first length bytes as the NVM file; callers ignore the result.
    virtual std::int16_t WriteNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber,
                                      std::uint8_t* buffer, std::int32_t length) = 0;
    /// The NVM file's size in bytes; negative when the library fails.
    virtual std::int16_t GetNVMFileSize(std::uint8_t fileGroup, std::uint8_t fileNumber) = 0;
    /// Negative on failure, otherwise the number of bytes (at most maxLength) placed at the start
    /// of the buffer.
    virtual std::int16_t ReadNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber,
                                     std::uint8_t* buffer, std::int32_t maxLength) = 0;
};

}  // namespace hideaway
