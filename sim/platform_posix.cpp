#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace hideaway::sim {

namespace {

std::string systemReason(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

// A rename is only durable once the folder that holds the name reaches the disk. Some file
// systems refuse to sync a folder; the data itself is already safe then, so this may fail quietly.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::filesystem::path environmentPath(const char* name) {
    return std::filesystem::path(environmentText(name));
}

std::filesystem::path defaultPhoneFolder() {
    std::filesystem::path base = environmentPath("XDG_DATA_HOME");
    // The XDG rules ignore a relative XDG_DATA_HOME.
    if (base.empty() || !base.is_absolute()) {
        const std::filesystem::path home = environmentPath("HOME");
        if (home.empty()) {
            return {};
        }
        base = home / ".local" / "share";
    }
    return base / "hideaway100k" / "phone";
}

bool replaceFileAtomically(const std::filesystem::path& file, const std::vector<std::uint8_t>& data,
                           std::string& reason) {
    std::string temporary = file.string() + kTemporaryMark + "XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        reason = systemReason("cannot create a temporary file", errno);
        return false;
    }
    const auto fail = [&](const char* what) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        reason = systemReason(what, error);
        return false;
    };

    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t count = ::write(fd, data.data() + written, data.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            if (count == 0) {
                errno = EIO;
            }
            return fail("cannot write the temporary file");
        }
        written += static_cast<std::size_t>(count);
    }
    if (::fsync(fd) != 0) {
        return fail("cannot flush the temporary file");
    }
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) {
        return fail("cannot close the temporary file");
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        return fail("cannot replace the NVM file");
    }
    syncFolder(file.parent_path());
    return true;
}

FileLock::Outcome FileLock::acquire(const std::filesystem::path& file, std::string& reason) {
    release();
    // Not inherited by programs this process starts, which would otherwise hold the lock too.
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);  // a lock needs no write access
    }
    if (fd < 0) {
        reason = systemReason("cannot open the lock file", errno);
        return Outcome::Failed;
    }
    // flock, not fcntl: an fcntl lock is the whole process's, and closing any descriptor of the
    // file, anywhere in the process, would drop it.
    int locked = 0;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            return Outcome::HeldElsewhere;
        }
        reason = systemReason("cannot lock the lock file", error);
        return Outcome::Failed;
    }
    m_handle = fd;
    m_file = file;
    return Outcome::Held;
}

void FileLock::release() {
    if (held()) {
        ::close(static_cast<int>(m_handle));  // closing the only descriptor drops the lock
        m_handle = kNone;
        m_file.clear();
    }
}

}  // namespace hideaway::sim
