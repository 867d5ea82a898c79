#include <windows.h>

#include <algorithm>

#include "serial_port.h"

namespace hideaway::sim {

namespace {

HANDLE handleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string systemReason(const std::string& what, DWORD error) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return what + ": " + (message.empty() ? "Windows error " + std::to_string(error) : message);
}

// What is left of the wait in whole milliseconds, at least 1 (0 would mean no limit).
DWORD millisecondsUntil(SerialPort::Deadline deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 1, 60'000));
}

// ReadFile returns once the line has been quiet for 10 ms after a byte, or after total ms with
// none; WriteFile gives up after total ms. Not the "return at the first byte" pair of MAXDWORDs,
// which Wine's serial reads do not know and would wait out in full.
bool setWait(HANDLE port, DWORD total) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 10;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = total;
    timeouts.WriteTotalTimeoutConstant = total;
    return SetCommTimeouts(port, &timeouts) != 0;
}

}  // namespace

bool SerialPort::open(const std::string& device, std::int64_t baud, std::string& reason) {
    close();
    // COM10 and above are reachable only by the device name, so every port goes by it.
    const std::string name = device.starts_with("\\\\.\\") ? device : "\\\\.\\" + device;
    const HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        reason = systemReason(device, GetLastError());
        return false;
    }
    DCB state{};
    state.DCBlength = sizeof state;
    bool ready = GetCommState(port, &state) != 0;
    if (ready) {
        state.BaudRate = static_cast<DWORD>(baud);
        state.ByteSize = 8;
        state.Parity = NOPARITY;
        state.StopBits = ONESTOPBIT;
        state.fBinary = TRUE;
        state.fParity = FALSE;
        state.fOutxCtsFlow = FALSE;
        state.fOutxDsrFlow = FALSE;
        state.fDtrControl = DTR_CONTROL_ENABLE;
        state.fRtsControl = RTS_CONTROL_ENABLE;
        state.fOutX = FALSE;
        state.fInX = FALSE;
        state.fAbortOnError = FALSE;
        ready = SetCommState(port, &state) != 0 && setWait(port, 1) &&
                PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR) != 0;
    }
    if (!ready) {
        reason = systemReason(device + " at " + std::to_string(baud) + " baud", GetLastError());
        CloseHandle(port);
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(port);
    return true;
}

void SerialPort::close() {
    if (isOpen()) {
        CloseHandle(handleOf(m_handle));
        m_handle = kNone;
    }
}

bool SerialPort::write(const std::uint8_t* data, std::size_t size, Deadline deadline,
                       std::string& reason) {
    std::size_t written = 0;
    while (written < size) {
        DWORD count = 0;
        if (!setWait(handleOf(m_handle), millisecondsUntil(deadline)) ||
            !WriteFile(handleOf(m_handle), data + written, static_cast<DWORD>(size - written),
                       &count, nullptr)) {
            reason = systemReason("the line failed", GetLastError());
            return false;
        }
        written += count;
        if (written < size && std::chrono::steady_clock::now() >= deadline) {
            reason = "the line took no more bytes in time";
            return false;
        }
    }
    return true;
}

long SerialPort::read(std::uint8_t* data, std::size_t capacity, Deadline deadline,
                      std::string& reason) {
    DWORD count = 0;
    // A wait is at most a minute: a longer deadline takes several, each checked by the clock.
    do {
        if (!setWait(handleOf(m_handle), millisecondsUntil(deadline)) ||
            !ReadFile(handleOf(m_handle), data, static_cast<DWORD>(capacity), &count, nullptr)) {
            reason = systemReason("the line failed", GetLastError());
            return -1;
        }
    } while (count == 0 && std::chrono::steady_clock::now() < deadline);
    return static_cast<long>(count);
}

}  // namespace hideaway::sim
