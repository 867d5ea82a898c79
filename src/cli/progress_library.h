#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "forwarding_library.h"

namespace hideaway::cli {

class Terminal;

/// The phone-link library as the command line calls it: every call goes to the real library
/// unchanged. Each call that opens the link, empties, writes or reads a slot is shown as a step
/// ("writing 812 bytes to slot 3"), the others in the full trace only; once a call has loaded the
/// library, its file is shown too. A call that blocks for more than a second shows a progress line
/// (the step and the seconds spent) until it returns. The line is drawn by a thread of its own,
/// since the call itself holds the calling thread.
class ProgressLibrary final : public ForwardingLibrary {
public:
    /// With showProgress false (standard error is not a terminal) no thread runs and nothing is
    /// drawn. loadedFrom tells the full path of the library once it is loaded, empty before.
    ProgressLibrary(GbpLibrary& library, Terminal& terminal, bool showProgress,
                    std::function<QString()> loadedFrom = {});
    ~ProgressLibrary() override;

    ProgressLibrary(const ProgressLibrary&) = delete;
    ProgressLibrary& operator=(const ProgressLibrary&) = delete;

private:
    class Step;

    std::int16_t around(const LibraryCall& call,
                        const std::function<std::int16_t()>& forward) override;
    void begin(const QString& step, bool shown);
    void end();
    void tick();

    Terminal& m_terminal;
    std::function<QString()> m_loadedFrom;
    bool m_libraryShown = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QString m_step;
    std::chrono::steady_clock::time_point m_started;
    /// Counts the calls begun and ended, so the ticker knows a step it waits on is over.
    std::uint64_t m_generation = 0;
    bool m_inCall = false;
    bool m_stopping = false;
    std::thread m_ticker;
};

}  // namespace hideaway::cli
