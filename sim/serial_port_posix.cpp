#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial_port.h"

namespace hideaway::sim {

namespace {

std::string systemReason(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

bool speedOf(std::int64_t baud, speed_t& speed) {
    struct Rate {
        std::int64_t baud;
        speed_t speed;
    };
    static constexpr Rate kRates[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},
                                      {9600, B9600},     {19200, B19200},   {38400, B38400},
                                      {57600, B57600},   {115200, B115200}, {230400, B230400},
                                      {460800, B460800}, {921600, B921600}};
    const auto* rate = std::find_if(std::begin(kRates), std::end(kRates),
                                    [baud](const Rate& r) { return r.baud == baud; });
    if (rate == std::end(kRates)) {
        return false;
    }
    speed = rate->speed;
    return true;
}

// What is left of the wait, for poll: at least 0, rounded up to whole milliseconds.
/// One wait of poll's, at most a minute: a longer deadline takes several, each checked by the
/// clock.
int millisecondsUntil(SerialPort::Deadline deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 60'000));
}

}  // namespace

bool SerialPort::open(const std::string& device, std::int64_t baud, std::string& reason) {
    close();
    speed_t speed = B0;
    if (!speedOf(baud, speed)) {
        reason = "the line has no speed of " + std::to_string(baud) + " baud";
        return false;
    }
    // Non-blocking, so that every wait is poll's, with a deadline; never the caller's terminal.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = systemReason(device.c_str(), errno);
        return false;
    }
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        reason = systemReason((device + " is no serial line").c_str(), errno);
        ::close(fd);
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        reason = systemReason(device.c_str(), errno);
        ::close(fd);
        return false;
    }
    ::tcflush(fd, TCIOFLUSH);  // what an earlier link left unread belongs to no call of ours
    m_handle = fd;
    return true;
}

void SerialPort::close() {
    if (isOpen()) {
        ::close(static_cast<int>(m_handle));
        m_handle = kNone;
    }
}

bool SerialPort::write(const std::uint8_t* data, std::size_t size, Deadline deadline,
                       std::string& reason) {
    const int fd = static_cast<int>(m_handle);
    std::size_t written = 0;
    while (written < size) {
        const ssize_t count = ::write(fd, data + written, size - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            reason = systemReason("the line failed", errno);
            return false;
        }
        pollfd wait{fd, POLLOUT, 0};
        const int ready = ::poll(&wait, 1, millisecondsUntil(deadline));
        if (ready == 0 && std::chrono::steady_clock::now() >= deadline) {
            reason = "the line took no more bytes in time";
            return false;
        }
        if (ready > 0 && (wait.revents & (POLLHUP | POLLERR)) != 0) {
            reason = "the line was hung up";
            return false;
        }
    }
    return true;
}

long SerialPort::read(std::uint8_t* data, std::size_t capacity, Deadline deadline,
                      std::string& reason) {
    const int fd = static_cast<int>(m_handle);
    for (;;) {
        const ssize_t count = ::read(fd, data, capacity);
        if (count > 0) {
            return static_cast<long>(count);
        }
        if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            // A pseudo-terminal whose far end closed reads EIO; a device that vanished, 0.
            reason = count == 0 ? std::string("the line was hung up")
                                : systemReason("the line failed", errno);
            return -1;
        }
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, millisecondsUntil(deadline));
        if (ready == 0 && std::chrono::steady_clock::now() >= deadline) {
            return 0;
        }
        if (ready > 0 && (wait.revents & POLLIN) == 0 &&
            (wait.revents & (POLLHUP | POLLERR)) != 0) {
            reason = "the line was hung up";
            return -1;
        }
    }
}

}  // namespace hideaway::sim
