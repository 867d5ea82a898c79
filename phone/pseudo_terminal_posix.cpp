#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <climits>
#include <cstring>

#include "pseudo_terminal.h"

namespace hideaway::phone {

namespace {

volatile sig_atomic_t gStop = 0;

void onStopSignal(int) {
    gStop = 1;
}

std::string systemReason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in poll ends at once.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    ::signal(SIGPIPE, SIG_IGN);
#if defined(__linux__)
    // Never outlive the program that started it, even one that crashed: a test or the benchmark
    // would otherwise leave a phone serving an orphaned line.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
}

bool stopRequested() {
    return gStop != 0;
}

bool PseudoTerminal::open(const std::string& link, std::string& reason) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[PATH_MAX] = {};
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0) {
        reason = systemReason("cannot make a pseudo-terminal");
        close();
        return false;
    }
    m_slaveName = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &settings) != 0) {
        reason = systemReason("cannot open " + m_slaveName);
        close();
        return false;
    }
    ::cfmakeraw(&settings);
    ::tcsetattr(m_slave, TCSANOW, &settings);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // A link made beside and renamed over the old one: whoever opens the path finds a whole link.
    const std::string temporary = link + ".tmp-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(name, temporary.c_str()) != 0 || ::rename(temporary.c_str(), link.c_str()) != 0) {
        reason = systemReason("cannot put a link at " + link);
        ::unlink(temporary.c_str());
        close();
        return false;
    }
    m_link = link;
    return true;
}

void PseudoTerminal::close() {
    if (!m_link.empty()) {
        char target[PATH_MAX] = {};
        const ssize_t length = ::readlink(m_link.c_str(), target, sizeof target - 1);
        if (length > 0 && m_slaveName == std::string(target, static_cast<std::size_t>(length))) {
            ::unlink(m_link.c_str());
        }
        m_link.clear();
    }
    for (int* fd : {&m_slave, &m_master}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

long PseudoTerminal::read(std::uint8_t* data, std::size_t capacity,
                          std::chrono::milliseconds timeout) {
    pollfd wait{m_master, POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) {
        return ready == 0 || errno == EINTR ? 0 : -1;
    }
    const ssize_t count = ::read(m_master, data, capacity);
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        return 0;
    }
    return count < 0 ? -1 : static_cast<long>(count);
}

void PseudoTerminal::write(const std::uint8_t* data, std::size_t size) {
    // Long enough for any library that reads at all; then the bytes are gone, as on a cable.
    constexpr int kPatienceMs = 2000;
    std::size_t written = 0;
    while (written < size && !stopRequested()) {
        const ssize_t count = ::write(m_master, data + written, size - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        }
        pollfd wait{m_master, POLLOUT, 0};
        if (::poll(&wait, 1, kPatienceMs) == 0) {
            return;
        }
    }
}

}  // namespace hideaway::phone
