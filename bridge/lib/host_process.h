#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bridge_settings.h"
#include "start_failure.h"
#include "wire.h"

namespace hideaway::bridge {

/// gbp-host.exe running under Wine with the vendor's DLL loaded, reached over two pipes. Not
/// thread-safe: the library's calls hold one lock around every use.
class HostProcess {
public:
    HostProcess() = default;
    ~HostProcess() { stop(); }
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    /// Prepares the prefix and its COM links and starts hostProgram with the settings' DLL.
    /// None once the host said it has the DLL with all six calls; otherwise why not, with reason
    /// in words that name the file or the package to install, and no process is left behind.
    StartFailure start(const BridgeSettings& settings, const std::string& hostProgram,
                       std::string& reason);
    bool running() const { return m_pid > 0; }
    /// The DLL's full path as the host loaded it (a Windows path); empty before a start.
    const std::string& hostedLibrary() const { return m_hosted; }

    /// One call: sends request (and a write's bytes), waits for the answer and places a read's
    /// bytes in readBuffer, all within limitSeconds (0: no limit). False, with reason, when the
    /// host died, broke the exchange or went past the limit; the host is then gone for good.
    bool call(const Request& request, const std::uint8_t* writeBytes, std::uint8_t* readBuffer,
              int limitSeconds, std::int16_t& result, std::string& reason);

    /// Ends the host: closing its input ends it; one that does not end soon is killed, with its
    /// process group.
    void stop();

    /// The longest a start may take, from its beginning to the host's greeting: the prefix made
    /// by wineboot, the COM ports recorded and the DLL loaded.
    static constexpr std::chrono::seconds kStartLimit{180};
    /// The least time the host has for its greeting, however much of the start's the prefix took,
    /// so that a slow wineboot or `wine reg` never leaves the host none, and the blame with it.
    static constexpr std::chrono::seconds kGreetingLimit{60};

private:
    using Clock = std::chrono::steady_clock;
    /// When a wait must end, fixed as it begins; none: it may last for ever.
    using Deadline = std::optional<Clock::time_point>;
    enum class Transfer { Done, Ended, TimedOut };

    /// Starts the host under Wine in a process group of its own, on two new pipes.
    StartFailure spawn(const BridgeSettings& settings, const std::string& hostProgram,
                       const std::vector<std::string>& environment, std::string& reason);
    /// Exchanges the greetings; None once the host has the DLL, with m_hosted its path.
    StartFailure greet(const BridgeSettings& settings, const std::string& host,
                       Clock::time_point deadline, std::string& reason);
    /// Why the host ended before it answered, with what the system shows of the cause.
    StartFailure endedUnanswered(const BridgeSettings& settings, const std::string& host,
                                 std::string& reason);

    Transfer sendAll(const void* data, std::size_t size, const Deadline& deadline);
    /// got: how many bytes arrived, also when not all did.
    Transfer receiveAll(void* data, std::size_t size, const Deadline& deadline,
                        std::size_t* got = nullptr);
    /// Why the start failed when the host's first bytes were not its greeting.
    std::string notGreeted(const std::string& host, const std::string& start,
                           const Deadline& deadline);
    /// Reaps the host after the exchange broke (killing its group first when it may still run),
    /// and says how it ended.
    std::string ended(bool kill = false);
    /// What the host's call failed with, once the exchange broke or timed out.
    std::string callFailed(Transfer done, const std::string& broken, const std::string& name,
                           int limitSeconds);

    pid_t m_pid = -1;
    int m_toHost = -1;
    int m_fromHost = -1;
    std::string m_hosted;
};

}  // namespace hideaway::bridge
