#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <QDir>

#include <string>

#include "native_name.h"
#include "open_in_place.h"

namespace hideaway {

std::wstring nativeName(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

namespace {

bool isDeviceNamespace(const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    return native.startsWith(QLatin1String("\\\\.\\"));
}

}  // namespace

bool isDeviceOrPipe(const QString& path) {
    if (isDeviceNamespace(path)) {
        return true;  // a pipe or port, whether or not it can be opened now
    }
    const HANDLE handle = CreateFileW(nativeName(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

bool openWithoutWaiting(QFile& file, const QString& path, QString& reason) {
    // Windows never waits in an open: a pipe without a free instance or a busy port fails at once.
    const HANDLE handle =
        CreateFileW(nativeName(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = qt_error_string(static_cast<int>(GetLastError()));
        return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        reason = qt_error_string(static_cast<int>(GetLastError()));
        CloseHandle(handle);
        return false;
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        reason = file.errorString();
        _close(fd);
        return false;
    }
    return true;
}

}  // namespace hideaway
