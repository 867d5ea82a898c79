#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "far_end.h"
#include "pseudo_terminal.h"

namespace hideaway::phone {

/// The line's faults the stand-in plays, from its command line.
struct LineFaults {
    /// Hang up (close the line and end) once this many bytes have come in.
    std::optional<std::int64_t> dropAfter;
    /// Flip one bit in every this many bytes sent.
    std::optional<std::int64_t> noiseEvery;
    /// Stop answering, line open, once this many bytes have come in.
    std::optional<std::int64_t> silentAfter;
    /// Wait this long before each answer.
    std::chrono::milliseconds delay{0};
};

/// Serves the far end over the line at the pace of a serial line of baud bits per second (10 bits
/// a byte, each way), playing the faults asked for, until asked to stop or the line is hung up.
class StandIn {
public:
    StandIn(PseudoTerminal& line, std::int64_t baud, const LineFaults& faults)
        : m_line(line),
          m_byteTime(std::chrono::nanoseconds(10'000'000'000 / baud)),
          m_faults(faults) {}
    /// Returns once stopped or hung up.
    void serve();

private:
    void send(std::vector<std::uint8_t> bytes);

    using Clock = std::chrono::steady_clock;
    PseudoTerminal& m_line;
    std::chrono::nanoseconds m_byteTime;
    LineFaults m_faults;
    FarEnd m_farEnd;
    sim::line::FrameReader m_reader;
    std::int64_t m_received = 0;
    std::int64_t m_sent = 0;
    // When the line is free again in each direction.
    Clock::time_point m_inFree = Clock::now();
    Clock::time_point m_outFree = Clock::now();
};

}  // namespace hideaway::phone
