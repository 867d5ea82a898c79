#include <unistd.h>

#include <cerrno>

#include "terminal_output.h"

namespace hideaway::cli {

bool writeText(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    errno = 0;
    const std::size_t written =
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    return std::fflush(stream) == 0 && written == static_cast<std::size_t>(bytes.size());
}

bool isTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

}  // namespace hideaway::cli
