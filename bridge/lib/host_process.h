#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "bridge_settings.h"
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
    /// True once the host said it has the DLL with all six calls; otherwise reason says why in
    /// words that name the file or the package to install, and no process is left behind.
    bool start(const BridgeSettings& settings, const std::string& hostProgram, std::string& reason);
    bool running() const { return m_pid > 0; }
    /// The DLL's full path as the host loaded it (a Windows path); empty before a start.
    const std::string& hostedLibrary() const { return m_hosted; }

    /// One call: sends request (and a write's bytes), waits for the answer and places a read's
    /// bytes in readBuffer. False, with reason, when the host died or broke the exchange; the
    /// host is then gone for good.
    bool call(const Request& request, const std::uint8_t* writeBytes, std::uint8_t* readBuffer,
              std::int16_t& result, std::string& reason);

    /// Ends the host: closing its input ends it; one that does not end soon is killed.
    void stop();

private:
    bool sendAll(const void* data, std::size_t size);
    bool receiveAll(void* data, std::size_t size, int timeoutMs);
    /// Reaps the host after the exchange broke, and says how it ended.
    std::string ended();

    pid_t m_pid = -1;
    int m_toHost = -1;
    int m_fromHost = -1;
    std::string m_hosted;
};

}  // namespace hideaway::bridge
