#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform.h"

namespace hideaway::sim {

namespace {

std::string systemReason(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

// The system's own words ("Access denied."), in UTF-8 as every other text of the phone; the
// number only when the system has no words for it.
std::string windowsReason(const char* what, DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words;
    if (length != 0) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                             nullptr, nullptr);
        words.resize(static_cast<std::size_t>(std::max(size, 0)));
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), words.data(), size, nullptr,
                            nullptr);
    }
    LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                              words.back() == '.')) {
        words.pop_back();
    }
    if (words.empty()) {
        return std::string(what) + ": Windows error " + std::to_string(error);
    }
    return std::string(what) + ": " + words + " (Windows error " + std::to_string(error) + ")";
}

}  // namespace

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::filesystem::path environmentPath(const char* name) {
    // The wide variant keeps folder names that the ANSI code page cannot spell.
    const std::wstring wideName(name, name + std::strlen(name));
    const wchar_t* value = _wgetenv(wideName.c_str());
    return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path defaultPhoneFolder() {
    const std::filesystem::path appData = environmentPath("APPDATA");
    if (appData.empty()) {
        return {};
    }
    return appData / "hideaway100k" / "phone";
}

bool replaceFileAtomically(const std::filesystem::path& file, const std::vector<std::uint8_t>& data,
                           std::string& reason) {
    static std::atomic<unsigned> serial{0};
    const std::filesystem::path temporary =
        file.wstring() + std::filesystem::path(kTemporaryMark).wstring() +
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial++);
    int fd = -1;
    if (_wsopen_s(&fd, temporary.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _SH_DENYRW,
                  _S_IREAD | _S_IWRITE) != 0) {
        reason = systemReason("cannot create a temporary file", errno);
        return false;
    }
    const auto fail = [&](const std::string& why) {
        if (fd >= 0) {
            _close(fd);
        }
        _wremove(temporary.c_str());
        reason = why;
        return false;
    };

    std::size_t written = 0;
    while (written < data.size()) {
        const std::size_t chunk = std::min<std::size_t>(data.size() - written, 1u << 20);
        const int count = _write(fd, data.data() + written, static_cast<unsigned>(chunk));
        if (count <= 0) {
            return fail(systemReason("cannot write the temporary file", count < 0 ? errno : EIO));
        }
        written += static_cast<std::size_t>(count);
    }
    if (_commit(fd) != 0) {
        return fail(systemReason("cannot flush the temporary file", errno));
    }
    const int closing = fd;
    fd = -1;
    if (_close(closing) != 0) {
        return fail(systemReason("cannot close the temporary file", errno));
    }
    if (!MoveFileExW(temporary.c_str(), file.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return fail(windowsReason("cannot replace the NVM file", GetLastError()));
    }
    return true;
}

FileLock::Outcome FileLock::acquire(const std::filesystem::path& file, std::string& reason) {
    release();
    // Sharing stays open, so that a second program reaches LockFileEx and is refused there; the
    // handle is not inherited by programs this process starts.
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = windowsReason("cannot open the lock file", GetLastError());
        return Outcome::Failed;
    }
    OVERLAPPED start{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &start)) {
        const DWORD error = GetLastError();
        CloseHandle(handle);
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
            return Outcome::HeldElsewhere;
        }
        reason = windowsReason("cannot lock the lock file", error);
        return Outcome::Failed;
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    m_file = file;
    return Outcome::Held;
}

void FileLock::release() {
    if (held()) {
        // Closing the handle drops its lock; the system does the same when the process ends.
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
        m_handle = kNone;
        m_file.clear();
    }
}

}  // namespace hideaway::sim
