#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "line_protocol.h"
#include "serial_port.h"

namespace hideaway::sim {

/// The library's side of a phone at the far end of a serial line: each call becomes requests
/// (line_protocol.h), each answered and confirmed. A bad or missing answer is asked for again, a
/// few times, each time with a deadline of its own; a line that stays bad fails the call. A write
/// succeeds only once the far end has stored the bytes.
class FarPhone {
public:
    /// Opens the line and asks the phone to open GBP mode: its answer, or kNoPhoneOnPort when
    /// the line cannot be opened or the phone does not answer.
    std::int16_t open(const std::string& device, std::int64_t baud);
    /// Asks the phone to close GBP mode and closes the line, answered or not.
    std::int16_t close();
    std::int16_t clear(std::uint8_t group, std::uint8_t number);
    std::int16_t write(std::uint8_t group, std::uint8_t number,
                       const std::vector<std::uint8_t>& data);
    std::int16_t size(std::uint8_t group, std::uint8_t number);
    /// Places the bytes in buffer only once all of them came whole.
    std::int16_t read(std::uint8_t group, std::uint8_t number, std::uint8_t* buffer,
                      std::int32_t maximum);

private:
    /// Sends the request until a whole answer to it comes: its payload, or nothing once every
    /// try failed (said on standard error). answerBytes is the most the answer's payload holds.
    std::optional<std::vector<std::uint8_t>> exchange(line::Kind kind,
                                                      const std::vector<std::uint8_t>& payload,
                                                      std::size_t answerBytes);
    /// As exchange, for an answer that is a result alone; kIoError when none came.
    std::int16_t resultOf(line::Kind kind, const std::vector<std::uint8_t>& payload);
    std::chrono::microseconds lineTime(std::size_t bytes) const;

    SerialPort m_port;
    std::string m_device;
    std::int64_t m_baud = 0;
    std::uint16_t m_sequence = 0;
    line::FrameReader m_reader;
};

}  // namespace hideaway::sim
