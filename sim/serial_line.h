#pragma once

#include <chrono>
#include <cstdint>

namespace hideaway::sim {

/// Bytes of command and answer that every call sends over the line besides its data.
inline constexpr std::int64_t kFrameBytes = 8;

/// How long bytes take on a serial line of this many bits per second, at 10 bits per byte
/// (start, 8 data, stop), rounded up to whole microseconds; zero when baud is 0 (no line delay).
std::chrono::microseconds lineDelay(std::int64_t baud, std::int64_t bytes);

}  // namespace hideaway::sim
