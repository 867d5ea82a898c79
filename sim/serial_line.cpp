#include "serial_line.h"

namespace hideaway::sim {

std::chrono::microseconds lineDelay(std::int64_t baud, std::int64_t bytes) {
    if (baud <= 0 || bytes <= 0) {
        return std::chrono::microseconds(0);
    }
    constexpr std::int64_t kBitsPerByte = 10;
    constexpr std::int64_t kMicrosecondsPerSecond = 1'000'000;
    const std::int64_t bitMicroseconds = bytes * kBitsPerByte * kMicrosecondsPerSecond;
    return std::chrono::microseconds((bitMicroseconds + baud - 1) / baud);
}

}  // namespace hideaway::sim
