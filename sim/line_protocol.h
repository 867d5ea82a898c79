#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The frames the simulated phone library and the stand-in phone exchange over a serial line. Our
// own, small protocol: each request is answered by one frame that echoes its kind and sequence
// number, so a late or repeated answer is never taken for another call's. Every frame carries its
// length and a CRC-32; a garbled frame is dropped and the request tried again.
//
// A frame: 0xC5 0x3A, kind (1 byte), sequence (2), payload length (2), payload, CRC-32 (4) of
// kind to payload. Numbers are little-endian.
namespace hideaway::sim::line {

enum class Kind : std::uint8_t {
    Init = 1,     // -> result
    End,          // -> result
    Clear,        // group, number -> result
    Size,         // group, number -> result
    WriteChunk,   // group, number, offset (4), bytes -> result: held, not yet stored
    WriteCommit,  // group, number, length (4), CRC of all (4) -> result once stored
    ReadOpen,     // group, number, maximum (4) -> count or result, CRC of the count bytes (4)
    ReadChunk,    // group, number, offset (4), length (2) -> result, bytes
};

/// Set in the kind of an answer.
inline constexpr std::uint8_t kAnswerBit = 0x80;
inline constexpr std::size_t kHeaderBytes = 7;
inline constexpr std::size_t kCrcBytes = 4;
/// The data of one chunk: small enough that a garbled one costs little to send again, large
/// enough that the answers in between cost about 1 % of the line.
inline constexpr std::int32_t kChunkBytes = 4096;
inline constexpr std::size_t kMaxPayload = kChunkBytes + 16;
/// The most bytes the far end holds for one NVM file while it is written.
inline constexpr std::int32_t kMaxStaged = 65536;

struct Frame {
    std::uint8_t kind = 0;
    std::uint16_t sequence = 0;
    std::vector<std::uint8_t> payload;
};

std::uint32_t crc32(const std::uint8_t* data, std::size_t size);
std::vector<std::uint8_t> encode(const Frame& frame);

/// Builds a payload field by field.
class PayloadWriter {
public:
    PayloadWriter& u8(std::uint8_t value);
    PayloadWriter& u16(std::uint16_t value);
    PayloadWriter& u32(std::uint32_t value);
    PayloadWriter& bytes(const std::uint8_t* data, std::size_t size);
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

/// Reads a payload field by field; once a field is missing, ok() is false and every read gives 0.
class PayloadReader {
public:
    explicit PayloadReader(const std::vector<std::uint8_t>& payload) : m_payload(payload) {}
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    /// The bytes not read yet.
    std::vector<std::uint8_t> rest();
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_ok && m_offset == m_payload.size(); }

private:
    bool take(std::size_t size);
    const std::vector<std::uint8_t>& m_payload;
    std::size_t m_offset = 0;
    bool m_ok = true;
};

/// Finds whole frames in the bytes as they come in, skipping noise: a byte that starts no valid
/// frame is dropped and the search goes on from the next one.
class FrameReader {
public:
    void feed(const std::uint8_t* data, std::size_t size);
    std::optional<Frame> next();
    /// Drops the bytes of a frame not yet whole: a garbled length may promise bytes that never
    /// come, and would hold back every frame behind it.
    void discard() { m_buffer.clear(); }
    /// Frames dropped for a bad CRC or length since the start.
    std::size_t rejected() const { return m_rejected; }

private:
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_rejected = 0;
};

}  // namespace hideaway::sim::line
