#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What the simulated phone needs from the operating system; one source file per platform.
namespace hideaway::sim {

/// The value of an environment variable as text; empty when it is unset.
std::string environmentText(const char* name);

/// The value of an environment variable as a path; empty when it is unset.
std::filesystem::path environmentPath(const char* name);

/// The user's data folder for this tool's phone, e.g. ~/.local/share/hideaway100k/phone or
/// %APPDATA%\hideaway100k\phone; empty when the system names no such folder.
std::filesystem::path defaultPhoneFolder();

/// Replaces file with data so that it holds the old content or the new, never part of either:
/// the data goes to a temporary file beside it, reaches the disk, and is renamed over the file.
/// On failure the old file stays, no temporary file remains, and reason says what went wrong.
bool replaceFileAtomically(const std::filesystem::path& file, const std::vector<std::uint8_t>& data,
                           std::string& reason);

/// An exclusive lock on a file, held while this object holds it and dropped by the system when
/// the process ends, however it ends. Only one holder at a time, across processes.
class FileLock {
public:
    enum class Outcome { Held, HeldElsewhere, Failed };

    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    /// Takes the lock on file, creating the file when it is missing; never waits. On Failed,
    /// reason says why; on HeldElsewhere nothing has been changed.
    Outcome acquire(const std::filesystem::path& file, std::string& reason);
    void release();
    bool held() const { return m_handle != kNone; }
    /// The file whose lock is held; empty when none is.
    const std::filesystem::path& file() const { return m_file; }

private:
    static constexpr std::intptr_t kNone = -1;
    // A descriptor on Unix, a HANDLE on Windows.
    std::intptr_t m_handle = kNone;
    std::filesystem::path m_file;
};

/// What replaceFileAtomically puts between a file's name and the unique tail of its temporary.
inline constexpr const char* kTemporaryMark = ".tmp-";

/// Whether name is one of the temporary files replaceFileAtomically makes for NVM files; a crash
/// mid-write can leave one behind.
inline bool isTemporaryName(const std::string& name) {
    return name.starts_with("nvm-") && name.find(kTemporaryMark) != std::string::npos;
}

}  // namespace hideaway::sim
