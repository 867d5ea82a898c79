#include "phone.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform.h"
#include "serial_line.h"

namespace hideaway::sim {

namespace fs = std::filesystem;

namespace {

fs::path phoneFolder() {
    fs::path folder = environmentPath(kPhoneDirVariable);
    return folder.empty() ? defaultPhoneFolder() : folder;
}

// A crash mid-write leaves a temporary beside the NVM file; the NVM file itself is whole, so the
// leftover only takes room. Called with the folder's lock held: no other program writes there.
bool removeLeftoverTemporaries(const fs::path& folder, std::error_code& error) {
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name;
        try {
            name = it->path().filename().string();
        } catch (const std::exception&) {
            continue;  // a name this platform cannot spell as text is none of ours
        }
        if (isTemporaryName(name)) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
    return !error;
}

}  // namespace

void Phone::report(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
}

void Phone::playLine(std::int64_t bytes) const {
    if (m_serial) {
        return;  // a real line takes its own time
    }
    const auto delay = lineDelay(m_settings.baud, bytes);
    if (delay.count() > 0) {
        std::this_thread::sleep_for(delay);
    }
}

bool Phone::wantsSerialLine() const {
    if (m_role == Role::FarEnd) {
        return false;
    }
    std::string fileText;
    const fs::path file = m_folder / kSettingsFileName;
    std::error_code error;
    if (fs::is_regular_file(file, error) && fs::file_size(file, error) <= kSettingsLimit &&
        !error) {
        std::ifstream in(file, std::ios::binary);
        fileText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (fileText.starts_with("\xEF\xBB\xBF")) {
            fileText.erase(0, 3);
        }
    }
    Settings peek;
    return !applySettings(fileText, '\n', kSettingsFileName, peek) &&
           !applySettings(environmentText(kSettingsVariable), ';', kSettingsVariable, peek) &&
           !peek.serialDevice.empty();
}

std::optional<std::int16_t> Phone::loadSettings() {
    if (m_role == Role::FarEnd) {
        m_settings = Settings();
        return std::nullopt;
    }
    std::string fileText;
    const fs::path file = m_folder / kSettingsFileName;
    std::error_code error;
    const fs::file_type type = fs::status(file, error).type();
    if (type == fs::file_type::none || type == fs::file_type::unknown ||
        type == fs::file_type::directory) {
        report("GBP: cannot read " + file.string() + (error ? ": " + error.message() : ""));
        return result::kSettingsUnreadable;
    }
    if (type != fs::file_type::not_found && type != fs::file_type::regular) {
        // Reading a pipe would wait for a writer, and a device might never end.
        report("GBP: " + file.string() + ": not a regular file");
        m_settings = Settings();
        m_settingsText.reset();
        return result::kMalformedSetting;
    }
    if (type == fs::file_type::regular) {
        std::ifstream in(file, std::ios::binary);
        // One byte past the limit is enough to tell a file too large, whatever its size.
        fileText.resize(kSettingsLimit + 1);
        in.read(fileText.data(), static_cast<std::streamsize>(fileText.size()));
        if (in.bad() || (!in && !in.eof())) {
            report("GBP: cannot read " + file.string());
            return result::kSettingsUnreadable;
        }
        fileText.resize(static_cast<std::size_t>(in.gcount()));
        if (fileText.size() > kSettingsLimit) {
            report("GBP: " + file.string() + ": larger than settings can be (" +
                   std::to_string(kSettingsLimit) + " bytes)");
            m_settings = Settings();
            m_settingsText.reset();
            return result::kMalformedSetting;
        }
        // Windows editors start a UTF-8 text with a byte-order mark.
        constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
        if (fileText.starts_with(kByteOrderMark)) {
            fileText.erase(0, kByteOrderMark.size());
        }
    }
    const std::string environmentLines = environmentText(kSettingsVariable);
    if (environmentLines.size() > kSettingsLimit) {
        report(std::string("GBP: ") + kSettingsVariable + ": larger than settings can be (" +
               std::to_string(kSettingsLimit) + " bytes)");
        m_settings = Settings();
        m_settingsText.reset();
        return result::kMalformedSetting;
    }

    std::string text = fileText;
    text.push_back('\0');
    text += environmentLines;
    if (m_settingsText == text) {
        return std::nullopt;  // unchanged: keep what the "next N" rules have counted so far
    }

    Settings fresh;
    auto malformed = applySettings(fileText, '\n', kSettingsFileName, fresh);
    if (!malformed) {
        malformed = applySettings(environmentLines, ';', kSettingsVariable, fresh);
    }
    if (malformed) {
        report(*malformed);
        m_settings = Settings();
        m_settingsText.reset();
        return result::kMalformedSetting;
    }
    m_settings = fresh;
    m_settingsText = std::move(text);
    return std::nullopt;
}

std::int16_t Phone::initGbpMode(std::uint8_t port) {
    // Every attempt starts from a closed link, so a failed one leaves GBP mode closed and the
    // phone free for other programs.
    m_open = false;
    if (m_serial) {
        m_serial = false;
        m_far.close();
    }
    const std::int16_t result = openGbpMode(port);
    if (!m_open) {
        m_lock.release();
    }
    return result;
}

std::int16_t Phone::openGbpMode(std::uint8_t port) {
    m_folder = phoneFolder();
    if (m_folder.empty()) {
        report(std::string("GBP: no phone folder: set ") + kPhoneDirVariable);
        return result::kFolderUnusable;
    }
    if (wantsSerialLine()) {
        return openSerialLine(port);
    }
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (error || !fs::is_directory(m_folder, error)) {
        report("GBP: phone folder " + m_folder.string() + " is unusable" +
               (error ? ": " + error.message() : std::string()));
        return result::kFolderUnusable;
    }
    // A lock this process already holds on the folder is its own link, opened again.
    const fs::path lockFile = m_folder / kLockFileName;
    if (m_lock.file() != lockFile) {
        std::string reason;
        switch (m_lock.acquire(lockFile, reason)) {
            case FileLock::Outcome::Held:
                break;
            case FileLock::Outcome::HeldElsewhere:
                // Before anything in the folder is touched: the other program may be mid-write.
                report("GBP: phone folder " + m_folder.string() + " is in use by another program");
                return result::kPhoneInUse;
            case FileLock::Outcome::Failed:
                report("GBP: phone folder " + m_folder.string() + " is unusable: " + reason);
                return result::kFolderUnusable;
        }
    }
    if (!removeLeftoverTemporaries(m_folder, error)) {
        report("GBP: phone folder " + m_folder.string() + " is unusable: " + error.message());
        return result::kFolderUnusable;
    }
    if (const auto failed = loadSettings()) {
        return *failed;
    }

    playLine(kFrameBytes);
    if (const auto forced = m_settings.takeForced(Operation::InitGBPMode)) {
        m_open = *forced == result::kOk;
        return *forced;
    }
    if (port != m_settings.port) {
        return result::kNoPhoneOnPort;
    }
    m_open = true;
    return result::kOk;
}

std::int16_t Phone::openSerialLine(std::uint8_t port) {
    // The folder holds the settings only: no NVM file, no lock.
    m_lock.release();
    if (const auto failed = loadSettings()) {
        return *failed;
    }
    // A forced failure leaves the line alone; GBP mode never opens without the line.
    if (const auto forced = m_settings.takeForced(Operation::InitGBPMode);
        forced && *forced != result::kOk) {
        return *forced;
    }
    if (port != m_settings.port || m_settings.serialDevice.empty()) {
        return result::kNoPhoneOnPort;
    }
    constexpr std::int64_t kDefaultBaud = 115200;
    const std::int16_t answered =
        m_far.open(m_settings.serialDevice, m_settings.baud > 0 ? m_settings.baud : kDefaultBaud);
    m_serial = m_open = answered == result::kOk;
    return answered;
}

std::int16_t Phone::endGbpMode() {
    playLine(kFrameBytes);
    if (const auto forced = m_settings.takeForced(Operation::EndGBPMode)) {
        return *forced;  // a phone that did not hear the command stays as it was
    }
    if (m_serial) {
        m_serial = m_open = false;
        return m_far.close();
    }
    m_open = false;
    m_lock.release();
    return result::kOk;
}

std::optional<std::int16_t> Phone::admit(Operation operation, std::uint8_t fileGroup,
                                         std::uint8_t fileNumber) {
    playLine(kFrameBytes);
    if (!m_open) {
        return result::kNotInGbpMode;
    }
    if (fileGroup != kNvmGroup) {
        return result::kNoSuchNvmFile;
    }
    return m_settings.takeForced(operation, fileNumber);
}

fs::path Phone::nvmPath(std::uint8_t fileNumber) const {
    char name[32];
    std::snprintf(name, sizeof name, "nvm-%02u-%02u.bin", static_cast<unsigned>(kNvmGroup),
                  static_cast<unsigned>(fileNumber));
    return m_folder / name;
}

std::int32_t Phone::storedSize(const fs::path& file) const {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found) {
        return 0;  // never written: an empty NVM file
    }
    if (error || status.type() != fs::file_type::regular) {
        return result::kIoError;
    }
    const auto size = fs::file_size(file, error);
    if (error) {
        return result::kIoError;
    }
    if (size > static_cast<std::uintmax_t>(kNvmCapacity)) {
        return result::kDamagedNvmFile;
    }
    return static_cast<std::int32_t>(size);
}

std::int16_t Phone::store(std::uint8_t fileNumber, const std::vector<std::uint8_t>& data) {
    std::string reason;
    const fs::path file = nvmPath(fileNumber);
    if (!replaceFileAtomically(file, data, reason)) {
        report("GBP: " + file.string() + ": " + reason);
        return result::kIoError;
    }
    return result::kOk;
}

std::int16_t Phone::clearNvmFile(std::uint8_t fileGroup, std::uint8_t fileNumber) {
    if (const auto decided = admit(Operation::ClearNVMFile, fileGroup, fileNumber)) {
        return *decided;
    }
    if (m_serial) {
        return m_far.clear(kNvmGroup, fileNumber);
    }
    return store(fileNumber, {});
}

std::int16_t Phone::writeNvmFile(std::uint8_t fileGroup, std::uint8_t fileNumber,
                                 const std::uint8_t* buffer, std::int32_t length) {
    if (const auto decided = admit(Operation::WriteNVMFile, fileGroup, fileNumber)) {
        return *decided;
    }
    if (length < 0 || (buffer == nullptr && length > 0)) {
        return result::kBadArgument;
    }
    playLine(length);
    // The phone keeps what fits; a short write then loses its tail, so the fault always shows.
    const std::int32_t kept = std::min(length, kNvmCapacity);
    const std::int32_t stored = std::max(0, kept - m_settings.writeShortBy);
    std::vector<std::uint8_t> data(buffer, buffer + stored);
    if (m_settings.corruptAt && *m_settings.corruptAt < stored) {
        std::uint8_t& victim = data[static_cast<std::size_t>(*m_settings.corruptAt)];
        victim = static_cast<std::uint8_t>(victim ^ 0xFFu);
    }
    if (m_serial) {
        return m_far.write(kNvmGroup, fileNumber, data);
    }
    return store(fileNumber, data);
}

std::int16_t Phone::getNvmFileSize(std::uint8_t fileGroup, std::uint8_t fileNumber) {
    if (const auto decided = admit(Operation::GetNVMFileSize, fileGroup, fileNumber)) {
        return *decided;
    }
    if (m_serial) {
        return m_far.size(kNvmGroup, fileNumber);
    }
    return static_cast<std::int16_t>(storedSize(nvmPath(fileNumber)));
}

std::int16_t Phone::readNvmFile(std::uint8_t fileGroup, std::uint8_t fileNumber,
                                std::uint8_t* buffer, std::int32_t maxLength) {
    if (const auto decided = admit(Operation::ReadNVMFile, fileGroup, fileNumber)) {
        return *decided;
    }
    if (maxLength < 0 || (buffer == nullptr && maxLength > 0)) {
        return result::kBadArgument;
    }
    if (m_serial) {
        return m_far.read(kNvmGroup, fileNumber, buffer, maxLength);
    }
    const fs::path file = nvmPath(fileNumber);
    const std::int32_t size = storedSize(file);
    if (size < 0) {
        return static_cast<std::int16_t>(size);
    }
    const std::int32_t count = std::min(size, maxLength);
    if (count > 0) {
        std::ifstream in(file, std::ios::binary);
        std::vector<char> data(static_cast<std::size_t>(count));
        // Read into our own buffer first: a failed read leaves the caller's untouched.
        if (!in.read(data.data(), count)) {
            return result::kIoError;
        }
        std::memcpy(buffer, data.data(), data.size());
    }
    playLine(count);
    return static_cast<std::int16_t>(count);
}

}  // namespace hideaway::sim
