#include "far_end.h"

#include <algorithm>

namespace hideaway::phone {

namespace {

using sim::line::Kind;
using sim::line::PayloadReader;
using sim::line::PayloadWriter;
namespace result = sim::result;

// The far end answers on the port the library asked for: the library checks its own setting.
constexpr std::uint8_t kAnyPort = 1;

int keyOf(std::uint8_t group, std::uint8_t number) {
    return group * 256 + number;
}

}  // namespace

std::optional<sim::line::Frame> FarEnd::answer(const sim::line::Frame& request) {
    if ((request.kind & sim::line::kAnswerBit) != 0) {
        return std::nullopt;
    }
    PayloadWriter extra;
    const std::int16_t answered = answerOf(request, extra);
    const std::vector<std::uint8_t> tail = extra.take();
    PayloadWriter payload;
    payload.u16(static_cast<std::uint16_t>(answered)).bytes(tail.data(), tail.size());
    return sim::line::Frame{static_cast<std::uint8_t>(request.kind | sim::line::kAnswerBit),
                            request.sequence, payload.take()};
}

std::int16_t FarEnd::answerOf(const sim::line::Frame& request, PayloadWriter& extra) {
    PayloadReader in(request.payload);
    const auto kind = static_cast<Kind>(request.kind);
    if (kind == Kind::Init || kind == Kind::End) {
        if (!in.atEnd()) {
            return result::kBadArgument;
        }
        m_staged.clear();
        m_opened.clear();
        return kind == Kind::Init ? m_phone.initGbpMode(kAnyPort) : m_phone.endGbpMode();
    }
    const std::uint8_t group = in.u8();
    const std::uint8_t number = in.u8();
    const int key = keyOf(group, number);
    switch (kind) {
        case Kind::Clear:
            return in.atEnd() ? m_phone.clearNvmFile(group, number) : result::kBadArgument;
        case Kind::Size:
            return in.atEnd() ? m_phone.getNvmFileSize(group, number) : result::kBadArgument;
        case Kind::WriteChunk: {
            const std::uint32_t offset = in.u32();
            const std::vector<std::uint8_t> bytes = in.rest();
            if (!in.ok() || offset + bytes.size() > sim::line::kMaxStaged) {
                return result::kBadArgument;
            }
            std::vector<std::uint8_t>& staged = m_staged[key];
            staged.resize(std::max<std::size_t>(staged.size(), offset + bytes.size()));
            std::copy(bytes.begin(), bytes.end(), staged.begin() + offset);
            return result::kOk;  // held only: the commit stores and confirms
        }
        case Kind::WriteCommit: {
            const std::uint32_t length = in.u32();
            const std::uint32_t crc = in.u32();
            if (!in.atEnd() || length > sim::line::kMaxStaged) {
                return result::kBadArgument;
            }
            std::vector<std::uint8_t>& staged = m_staged[key];
            if (staged.size() < length || sim::line::crc32(staged.data(), length) != crc) {
                return result::kIoError;  // not every byte came whole: store nothing
            }
            return m_phone.writeNvmFile(group, number, staged.data(),
                                        static_cast<std::int32_t>(length));
        }
        case Kind::ReadOpen: {
            const std::int32_t maximum = in.i32();
            if (!in.atEnd()) {
                return result::kBadArgument;
            }
            std::vector<std::uint8_t> bytes(
                static_cast<std::size_t>(std::clamp(maximum, 0, sim::kNvmCapacity)));
            const std::int16_t count = m_phone.readNvmFile(group, number, bytes.data(),
                                                           std::min(maximum, sim::kNvmCapacity));
            bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
            extra.u32(sim::line::crc32(bytes.data(), bytes.size()));
            m_opened[key] = std::move(bytes);
            return count;
        }
        case Kind::ReadChunk: {
            const std::uint32_t offset = in.u32();
            const std::uint16_t length = in.u16();
            const auto opened = m_opened.find(key);
            if (!in.atEnd() || opened == m_opened.end() ||
                offset + std::size_t{length} > opened->second.size()) {
                return result::kBadArgument;
            }
            extra.bytes(opened->second.data() + offset, length);
            return result::kOk;
        }
        default:
            return result::kBadArgument;
    }
}

}  // namespace hideaway::phone
