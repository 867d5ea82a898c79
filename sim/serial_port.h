#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace hideaway::sim {

/// A serial port opened raw (8 data bits, no parity, one stop bit, no flow control) at one speed:
/// termios on Unix, the COMn API on Windows. Every wait ends by a deadline. One source file per
/// platform.
class SerialPort {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    SerialPort() = default;
    ~SerialPort() { close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    /// Opens device (a path on Unix, a port name such as COM1 on Windows) and drops whatever
    /// waits in it; on failure reason says why.
    bool open(const std::string& device, std::int64_t baud, std::string& reason);
    void close();
    bool isOpen() const { return m_handle != kNone; }
    /// Sends every byte by the deadline; false with reason when the line fails or time runs out.
    bool write(const std::uint8_t* data, std::size_t size, Deadline deadline, std::string& reason);
    /// Waits until some bytes came or the deadline passed: the count read, 0 when none came, -1
    /// when the line failed (reason says why; a hung-up line stays failed).
    long read(std::uint8_t* data, std::size_t capacity, Deadline deadline, std::string& reason);

private:
    static constexpr std::intptr_t kNone = -1;
    // A descriptor on Unix, a HANDLE on Windows.
    std::intptr_t m_handle = kNone;
};

}  // namespace hideaway::sim
