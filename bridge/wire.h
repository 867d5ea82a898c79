#pragma once

// The bytes that pass between the native libGBP.so and gbp-host.exe over the host's standard
// input and output. Both sides run on x86, so numbers travel in its little-endian order as they
// lie in memory. Plain C++, no platform headers: the two sides are built by different compilers.
#include <cstdint>

#include "gbp_abi.h"

namespace hideaway::bridge {

using hideaway::GbpCall;

/// The version of this exchange; each half refuses a partner that speaks another, since a
/// change of any field below would otherwise pass for garbage in the middle of a transfer.
inline constexpr std::uint16_t kProtocolVersion = 3;

/// The host's first words, once: kHelloMagic, then a HelloHeader, then `textLength` bytes of
/// UTF-8 text: the DLL's full path when it loaded with all six calls, otherwise why not in words.
inline constexpr char kHelloMagic[4] = {'G', 'B', 'P', 'H'};
/// The library's first words to the host, once, before any request: kBridgeMagic and its
/// kProtocolVersion as a std::uint16_t.
inline constexpr char kBridgeMagic[4] = {'G', 'B', 'P', 'L'};

/// The most text a greeting may carry; a longer one is taken for a broken link.
inline constexpr std::uint32_t kMaxHelloText = 64 * 1024;

#pragma pack(push, 1)
struct HelloHeader {
    std::uint16_t version;  // kProtocolVersion of the host
    /// A StartFailure: None (0) when ready for requests; otherwise why not, and the host ends.
    std::uint8_t failure;
    std::uint32_t textLength;
};

struct BridgeHello {
    char magic[4];
    std::uint16_t version;
};

/// The call a request makes, numbered as in the table of the six calls.
using Operation = GbpCall;

/// One call. For InitGBPMode `first` is the port; for the NVM calls `first` and `second` are the
/// file's group and number. `length` is a write's length or a read's maximum, and `hasBuffer`
/// says whether the caller gave a buffer at all, so that the DLL sees a null one as the caller
/// passed it. A write with a buffer and a length above 0 is followed by its `length` bytes.
struct Request {
    Operation operation;
    std::uint8_t first;
    std::uint8_t second;
    std::uint8_t hasBuffer;
    std::int32_t length;
};

/// The call's result, after the operation it answers: one stray byte on the host's output then
/// shows as a mismatch at once instead of shifting every later answer. A read with a buffer and
/// a result above 0 is followed by the count of bytes the DLL placed (the result, at most the
/// maximum) as a std::int32_t, then those bytes.
struct Answer {
    Operation operation;
    std::int16_t result;
};
#pragma pack(pop)

static_assert(sizeof(HelloHeader) == 7 && sizeof(BridgeHello) == 6 && sizeof(Request) == 8 &&
              sizeof(Answer) == 3);

/// The most bytes one write or read carries; far above any NVM file, and it keeps a bad length
/// from making either side allocate without bound.
inline constexpr std::int32_t kMaxTransfer = 16 * 1024 * 1024;

}  // namespace hideaway::bridge
