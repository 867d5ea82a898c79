#include "stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

namespace hideaway::cli {

namespace {

/// The pipe's end the signal handler writes each signal's number into; closing it ends the watch.
std::atomic<int> g_signalPipe = -1;
/// Handlers between reading g_signalPipe and their write: the end is closed only once none is,
/// so that no late write lands in a file that took the end's number.
std::atomic<int> g_handlersWriting = 0;
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may use only these");

extern "C" void onStopSignal(int number) {
    // Only what is safe in a signal handler: one write, with errno kept for the code it cut into.
    // The end does not block: a signal that finds the pipe full is dropped, and the ones in it
    // already stop the run.
    const int saved = errno;
    ++g_handlersWriting;
    if (const int end = g_signalPipe; end >= 0) {
        const char byte = static_cast<char>(number);
        [[maybe_unused]] const ssize_t written = write(end, &byte, 1);
    }
    --g_handlersWriting;
    errno = saved;
}

}  // namespace

struct StopSignals::Watch {
    int pipe[2] = {-1, -1};
    struct sigaction oldInterrupt {};
    struct sigaction oldTerminate {};
    std::thread thread;
};

StopSignals::StopSignals(std::function<void(StopSignal)> handler)
    : m_handler(std::move(handler)), m_watch(std::make_unique<Watch>()) {
    // The watch's end blocks, so that it sleeps until a byte comes; the handler's end does not.
    if (pipe2(m_watch->pipe, O_CLOEXEC) != 0 ||
        fcntl(m_watch->pipe[1], F_SETFL, fcntl(m_watch->pipe[1], F_GETFL) | O_NONBLOCK) != 0) {
        for (int& end : m_watch->pipe) {
            if (end >= 0) {
                close(end);
            }
            end = -1;
        }
        return;  // no watch: the signals keep their default, which ends the run at once
    }
    g_signalPipe = m_watch->pipe[1];
    m_watch->thread = std::thread([this] {
        for (;;) {
            char byte = 0;
            const ssize_t got = read(m_watch->pipe[0], &byte, 1);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return;
            }
            m_handler(byte == SIGINT ? StopSignal::Interrupt : StopSignal::Terminate);
        }
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Restarted, so the library's own waits are cut into as little as may be.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_watch->oldInterrupt);
    sigaction(SIGTERM, &action, &m_watch->oldTerminate);
}

StopSignals::~StopSignals() {
    if (m_watch->pipe[1] < 0) {
        return;
    }
    sigaction(SIGINT, &m_watch->oldInterrupt, nullptr);
    sigaction(SIGTERM, &m_watch->oldTerminate, nullptr);
    g_signalPipe = -1;
    while (g_handlersWriting != 0) {
        std::this_thread::yield();
    }
    // Closing the end, unlike a write, cannot fail: the watch reads the end of the pipe once it
    // has taken the signals before it.
    close(m_watch->pipe[1]);
    m_watch->thread.join();
    close(m_watch->pipe[0]);
}

}  // namespace hideaway::cli
