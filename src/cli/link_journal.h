#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "gbp_library.h"

namespace hideaway::cli {

/// Passes every call on unchanged and notes what happened on the phone, so that a command can say
/// in its own words what a failed operation did and did not do.
class LinkJournal final : public GbpLibrary {
public:
    explicit LinkJournal(GbpLibrary& library) : m_library(library) {}

    /// Links that opened.
    int linksOpened = 0;
    /// The result of the last InitGBPMode that failed, if one did.
    std::optional<std::int16_t> failedLink;
    /// Whether a slot was emptied or written (whatever the library answered).
    bool slotTouched = false;
    /// The last result of ClearNVMFile, and of ReadNVMFile.
    std::optional<std::int16_t> clearResult;
    std::optional<std::int16_t> readResult;
    /// The last size each NVM file number was measured with.
    std::map<int, std::int16_t> sizes;

    std::int16_t InitGBPMode(std::uint8_t port) override {
        const std::int16_t result = m_library.InitGBPMode(port);
        if (result == 0) {
            ++linksOpened;
        } else {
            failedLink = result;
        }
        return result;
    }
    std::int16_t EndGBPMode() override { return m_library.EndGBPMode(); }
    std::int16_t ClearNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber) override {
        slotTouched = true;
        clearResult = m_library.ClearNVMFile(fileGroup, fileNumber);
        return *clearResult;
    }
    std::int16_t WriteNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber, std::uint8_t* buffer,
                              std::int32_t length) override {
        slotTouched = true;
        return m_library.WriteNVMFile(fileGroup, fileNumber, buffer, length);
    }
    std::int16_t GetNVMFileSize(std::uint8_t fileGroup, std::uint8_t fileNumber) override {
        const std::int16_t size = m_library.GetNVMFileSize(fileGroup, fileNumber);
        sizes[fileNumber] = size;
        return size;
    }
    std::int16_t ReadNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber, std::uint8_t* buffer,
                             std::int32_t maxLength) override {
        readResult = m_library.ReadNVMFile(fileGroup, fileNumber, buffer, maxLength);
        return *readResult;
    }

private:
    GbpLibrary& m_library;
};

}  // namespace hideaway::cli
