#include "stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>

namespace hideaway::cli {

namespace {

/// The pipe's end the signal handler writes each signal's number into; a zero byte ends the
/// watch.
volatile std::sig_atomic_t g_signalPipe = -1;

extern "C" void onStopSignal(int number) {
    // Only what is safe in a signal handler: one write, with errno kept for the code it cut into.
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = write(g_signalPipe, &byte, 1);
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
    if (pipe2(m_watch->pipe, O_CLOEXEC) != 0) {
        m_watch->pipe[0] = m_watch->pipe[1] = -1;
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
            if (got <= 0 || byte == 0) {
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
    const char end = 0;
    while (write(m_watch->pipe[1], &end, 1) < 0 && errno == EINTR) {
    }
    m_watch->thread.join();
    g_signalPipe = -1;
    close(m_watch->pipe[0]);
    close(m_watch->pipe[1]);
}

}  // namespace hideaway::cli
