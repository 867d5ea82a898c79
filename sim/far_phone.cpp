#include "far_phone.h"

#include <cstdio>
#include <cstring>

#include "phone.h"
#include "serial_line.h"

namespace hideaway::sim {

namespace {

using line::Kind;
using line::PayloadReader;
using line::PayloadWriter;

// A few tries: a garbled byte costs one more, a phone that does not answer fails in seconds.
constexpr int kTries = 3;
// Time for the far end to act (an atomic write reaches the disk) and for the system's buffers,
// beyond twice the time the bytes take on the line.
constexpr std::chrono::milliseconds kAnswerMargin{1000};

// The library's call a request serves, for the messages.
const char* callName(Kind kind) {
    GbpCall call = GbpCall::ReadNVMFile;
    switch (kind) {
        case Kind::Init:
            call = GbpCall::InitGBPMode;
            break;
        case Kind::End:
            call = GbpCall::EndGBPMode;
            break;
        case Kind::Clear:
            call = GbpCall::ClearNVMFile;
            break;
        case Kind::Size:
            call = GbpCall::GetNVMFileSize;
            break;
        case Kind::WriteChunk:
        case Kind::WriteCommit:
            call = GbpCall::WriteNVMFile;
            break;
        case Kind::ReadOpen:
        case Kind::ReadChunk:
            break;
    }
    return kGbpCallNames[static_cast<std::size_t>(call)];
}

void report(const std::string& message) {
    std::fprintf(stderr, "GBP: %s\n", message.c_str());
    std::fflush(stderr);
}

}  // namespace

std::chrono::microseconds FarPhone::lineTime(std::size_t bytes) const {
    return lineDelay(m_baud, static_cast<std::int64_t>(bytes));
}

std::int16_t FarPhone::open(const std::string& device, std::int64_t baud) {
    m_port.close();
    m_device = device;
    m_baud = baud;
    m_reader = line::FrameReader();
    std::string reason;
    if (!m_port.open(device, baud, reason)) {
        report("no serial line: " + reason);
        return result::kNoPhoneOnPort;
    }
    const auto answer = exchange(Kind::Init, {}, 2);
    if (!answer) {
        m_port.close();
        return result::kNoPhoneOnPort;
    }
    PayloadReader in(*answer);
    const std::int16_t answered = in.i16();
    if (answered != result::kOk) {
        m_port.close();
    }
    return answered;
}

std::int16_t FarPhone::close() {
    // A line closed before is one that failed: the phone cannot have heard the end.
    const std::int16_t answered = m_port.isOpen() ? resultOf(Kind::End, {}) : result::kIoError;
    m_port.close();
    return answered;
}

std::int16_t FarPhone::clear(std::uint8_t group, std::uint8_t number) {
    return resultOf(Kind::Clear, PayloadWriter().u8(group).u8(number).take());
}

std::int16_t FarPhone::size(std::uint8_t group, std::uint8_t number) {
    return resultOf(Kind::Size, PayloadWriter().u8(group).u8(number).take());
}

std::int16_t FarPhone::write(std::uint8_t group, std::uint8_t number,
                             const std::vector<std::uint8_t>& data) {
    for (std::size_t offset = 0; offset < data.size(); offset += line::kChunkBytes) {
        const std::size_t count = std::min<std::size_t>(line::kChunkBytes, data.size() - offset);
        const std::int16_t held =
            resultOf(Kind::WriteChunk, PayloadWriter()
                                           .u8(group)
                                           .u8(number)
                                           .u32(static_cast<std::uint32_t>(offset))
                                           .bytes(data.data() + offset, count)
                                           .take());
        if (held != result::kOk) {
            return held;
        }
    }
    // The far end stores the bytes only when all of them came whole, and says so only then.
    return resultOf(Kind::WriteCommit, PayloadWriter()
                                           .u8(group)
                                           .u8(number)
                                           .u32(static_cast<std::uint32_t>(data.size()))
                                           .u32(line::crc32(data.data(), data.size()))
                                           .take());
}

std::int16_t FarPhone::read(std::uint8_t group, std::uint8_t number, std::uint8_t* buffer,
                            std::int32_t maximum) {
    const auto opened = exchange(
        Kind::ReadOpen,
        PayloadWriter().u8(group).u8(number).u32(static_cast<std::uint32_t>(maximum)).take(), 6);
    if (!opened) {
        return result::kIoError;
    }
    PayloadReader head(*opened);
    const std::int16_t count = head.i16();
    const std::uint32_t crc = head.u32();
    if (count <= 0) {
        return count;
    }
    if (count > maximum) {
        report("the phone on " + m_device + " offered more bytes than asked for");
        return result::kIoError;
    }
    std::vector<std::uint8_t> data;
    data.reserve(static_cast<std::size_t>(count));
    while (data.size() < static_cast<std::size_t>(count)) {
        const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(
            line::kChunkBytes, static_cast<std::size_t>(count) - data.size()));
        const auto chunk = exchange(Kind::ReadChunk,
                                    PayloadWriter()
                                        .u8(group)
                                        .u8(number)
                                        .u32(static_cast<std::uint32_t>(data.size()))
                                        .u16(length)
                                        .take(),
                                    2 + std::size_t{length});
        if (!chunk) {
            return result::kIoError;
        }
        PayloadReader in(*chunk);
        const std::int16_t answered = in.i16();
        const std::vector<std::uint8_t> bytes = in.rest();
        if (answered != result::kOk) {
            return answered < 0 ? answered : result::kIoError;
        }
        if (bytes.size() != length) {
            report("the phone on " + m_device + " sent a chunk of the wrong length");
            return result::kIoError;
        }
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    if (line::crc32(data.data(), data.size()) != crc) {
        report("the bytes read from the phone on " + m_device + " do not match their CRC");
        return result::kIoError;
    }
    std::memcpy(buffer, data.data(), data.size());
    return count;
}

std::int16_t FarPhone::resultOf(line::Kind kind, const std::vector<std::uint8_t>& payload) {
    const auto answer = exchange(kind, payload, 2);
    if (!answer) {
        return result::kIoError;
    }
    PayloadReader in(*answer);
    return in.i16();
}

std::optional<std::vector<std::uint8_t>> FarPhone::exchange(
    line::Kind kind, const std::vector<std::uint8_t>& payload, std::size_t answerBytes) {
    const auto wanted =
        static_cast<std::uint8_t>(static_cast<std::uint8_t>(kind) | line::kAnswerBit);
    const char* call = callName(kind);
    std::string reason = "the line was closed after an earlier failure";
    bool answered = false;
    for (int attempt = 1; attempt <= kTries && m_port.isOpen(); ++attempt) {
        // A fresh number for every try: an answer to an earlier one is never taken for this one,
        // and what is left of one is dropped.
        const std::uint16_t sequence = ++m_sequence;
        m_reader.discard();
        const std::vector<std::uint8_t> request =
            line::encode({static_cast<std::uint8_t>(kind), sequence, payload});
        const std::size_t lineBytes =
            request.size() + line::kHeaderBytes + answerBytes + line::kCrcBytes;
        const auto deadline =
            std::chrono::steady_clock::now() + 2 * lineTime(lineBytes) + kAnswerMargin;
        if (!m_port.write(request.data(), request.size(), deadline, reason)) {
            if (std::chrono::steady_clock::now() < deadline) {
                m_port.close();  // not a slow line but a failed one
            }
            continue;
        }
        for (;;) {
            std::uint8_t bytes[1024];
            const long count = m_port.read(bytes, sizeof bytes, deadline, reason);
            if (count < 0) {
                // A hung-up line stays so: the calls that follow fail at once.
                m_port.close();
                break;
            }
            if (count == 0) {
                reason = "no answer in time";
                break;
            }
            answered = true;
            const std::size_t rejectedBefore = m_reader.rejected();
            m_reader.feed(bytes, static_cast<std::size_t>(count));
            std::optional<line::Frame> frame;
            while ((frame = m_reader.next())) {
                if (frame->kind == wanted && frame->sequence == sequence &&
                    frame->payload.size() >= 2 && frame->payload.size() <= answerBytes) {
                    return std::move(frame->payload);
                }
            }
            if (m_reader.rejected() != rejectedBefore) {
                reason = "a garbled answer";
                break;  // ask again at once rather than wait out the deadline
            }
        }
    }
    if (!m_port.isOpen()) {
        report("the serial line " + m_device + " failed during " + call + ": " + reason);
    } else {
        report("the phone on " + m_device + " did not answer " + call + " after " +
               std::to_string(kTries) + " tries: " + reason);
        if (!answered) {
            // A phone that said nothing to any try is gone for this link: the calls that follow
            // fail at once rather than each wait out tries of its own.
            m_port.close();
        }
    }
    return std::nullopt;
}

}  // namespace hideaway::sim
