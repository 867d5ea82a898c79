#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QFileInfo>

#include "open_in_place.h"

namespace hideaway {

bool isDeviceOrPipe(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

bool openWithoutWaiting(QFile& file, const QString& path, QString& reason) {
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        // Without O_NONBLOCK this open would wait for a reader for ever; with it, ENXIO.
        const bool unreadPipe =
            error == ENXIO && ::stat(name.constData(), &info) == 0 && S_ISFIFO(info.st_mode);
        reason = unreadPipe ? QStringLiteral("a pipe that no program reads")
                            : QString::fromLocal8Bit(std::strerror(error));
        return false;
    }
    // Writes stay non-blocking too: a pipe whose reader has stopped reading fails rather than
    // holding the window.
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        reason = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

}  // namespace hideaway
