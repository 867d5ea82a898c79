#include "terminal.h"

#include "terminal_output.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace hideaway::cli {

namespace {

void writeStderr(const QString& text) {
    writeText(stderr, text);
}

}  // namespace

bool Terminal::stderrIsTerminal() {
    return isTerminal(stderr);
}

void Terminal::line(const QString& text) {
    const std::lock_guard lock(m_mutex);
    clearProgressLocked();
    writeStderr(text + QLatin1Char('\n'));
}

void Terminal::error(const QString& text) {
    line(QStringLiteral("hideaway100k-cli: ") + text);
}

void Terminal::errorUnlessBusy(const QString& text) {
    std::unique_lock lock(m_mutex, std::chrono::seconds(1));
    if (lock.owns_lock()) {
        clearProgressLocked();
        writeStderr(QStringLiteral("hideaway100k-cli: ") + text + QLatin1Char('\n'));
    }
}

void Terminal::step(const QString& text) {
    if (m_verbosity != Verbosity::Quiet) {
        line(text);
    }
}

void Terminal::trace(const QString& text) {
    if (m_verbosity == Verbosity::Verbose) {
        line(text);
    }
}

void Terminal::result(const QString& text) {
    // Held too, so that a progress line on the same terminal is never cut by a result.
    const std::lock_guard lock(m_mutex);
    // A result that cannot be written (a full disk, a closed pipe) fails the run, as it does for
    // the core utilities.
    if (!writeText(stdout, text + QLatin1Char('\n')) && m_resultError.isEmpty()) {
        m_resultError = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                   : QStringLiteral("standard output failed");
    }
}

QString Terminal::resultError() const {
    const std::lock_guard lock(m_mutex);
    return m_resultError;
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
