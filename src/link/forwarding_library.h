#pragma once

#include <cstdint>
#include <functional>

#include "gbp_abi.h"
#include "gbp_library.h"

namespace hideaway {

/// One of the six calls, as a decorator sees it before passing it on.
struct LibraryCall {
    using Operation = GbpCall;
    Operation operation;
    std::uint8_t port = 0;       ///< InitGBPMode only
    std::uint8_t fileGroup = 0;  ///< the NVM file of the four file calls
    std::uint8_t fileNumber = 0;
    std::int32_t length = 0;  ///< the bytes written, or at most read
};

/// Passes each of the six calls on to another library through one hook, around(), so that a
/// decorator (a worker thread, a busy bar, a progress line) writes only what it adds around a
/// call, and a new call is forwarded here once for all of them.
class ForwardingLibrary : public GbpLibrary {
public:
    /// library must outlive this object.
    explicit ForwardingLibrary(GbpLibrary& library) : m_library(library) {}

    std::int16_t InitGBPMode(std::uint8_t port) final;
    std::int16_t EndGBPMode() final;
    std::int16_t ClearNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber) final;
    std::int16_t WriteNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber, std::uint8_t* buffer,
                              std::int32_t length) final;
    std::int16_t GetNVMFileSize(std::uint8_t fileGroup, std::uint8_t fileNumber) final;
    std::int16_t ReadNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber, std::uint8_t* buffer,
                             std::int32_t maxLength) final;

protected:
    /// Runs forward, which makes the call on the wrapped library and returns its result; an
    /// override does its own work around it. An exception from forward must reach the caller.
    virtual std::int16_t around(const LibraryCall& call,
                                const std::function<std::int16_t()>& forward) = 0;

    GbpLibrary& wrapped() { return m_library; }

private:
    GbpLibrary& m_library;
};

}  // namespace hideaway
