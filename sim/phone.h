#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "far_phone.h"
#include "phone_settings.h"
#include "platform.h"

namespace hideaway::sim {

/// The NVM group that holds the user-data files; the phone answers no other.
inline constexpr std::uint8_t kNvmGroup = 18;
/// The most bytes one NVM file holds.
inline constexpr std::int32_t kNvmCapacity = 21000;

/// Environment variables the simulated phone reads (the tool itself reads none).
inline constexpr const char* kPhoneDirVariable = "HIDEAWAY_PHONE_DIR";
inline constexpr const char* kSettingsVariable = "HIDEAWAY_PHONE_SETTINGS";
inline constexpr const char* kSettingsFileName = "phone.conf";
/// The most bytes of settings read from phone.conf, and from the environment: settings are a few
/// lines, and a larger text is refused before it costs time or memory.
inline constexpr std::size_t kSettingsLimit = 64 * 1024;
/// The file in the phone's folder whose lock marks GBP mode open there, as a COM port is held by
/// one program at a time.
inline constexpr const char* kLockFileName = "phone.lock";

/// What the calls return; docs/simulated-phone.md lists the same table for users.
namespace result {
inline constexpr std::int16_t kOk = 0;
// InitGBPMode
inline constexpr std::int16_t kNoPhoneOnPort = 1;
inline constexpr std::int16_t kFolderUnusable = 2;
inline constexpr std::int16_t kSettingsUnreadable = 3;
inline constexpr std::int16_t kPhoneInUse = 4;
inline constexpr std::int16_t kMalformedSetting = 99;
// NVM calls
inline constexpr std::int16_t kNotInGbpMode = -1;
inline constexpr std::int16_t kNoSuchNvmFile = -2;
inline constexpr std::int16_t kIoError = -3;
inline constexpr std::int16_t kBadArgument = -4;
inline constexpr std::int16_t kDamagedNvmFile = -5;
}  // namespace result

/// A phone kept in a folder: one file per NVM file, GBP mode on one port, and faults played
/// from its settings. GBP mode is open in one process at a time per folder. Not thread-safe; the
/// exported calls serialise access to the one instance.
class Phone {
public:
    /// Who the phone serves: the library's calls, which its settings may send over a serial line,
    /// or a stand-in phone's requests from the far end of a line, which always reach the folder
    /// and play no faults of the settings (the stand-in plays its own).
    enum class Role { Library, FarEnd };

    explicit Phone(Role role = Role::Library) : m_role(role) {}

    std::int16_t initGbpMode(std::uint8_t port);
    std::int16_t endGbpMode();
    std::int16_t clearNvmFile(std::uint8_t fileGroup, std::uint8_t fileNumber);
    std::int16_t writeNvmFile(std::uint8_t fileGroup, std::uint8_t fileNumber,
                              const std::uint8_t* buffer, std::int32_t length);
    std::int16_t getNvmFileSize(std::uint8_t fileGroup, std::uint8_t fileNumber);
    std::int16_t readNvmFile(std::uint8_t fileGroup, std::uint8_t fileNumber, std::uint8_t* buffer,
                             std::int32_t maxLength);

private:
    /// The steps of InitGBPMode after GBP mode has been closed; its result.
    std::int16_t openGbpMode(std::uint8_t port);
    /// Whether the settings put the phone at the far end of a serial line. Read quietly: the
    /// folder mode reads them again and reports what is wrong, in its own order.
    bool wantsSerialLine() const;
    /// InitGBPMode over the serial line the settings name.
    std::int16_t openSerialLine(std::uint8_t port);
    /// Reads phone.conf and the environment's lines; the result of a failed InitGBPMode, or
    /// nothing when the settings are in place.
    std::optional<std::int16_t> loadSettings();
    /// The checks every NVM call starts with: GBP mode, the group, then a forced result. Returns
    /// the call's result when one of them decides it.
    std::optional<std::int16_t> admit(Operation operation, std::uint8_t fileGroup,
                                      std::uint8_t fileNumber);
    std::filesystem::path nvmPath(std::uint8_t fileNumber) const;
    /// The NVM file's size, or the call's (negative) result when it cannot be measured.
    std::int32_t storedSize(const std::filesystem::path& file) const;
    std::int16_t store(std::uint8_t fileNumber, const std::vector<std::uint8_t>& data);
    /// Waits as long as bytes take on the serial line the settings ask for.
    void playLine(std::int64_t bytes) const;
    static void report(const std::string& message);

    Role m_role;
    bool m_open = false;
    // GBP mode is open over the serial line: the NVM calls go to the far phone.
    bool m_serial = false;
    FarPhone m_far;
    std::filesystem::path m_folder;
    // Held exactly while GBP mode is open, so another program's InitGBPMode is refused.
    FileLock m_lock;
    Settings m_settings;
    // The settings text last applied: "next N" counters are re-armed only when it changes.
    std::optional<std::string> m_settingsText;
};

}  // namespace hideaway::sim
