#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QFile>

#include "folder_lock.h"

namespace hideaway::cli {

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

FolderLock::Attempt FolderLock::tryTake(QString& reason) {
    const QByteArray name = QFile::encodeName(m_path);
    for (;;) {
        // Never through a link, and never waiting on a pipe planted under the name.
        const int fd =
            ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                   S_IRUSR | S_IWUSR);
        if (fd < 0) {
            if (errno == EINTR) {
                continue;
            }
            reason = systemReason(errno);
            return Attempt::Failed;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            reason = QStringLiteral("not a file");
            return Attempt::Failed;
        }
        // flock, not fcntl: its lock belongs to this open file, so no other open and close of
        // the same file in this process can drop it.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EINTR) {
                continue;
            }
            if (error == EWOULDBLOCK) {
                return Attempt::Busy;
            }
            reason = systemReason(error);
            return Attempt::Failed;
        }
        // The run that held it removes the file as it lets go: a lock on a file no longer under
        // the name is no lock for the next run, so take the one that is there now.
        struct stat named {};
        if (::lstat(name.constData(), &named) != 0 || named.st_dev != opened.st_dev ||
            named.st_ino != opened.st_ino) {
            ::close(fd);
            continue;
        }
        m_handle = fd;
        return Attempt::Taken;
    }
}

void FolderLock::writeHolder(const QByteArray& record) {
    const int fd = static_cast<int>(m_handle);
    // Only a message depends on it, so a failure here costs nothing more.
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, record.constData(), record.size(), 0);
    }
}

void FolderLock::release() {
    if (m_handle < 0) {
        return;
    }
    // Removed while still held, so that no run takes the lock of a file about to go.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

QByteArray FolderLock::readHolder(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    QByteArray record(512, Qt::Uninitialized);
    const ssize_t size = ::pread(fd, record.data(), record.size(), 0);
    ::close(fd);
    return size > 0 ? record.left(size) : QByteArray();
}

}  // namespace hideaway::cli
