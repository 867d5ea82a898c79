#include "stand_in.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace hideaway::phone {

namespace {

// Bytes go out in small pieces, each once its time on the line has passed, so that the library
// sees them come as from a real line.
constexpr std::size_t kPieceBytes = 32;
constexpr std::chrono::milliseconds kStopCheck{100};
constexpr int kQuietChecks = 10;

}  // namespace

void StandIn::serve() {
    std::uint8_t bytes[4096];
    int quiet = 0;
    while (!stopRequested()) {
        const long count = m_line.read(bytes, sizeof bytes, kStopCheck);
        if (count < 0) {
            std::fprintf(stderr, "hideaway-phone: the line failed\n");
            return;
        }
        // A request's bytes come without a pause: a second of silence in the middle of one means
        // its length was garbled, and it would hold back every request behind it.
        quiet = count == 0 ? quiet + 1 : 0;
        if (quiet == kQuietChecks) {
            m_reader.discard();
        }
        // What comes in up to a hang-up or a silence counts; nothing after it is heard.
        std::int64_t heard = count;
        for (const auto& limit : {m_faults.dropAfter, m_faults.silentAfter}) {
            if (limit) {
                heard = std::clamp<std::int64_t>(*limit - m_received, 0, heard);
            }
        }
        m_received += count;
        m_inFree = std::max(m_inFree, Clock::now()) + m_byteTime * count;
        std::this_thread::sleep_until(m_inFree);
        if (m_faults.dropAfter && m_received >= *m_faults.dropAfter) {
            std::fprintf(stderr, "hideaway-phone: hung up after %lld bytes had come in\n",
                         static_cast<long long>(*m_faults.dropAfter));
            return;
        }
        m_reader.feed(bytes, static_cast<std::size_t>(heard));
        while (const auto request = m_reader.next()) {
            if (const auto answer = m_farEnd.answer(*request)) {
                std::this_thread::sleep_for(m_faults.delay);
                send(sim::line::encode(*answer));
            }
        }
    }
}

void StandIn::send(std::vector<std::uint8_t> bytes) {
    for (std::uint8_t& byte : bytes) {
        ++m_sent;
        if (m_faults.noiseEvery && m_sent % *m_faults.noiseEvery == 0) {
            byte = static_cast<std::uint8_t>(byte ^ (1u << (m_sent / *m_faults.noiseEvery % 8)));
        }
    }
    // Timed from the start of the answer, so that late wake-ups do not add up.
    const Clock::time_point start = std::max(m_outFree, Clock::now());
    for (std::size_t at = 0; at < bytes.size(); at += kPieceBytes) {
        const std::size_t piece = std::min(kPieceBytes, bytes.size() - at);
        m_outFree = start + m_byteTime * static_cast<std::int64_t>(at + piece);
        std::this_thread::sleep_until(m_outFree);
        m_line.write(bytes.data() + at, piece);
    }
}

}  // namespace hideaway::phone
