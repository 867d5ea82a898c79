// The exchange with the host over its pipes: the greetings, each call with its echo, and every
// wait bounded by one deadline fixed when it begins.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host_process.h"

namespace hideaway::bridge {

namespace {

using Clock = std::chrono::steady_clock;

/// Milliseconds for one poll(): -1 for no deadline, 0 once it passed, and at most an hour, so
/// that a far deadline is reached in several waits rather than overflowing one.
int msLeft(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 3600 * 1000));
}

bool passed(const std::optional<Clock::time_point>& deadline) {
    return deadline && Clock::now() >= *deadline;
}

/// A few bytes as text a user can read, with anything unprintable escaped.
std::string shown(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n') {
            text += "\\n";
        } else if (byte < 0x20 || byte >= 0x7f || byte == '"' || byte == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text;
}

/// Keeps a write to a host that died from ending this process with SIGPIPE: the write fails
/// with EPIPE instead, and the signal it raised is taken back before it is unblocked.
class PipeSignalBlock {
public:
    PipeSignalBlock() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~PipeSignalBlock() {
        if (m_raised && !m_wasPending) {
            const timespec none{0, 0};
            while (sigtimedwait(&m_pipe, nullptr, &none) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    PipeSignalBlock(const PipeSignalBlock&) = delete;
    PipeSignalBlock& operator=(const PipeSignalBlock&) = delete;
    void raised() { m_raised = true; }

private:
    sigset_t m_pipe{};
    sigset_t m_old{};
    bool m_wasPending = false;
    bool m_raised = false;
};

}  // namespace

StartFailure HostProcess::greet(const BridgeSettings& settings, const std::string& host,
                                Clock::time_point deadline, std::string& reason) {
    // What the host had, for the words should it not answer.
    const auto given = std::chrono::ceil<std::chrono::seconds>(deadline - Clock::now());
    BridgeHello hello{{}, kProtocolVersion};
    std::memcpy(hello.magic, kBridgeMagic, sizeof kBridgeMagic);
    // The pipe takes these few bytes at once; a host that has ended shows below.
    sendAll(&hello, sizeof hello, deadline);
    char magic[sizeof kHelloMagic] = {};
    std::size_t got = 0;
    HelloHeader header{};
    Transfer done = receiveAll(magic, sizeof magic, deadline, &got);
    if (done == Transfer::Ended && got == 0) {
        return endedUnanswered(settings, host, reason);
    }
    if (got > 0 && std::memcmp(magic, kHelloMagic, got) != 0) {
        reason = notGreeted(host, std::string(magic, got), deadline);
        return StartFailure::NotGreeted;
    }
    if (done == Transfer::Done) {
        done = receiveAll(&header, sizeof header, deadline);
    }
    if (done == Transfer::Done && header.version != kProtocolVersion) {
        reason =
            startFailureText(StartFailure::ProtocolMismatch, host, std::to_string(header.version)) +
            " (" + ended(true) + ")";
        return StartFailure::ProtocolMismatch;
    }
    if (done == Transfer::Done && header.textLength > kMaxHelloText) {
        reason =
            startFailureText(StartFailure::BrokenGreeting, host,
                             std::to_string(header.textLength) + " bytes announced, more than " +
                                 std::to_string(kMaxHelloText) + " (" + ended(true) + ")");
        return StartFailure::BrokenGreeting;
    }
    std::string text(done == Transfer::Done ? header.textLength : 0, '\0');
    if (done == Transfer::Done) {
        done = receiveAll(text.data(), text.size(), deadline);
    }
    if (done == Transfer::TimedOut) {
        reason = startFailureText(StartFailure::NoGreeting, host,
                                  std::to_string(given.count()) + " s (" + ended(true) + ")");
        return StartFailure::NoGreeting;
    }
    StartFailure failure = StartFailure::BrokenGreeting;
    if (done == Transfer::Ended || !startFailureAt(header.failure, failure)) {
        reason = startFailureText(StartFailure::BrokenGreeting, host,
                                  "it ended in the middle (" + ended(true) + ")");
        return StartFailure::BrokenGreeting;
    }
    if (failure != StartFailure::None) {
        reason = text;
        stop();
        return failure;
    }
    m_hosted = text;
    return StartFailure::None;
}

std::string HostProcess::notGreeted(const std::string& host, const std::string& start,
                                    const Deadline& deadline) {
    // A few more of the bytes that came, to show what answered instead of the host.
    constexpr std::size_t kShown = 48;
    std::string seen = start;
    const Deadline soon = std::min(*deadline, Clock::now() + std::chrono::milliseconds(200));
    char more[kShown] = {};
    std::size_t got = 0;
    receiveAll(more, kShown - seen.size(), soon, &got);
    seen.append(more, got);
    return startFailureText(StartFailure::NotGreeted, host,
                            "\"" + shown(seen) + "\" (" + ended(true) + ")");
}

bool HostProcess::call(const Request& request, const std::uint8_t* writeBytes,
                       std::uint8_t* readBuffer, int limitSeconds, std::int16_t& result,
                       std::string& reason) {
    const Deadline deadline = limitSeconds > 0
                                  ? Deadline(Clock::now() + std::chrono::seconds(limitSeconds))
                                  : std::nullopt;
    const std::string name = gbpCallName(request.operation);
    Transfer done = sendAll(&request, sizeof request, deadline);
    if (done == Transfer::Done && request.operation == Operation::WriteNVMFile &&
        writeBytes != nullptr && request.length > 0) {
        done = sendAll(writeBytes, static_cast<std::size_t>(request.length), deadline);
    }
    Answer answer{};
    if (done == Transfer::Done) {
        done = receiveAll(&answer, sizeof answer, deadline);
    }
    std::string broken;
    GbpCall other{};
    if (done == Transfer::Done && answer.operation != request.operation) {
        broken = "answered " +
                 (gbpCallAt(static_cast<std::size_t>(answer.operation), other)
                      ? std::string(gbpCallName(other))
                      : "operation " + std::to_string(static_cast<unsigned>(answer.operation))) +
                 " to " + name;
    }
    if (done == Transfer::Done && broken.empty() && request.operation == Operation::ReadNVMFile &&
        readBuffer != nullptr && answer.result > 0) {
        std::int32_t count = 0;
        done = receiveAll(&count, sizeof count, deadline);
        if (done == Transfer::Done &&
            (count < 0 || count > std::max(request.length, 0) || count > answer.result)) {
            broken = "sent " + std::to_string(count) + " bytes for a " + name + " of " +
                     std::to_string(answer.result);
        } else if (done == Transfer::Done) {
            done = receiveAll(readBuffer, static_cast<std::size_t>(count), deadline);
        }
    }
    if (!broken.empty() || done != Transfer::Done) {
        reason = callFailed(done, broken, name, limitSeconds);
        return false;
    }
    result = answer.result;
    return true;
}

std::string HostProcess::callFailed(Transfer done, const std::string& broken,
                                    const std::string& name, int limitSeconds) {
    if (!broken.empty()) {
        return "the host of " + m_hosted + " " + broken + ", so the link is broken (" +
               ended(true) + ") and that call failed";
    }
    if (done == Transfer::TimedOut) {
        ended(true);
        return "the library " + m_hosted + " did not answer " + name + " in " +
               std::to_string(limitSeconds) + " s, so its host was ended";
    }
    return "the host of " + m_hosted + " ended during " + name + " (" + ended() +
           "), so that call failed";
}

HostProcess::Transfer HostProcess::sendAll(const void* data, std::size_t size,
                                           const Deadline& deadline) {
    PipeSignalBlock block;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        pollfd ready{m_toHost, POLLOUT, 0};
        const int polled = poll(&ready, 1, msLeft(deadline));
        if ((polled < 0 && errno == EINTR) || (polled == 0 && !passed(deadline))) {
            continue;
        }
        if (polled == 0) {
            return Transfer::TimedOut;
        }
        const ssize_t put = polled > 0 ? write(m_toHost, bytes, size) : -1;
        if (put < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (put <= 0) {
            if (errno == EPIPE) {
                block.raised();
            }
            return Transfer::Ended;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return Transfer::Done;
}

HostProcess::Transfer HostProcess::receiveAll(void* data, std::size_t size,
                                              const Deadline& deadline, std::size_t* got) {
    auto* bytes = static_cast<char*>(data);
    std::size_t received = 0;
    Transfer done = Transfer::Done;
    while (received < size) {
        pollfd ready{m_fromHost, POLLIN, 0};
        const int polled = poll(&ready, 1, msLeft(deadline));
        if ((polled < 0 && errno == EINTR) || (polled == 0 && !passed(deadline))) {
            continue;
        }
        if (polled == 0) {
            done = Transfer::TimedOut;
            break;
        }
        const ssize_t read =
            polled > 0 ? ::read(m_fromHost, bytes + received, size - received) : -1;
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            done = Transfer::Ended;
            break;
        }
        received += static_cast<std::size_t>(read);
    }
    if (got != nullptr) {
        *got = received;
    }
    return done;
}

}  // namespace hideaway::bridge
