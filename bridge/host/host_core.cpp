#include "host_core.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "wire.h"

namespace hideaway::bridge::host {

namespace {

/// A request as the watch thread received it, with a write's bytes.
struct Pending {
    Request request{};
    std::vector<std::uint8_t> bytes;
};

/// What the watch thread hands to the thread that calls the DLL.
struct Inbox {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Pending> requests;
    /// True while the DLL is loading or inside a call: an end of input then cannot wait.
    bool inCall = true;
    /// Set by the watch thread once it runs: on Windows a new thread takes the loader's lock
    /// before it runs, which a DllMain that blocks would hold for ever.
    bool watching = false;
    bool ended = false;
    int endStatus = 0;

    void push(Pending pending) {
        const std::lock_guard lock(mutex);
        requests.push_back(std::move(pending));
        changed.notify_one();
    }

    /// The library's program is gone or broke the exchange: between calls the loop ends as
    /// usual; inside one, which may never return, the process ends here.
    void inputEnded(int status) {
        const std::lock_guard lock(mutex);
        if (inCall) {
            std::fflush(stderr);
            endAtOnce(status);
        }
        ended = true;
        endStatus = status;
        changed.notify_one();
    }
};

bool readExactly(void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const std::size_t got = readInput(bytes, size);
        if (got == 0) {
            return false;
        }
        bytes += got;
        size -= got;
    }
    return true;
}

/// The watch thread: owns the host's input, checks the library's greeting and receives every
/// request. It never calls the DLL, so it sees the input end however long a call takes.
void watchInput(Inbox& inbox) {
    {
        const std::lock_guard lock(inbox.mutex);
        inbox.watching = true;
        inbox.changed.notify_all();
    }
    BridgeHello hello{};
    if (!readExactly(&hello, sizeof hello)) {
        inbox.inputEnded(0);
        return;
    }
    if (std::memcmp(hello.magic, kBridgeMagic, sizeof kBridgeMagic) != 0 ||
        hello.version != kProtocolVersion) {
        std::fprintf(stderr,
                     "gbp-host: the library speaks another protocol than this host's %u: both "
                     "must come from one build\n",
                     static_cast<unsigned>(kProtocolVersion));
        inbox.inputEnded(4);
        return;
    }
    for (;;) {
        Pending pending;
        const std::size_t got = readInput(&pending.request, sizeof pending.request);
        if (got == 0) {
            inbox.inputEnded(0);  // the library is done with us
            return;
        }
        GbpCall known{};
        if (!readExactly(reinterpret_cast<char*>(&pending.request) + got,
                         sizeof pending.request - got) ||
            !gbpCallAt(static_cast<std::size_t>(pending.request.operation), known)) {
            std::fprintf(stderr, "gbp-host: a request that is none of the six calls\n");
            inbox.inputEnded(1);
            return;
        }
        const Request& request = pending.request;
        if (request.operation == Operation::WriteNVMFile && request.hasBuffer != 0 &&
            request.length > 0) {
            // Never more than the library may send, whatever the length says.
            pending.bytes.resize(static_cast<std::size_t>(std::min(request.length, kMaxTransfer)));
            if (!readExactly(pending.bytes.data(), pending.bytes.size())) {
                inbox.inputEnded(1);
                return;
            }
        }
        inbox.push(std::move(pending));
    }
}

bool greet(StartFailure failure, const std::string& text) {
    const HelloHeader header{
        kProtocolVersion, static_cast<std::uint8_t>(failure),
        static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), kMaxHelloText))};
    return writeAnswer(kHelloMagic, sizeof kHelloMagic) && writeAnswer(&header, sizeof header) &&
           writeAnswer(text.data(), header.textLength);
}

/// The length the DLL sees: as the library asked, but never more than the room its buffer has,
/// so a wrong length can make a call fail but never reach past the buffer's end.
std::int32_t withinRoom(std::int32_t length, std::size_t room) {
    return length <= 0 ? length
                       : static_cast<std::int32_t>(
                             std::min<std::size_t>(static_cast<std::size_t>(length), room));
}

std::int16_t call(const GbpCalls& calls, Pending& pending, std::vector<std::uint8_t>& buffer) {
    const Request& request = pending.request;
    const bool hasBuffer = request.hasBuffer != 0;
    switch (request.operation) {
        case Operation::InitGBPMode:
            return calls.InitGBPMode(request.first);
        case Operation::EndGBPMode:
            return calls.EndGBPMode();
        case Operation::ClearNVMFile:
            return calls.ClearNVMFile(request.first, request.second);
        case Operation::WriteNVMFile: {
            const std::size_t room = pending.bytes.size();
            pending.bytes.push_back(0);  // never empty, so a buffer that was given is never null
            return calls.WriteNVMFile(
                request.first, request.second, hasBuffer ? pending.bytes.data() : nullptr,
                hasBuffer ? withinRoom(request.length, room) : request.length);
        }
        case Operation::GetNVMFileSize:
            return calls.GetNVMFileSize(request.first, request.second);
        case Operation::ReadNVMFile: {
            const std::size_t room =
                hasBuffer ? static_cast<std::size_t>(std::clamp(request.length, 0, kMaxTransfer))
                          : 0;
            buffer.assign(room + 1, 0);
            return calls.ReadNVMFile(request.first, request.second,
                                     hasBuffer ? buffer.data() : nullptr,
                                     hasBuffer ? withinRoom(request.length, room) : request.length);
        }
    }
    return -1;
}

int serve(Inbox& inbox, const GbpCalls& calls) {
    std::vector<std::uint8_t> buffer;
    for (;;) {
        Pending pending;
        {
            std::unique_lock lock(inbox.mutex);
            inbox.inCall = false;
            inbox.changed.wait(lock, [&] { return !inbox.requests.empty() || inbox.ended; });
            if (inbox.requests.empty()) {
                return inbox.endStatus;
            }
            pending = std::move(inbox.requests.front());
            inbox.requests.pop_front();
            inbox.inCall = true;
        }
        const Request& request = pending.request;
        const Answer answer{request.operation, call(calls, pending, buffer)};
        if (!writeAnswer(&answer, sizeof answer)) {
            return 1;
        }
        if (request.operation == Operation::ReadNVMFile && request.hasBuffer != 0 &&
            answer.result > 0) {
            const std::int32_t count =
                std::min<std::int32_t>(answer.result, static_cast<std::int32_t>(buffer.size() - 1));
            if (!writeAnswer(&count, sizeof count) ||
                !writeAnswer(buffer.data(), static_cast<std::size_t>(count))) {
                return 1;
            }
        }
    }
}

}  // namespace

int runHost(const std::string& library) {
    // Lives as long as the process: the watch thread may still wait on the input when the
    // serving thread ends it.
    auto* inbox = new Inbox;
    std::thread(watchInput, std::ref(*inbox)).detach();
    {
        std::unique_lock lock(inbox->mutex);
        inbox->changed.wait(lock, [inbox] { return inbox->watching; });
    }
    GbpCalls calls{};
    std::string text;
    const StartFailure failure = loadLibrary(library, calls, text);
    if (!greet(failure, text) || failure != StartFailure::None) {
        return 1;
    }
    return serve(*inbox, calls);
}

}  // namespace hideaway::bridge::host
