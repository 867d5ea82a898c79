#include "terminal.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace hideaway::cli {

namespace {

void write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void writeStderr(const QString& text) {
    write(stderr, text);
}

}  // namespace

bool Terminal::stderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void Terminal::line(const QString& text) {
    const std::lock_guard lock(m_mutex);
    clearProgressLocked();
    writeStderr(text + QLatin1Char('\n'));
}

void Terminal::error(const QString& text) {
    line(QStringLiteral("hideaway100k-cli: ") + text);
}

void Terminal::result(const QString& text) {
    // Held too, so that a progress line on the same terminal is never cut by a result.
    const std::lock_guard lock(m_mutex);
    write(stdout, text + QLatin1Char('\n'));
}

void Terminal::progress(const QString& text) {
    const std::lock_guard lock(m_mutex);
    // Blanks cover what a longer previous line left behind.
    const QString padded = text.leftJustified(m_progressWidth);
    writeStderr(QLatin1Char('\r') + padded);
    m_progressWidth = padded.size();
}

void Terminal::clearProgress() {
    const std::lock_guard lock(m_mutex);
    clearProgressLocked();
}

void Terminal::clearProgressLocked() {
    if (m_progressWidth > 0) {
        writeStderr(QLatin1Char('\r') + QString(m_progressWidth, QLatin1Char(' ')) +
                    QLatin1Char('\r'));
        m_progressWidth = 0;
    }
}

}  // namespace hideaway::cli
