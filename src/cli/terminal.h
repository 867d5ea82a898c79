#pragma once

#include <QString>

#include <mutex>

namespace hideaway::cli {

/// Standard error, shared by the status lines and the progress line. Every write takes one mutex,
/// so a progress line is always cleared before a status line is written and never lands inside
/// one.
class Terminal {
public:
    /// Whether standard error is a terminal; only then is a progress line drawn.
    static bool stderrIsTerminal();

    /// Writes text as one line on standard error, after clearing any progress line.
    void line(const QString& text);
    /// A line of the program's own on standard error, after its name.
    void error(const QString& text);
    /// Writes text as one line of results on standard output.
    void result(const QString& text);
    /// Draws text as the progress line, over the previous one.
    void progress(const QString& text);
    /// Removes the progress line, if one is drawn.
    void clearProgress();

private:
    void clearProgressLocked();

    std::mutex m_mutex;
    qsizetype m_progressWidth = 0;
};

}  // namespace hideaway::cli
