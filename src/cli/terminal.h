#pragma once

#include <QString>

#include <mutex>

namespace hideaway::cli {

/// How much goes to standard error besides errors.
enum class Verbosity {
    Quiet,    ///< errors and warnings only
    Normal,   ///< the steps a person at a terminal follows
    Verbose,  ///< every step and every field the window would show
};

/// Standard error, shared by the status lines and the progress line. Every write takes one mutex,
/// so a progress line is always cleared before a status line is written and never lands inside
/// one.
class Terminal {
public:
    /// Whether standard error is a terminal; only then is a progress line drawn.
    static bool stderrIsTerminal();

    void setVerbosity(Verbosity verbosity) { m_verbosity = verbosity; }
    Verbosity verbosity() const { return m_verbosity; }

    /// Writes text as one line on standard error, after clearing any progress line.
    void line(const QString& text);
    /// A line of the program's own on standard error, after its name; always shown.
    void error(const QString& text);
    /// The same for a signal's handler, which must never be held by a write that does not end
    /// (standard error into a pipe nobody reads): the line is dropped if standard error stays
    /// busy for a second.
    void errorUnlessBusy(const QString& text);
    /// A step the user follows; not shown with --quiet.
    void step(const QString& text);
    /// A detail of the full trace; shown with --verbose only.
    void trace(const QString& text);
    /// Writes text as one line of results on standard output.
    void result(const QString& text);
    /// Why a result could not be written, or empty when every result was.
    QString resultError() const;
    /// Draws text as the progress line, over the previous one.
    void progress(const QString& text);
    /// Removes the progress line, if one is drawn.
    void clearProgress();

private:
    void clearProgressLocked();

    mutable std::timed_mutex m_mutex;
    qsizetype m_progressWidth = 0;
    Verbosity m_verbosity = Verbosity::Normal;
    QString m_resultError;
};

}  // namespace hideaway::cli
