#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <QFile>

#include "durable_file.h"

namespace hideaway::cli {

namespace {

/// Opens path (read-only: fsync needs no more) and flushes it.
bool flushPath(const QString& path, int flags) {
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    int result = 0;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    // Some file systems (FUSE, some network ones) cannot flush at all: nothing more can be done.
    const bool flushed = result == 0 || errno == EINVAL || errno == ENOTSUP;
    ::close(fd);
    return flushed;
}

}  // namespace

bool flushFile(const QString& path) {
    return flushPath(path, O_NONBLOCK);
}

bool flushFolder(const QString& path) {
    return flushPath(path, O_DIRECTORY);
}

bool renameReplacing(const QString& from, const QString& to, bool) {
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace hideaway::cli
