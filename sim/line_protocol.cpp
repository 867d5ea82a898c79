#include "line_protocol.h"

#include <algorithm>
#include <array>

namespace hideaway::sim::line {

namespace {

constexpr std::uint8_t kMagic[2] = {0xC5, 0x3A};

constexpr std::array<std::uint32_t, 256> crcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr auto kCrcTable = crcTable();

std::uint32_t littleEndian(const std::uint8_t* at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i > 0; --i) {
        value = (value << 8) | at[i - 1];
    }
    return value;
}

}  // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc = kCrcTable[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> encode(const Frame& frame) {
    PayloadWriter out;
    out.u8(kMagic[0]).u8(kMagic[1]).u8(frame.kind).u16(frame.sequence);
    out.u16(static_cast<std::uint16_t>(frame.payload.size()));
    out.bytes(frame.payload.data(), frame.payload.size());
    std::vector<std::uint8_t> bytes = out.take();
    const std::uint32_t crc = crc32(bytes.data() + 2, bytes.size() - 2);
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(crc >> shift));
    }
    return bytes;
}

PayloadWriter& PayloadWriter::u8(std::uint8_t value) {
    m_bytes.push_back(value);
    return *this;
}

PayloadWriter& PayloadWriter::u16(std::uint16_t value) {
    return u8(static_cast<std::uint8_t>(value)).u8(static_cast<std::uint8_t>(value >> 8));
}

PayloadWriter& PayloadWriter::u32(std::uint32_t value) {
    return u16(static_cast<std::uint16_t>(value)).u16(static_cast<std::uint16_t>(value >> 16));
}

PayloadWriter& PayloadWriter::bytes(const std::uint8_t* data, std::size_t size) {
    m_bytes.insert(m_bytes.end(), data, data + size);
    return *this;
}

bool PayloadReader::take(std::size_t size) {
    m_ok = m_ok && m_payload.size() - m_offset >= size;
    return m_ok;
}

std::uint8_t PayloadReader::u8() {
    return take(1) ? m_payload[m_offset++] : 0;
}

std::uint16_t PayloadReader::u16() {
    if (!take(2)) {
        return 0;
    }
    m_offset += 2;
    return static_cast<std::uint16_t>(littleEndian(m_payload.data() + m_offset - 2, 2));
}

std::uint32_t PayloadReader::u32() {
    if (!take(4)) {
        return 0;
    }
    m_offset += 4;
    return littleEndian(m_payload.data() + m_offset - 4, 4);
}

std::vector<std::uint8_t> PayloadReader::rest() {
    if (!m_ok) {
        return {};
    }
    std::vector<std::uint8_t> bytes(m_payload.begin() + static_cast<std::ptrdiff_t>(m_offset),
                                    m_payload.end());
    m_offset = m_payload.size();
    return bytes;
}

void FrameReader::feed(const std::uint8_t* data, std::size_t size) {
    m_buffer.insert(m_buffer.end(), data, data + size);
}

std::optional<Frame> FrameReader::next() {
    for (;;) {
        // Skip to the next place where a frame may start.
        const auto start = std::find(m_buffer.begin(), m_buffer.end(), kMagic[0]);
        m_buffer.erase(m_buffer.begin(), start);
        if (m_buffer.size() < kHeaderBytes) {
            return std::nullopt;
        }
        const std::size_t length = littleEndian(m_buffer.data() + 5, 2);
        if (m_buffer[1] != kMagic[1] || length > kMaxPayload) {
            m_buffer.erase(m_buffer.begin());
            continue;
        }
        const std::size_t whole = kHeaderBytes + length + kCrcBytes;
        if (m_buffer.size() < whole) {
            return std::nullopt;
        }
        const std::uint32_t crc = littleEndian(m_buffer.data() + kHeaderBytes + length, 4);
        if (crc32(m_buffer.data() + 2, kHeaderBytes - 2 + length) != crc) {
            ++m_rejected;
            m_buffer.erase(m_buffer.begin());
            continue;
        }
        Frame frame;
        frame.kind = m_buffer[2];
        frame.sequence = static_cast<std::uint16_t>(littleEndian(m_buffer.data() + 3, 2));
        frame.payload.assign(m_buffer.begin() + kHeaderBytes,
                             m_buffer.begin() + static_cast<std::ptrdiff_t>(kHeaderBytes + length));
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(whole));
        return frame;
    }
}

}  // namespace hideaway::sim::line
