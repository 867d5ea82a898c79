#include <windows.h>

#include "durable_file.h"
#include "native_name.h"

namespace hideaway::cli {

bool flushFile(const QString& path) {
    // FlushFileBuffers needs a handle that may write, though it writes nothing itself.
    const HANDLE handle = CreateFileW(nativeName(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool flushed = FlushFileBuffers(handle) != 0;
    CloseHandle(handle);
    return flushed;
}

bool flushFolder(const QString&) {
    // A folder cannot be flushed here; every rename of a backup is written through instead.
    return true;
}

bool renameReplacing(const QString& from, const QString& to, bool isFolder) {
    // Replacing is for files only: MoveFileEx refuses the flag for a folder.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (isFolder ? 0 : MOVEFILE_REPLACE_EXISTING);
    return MoveFileExW(nativeName(from).c_str(), nativeName(to).c_str(), flags) != 0;
}

}  // namespace hideaway::cli
