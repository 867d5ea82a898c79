#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "line_protocol.h"
#include "phone.h"

namespace hideaway::phone {

/// The phone at the far end of the line: answers each request of the library with the simulated
/// phone's own calls on its folder, so the NVM files, their format and their atomic writes are the
/// folder mode's. A repeated request (the library asks again when an answer went astray) is
/// answered again and changes nothing more.
class FarEnd {
public:
    /// The answer to a request; nothing for a frame that is no request.
    std::optional<sim::line::Frame> answer(const sim::line::Frame& request);

private:
    std::int16_t answerOf(const sim::line::Frame& request, sim::line::PayloadWriter& extra);

    sim::Phone m_phone{sim::Phone::Role::FarEnd};
    // By group and number: the bytes of a write in progress, and what the last read opened.
    std::map<int, std::vector<std::uint8_t>> m_staged;
    std::map<int, std::vector<std::uint8_t>> m_opened;
};

}  // namespace hideaway::phone
