#include <windows.h>

#include <QFileInfo>

#include "folder_lock.h"
#include "native_name.h"

namespace hideaway::cli {

FolderLock::Attempt FolderLock::tryTake(QString& reason) {
    // Open for writing without sharing the writing: a second run's open fails while this handle
    // lives, and Windows closes it however the process ends, which deletes the file. Others may
    // still read it, to name the holder.
    const HANDLE handle = CreateFileW(nativeName(m_path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A file whose last handle is closing cannot be opened until it is gone.
        if (error == ERROR_SHARING_VIOLATION ||
            (error == ERROR_ACCESS_DENIED && QFileInfo::exists(m_path))) {
            return Attempt::Busy;
        }
        reason = qt_error_string(static_cast<int>(error));
        return Attempt::Failed;
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    return Attempt::Taken;
}

void FolderLock::writeHolder(const QByteArray& record) {
    const auto handle = reinterpret_cast<HANDLE>(m_handle);
    DWORD written = 0;
    // Only a message depends on it, so a failure here costs nothing more.
    if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == 0 &&
        WriteFile(handle, record.constData(), static_cast<DWORD>(record.size()), &written,
                  nullptr)) {
        SetEndOfFile(handle);
    }
}

void FolderLock::release() {
    if (m_handle == -1) {
        return;
    }
    CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    m_handle = -1;
}

QByteArray FolderLock::readHolder(const QString& path) {
    const HANDLE handle = CreateFileW(nativeName(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    QByteArray record(512, Qt::Uninitialized);
    DWORD size = 0;
    const bool read =
        ReadFile(handle, record.data(), static_cast<DWORD>(record.size()), &size, nullptr) != 0;
    CloseHandle(handle);
    return read ? record.left(static_cast<qsizetype>(size)) : QByteArray();
}

}  // namespace hideaway::cli
