#pragma once

#include <functional>
#include <memory>

namespace hideaway::cli {

/// A request from outside to stop the run.
enum class StopSignal {
    Interrupt,  ///< Ctrl-C (SIGINT; on Windows the console's Ctrl-C or Ctrl-Break)
    Terminate,  ///< SIGTERM
    Close,      ///< Windows: the console is closed, the user logs off or the system shuts down
};

/// The exit status of a run a signal stopped, the one a shell gives a process that signal ended:
/// 130 for Ctrl-C, 143 for SIGTERM and the other requests to end.
inline int stopStatus(StopSignal signal) {
    return signal == StopSignal::Interrupt ? 130 : 143;
}

/// Catches Ctrl-C and SIGTERM for as long as it lives and tells each to the handler, on a thread
/// that is not inside a signal handler, so the handler may take locks, write and end the process.
/// Afterwards the system's own handling comes back.
class StopSignals {
public:
    explicit StopSignals(std::function<void(StopSignal)> handler);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct Watch;  // in the platform's twin

    std::function<void(StopSignal)> m_handler;
    std::unique_ptr<Watch> m_watch;
};

}  // namespace hideaway::cli
