#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <io.h>

#include <cerrno>

#include "terminal_output.h"

namespace hideaway::cli {

namespace {

// The console behind the stream, or null when the stream goes to a file or a pipe.
HANDLE consoleOf(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        return nullptr;
    }
    return handle;
}

}  // namespace

bool writeText(std::FILE* stream, const QString& text) {
    errno = 0;
    if (const HANDLE console = consoleOf(stream)) {
        // Whatever the C library still holds goes first, so the order stays as written.
        std::fflush(stream);
        const auto* characters = reinterpret_cast<const wchar_t*>(text.utf16());
        DWORD left = static_cast<DWORD>(text.size());
        while (left > 0) {
            DWORD written = 0;
            if (!WriteConsoleW(console, characters, left, &written, nullptr) || written == 0) {
                errno = EIO;
                return false;
            }
            characters += written;
            left -= written;
        }
        return true;
    }
    // The C library's text mode still ends each line in CRLF, as Windows programs' output does.
    const QByteArray bytes = text.toUtf8();
    const std::size_t written =
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    return std::fflush(stream) == 0 && written == static_cast<std::size_t>(bytes.size());
}

bool isTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

}  // namespace hideaway::cli
