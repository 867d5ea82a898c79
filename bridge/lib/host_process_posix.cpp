#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "host_process.h"

extern char** environ;

namespace hideaway::bridge {

namespace {

/// Wine needs its 32-bit half for a 32-bit program; Debian splits it into these packages.
const char* const kPackages =
    "install Debian's packages wine and wine32:i386 (first `dpkg --add-architecture i386`)";
constexpr int kHelloTimeoutMs = 120000;

/// The environment for Wine: the prefix, and quiet unless the user asked for Wine's messages. A
/// new prefix is made without offering to install Mono or Gecko, which no phone DLL needs.
std::vector<std::string> wineEnvironment(const std::string& prefix) {
    std::vector<std::string> result;
    bool debugSet = false;
    bool overridesSet = false;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (variable.starts_with("WINEPREFIX=")) {
            continue;
        }
        debugSet = debugSet || variable.starts_with("WINEDEBUG=");
        overridesSet = overridesSet || variable.starts_with("WINEDLLOVERRIDES=");
        result.push_back(variable);
    }
    result.push_back("WINEPREFIX=" + prefix);
    if (!debugSet) {
        result.push_back("WINEDEBUG=-all");
    }
    if (!overridesSet) {
        result.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    }
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

std::string describeStatus(int status) {
    if (WIFEXITED(status)) {
        return "exit status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status)) + ", " +
               strsignal(WTERMSIG(status));
    }
    return "status " + std::to_string(status);
}

/// Waits up to timeoutMs for pid to end, then kills it; returns how it ended.
std::string reap(pid_t pid, int timeoutMs) {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return describeStatus(status);
        }
        if (done < 0 && errno != EINTR) {
            return "ended";
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return "killed after it did not end";
}

/// Runs wine with arguments and waits; output goes nowhere. The errno of a failed start, or 0.
int runQuietly(const std::string& wine, const std::vector<std::string>& arguments,
               std::vector<std::string>& environment, int& status) {
    std::vector<std::string> argv{wine};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, wine.c_str(), &actions, nullptr, pointers(argv).data(),
                                   pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return error;
    }
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return 0;
}

std::string wineNotFound(const std::string& wine, int error) {
    if (error == ENOENT) {
        return "the program '" + wine +
               "' was not found, so the phone's DLL cannot run: " + kPackages +
               ", or name the wine program in HIDEAWAY_WINE";
    }
    return "'" + wine + "' could not be started: " + std::strerror(error);
}

/// Records the serial devices in the prefix's registry (HKLM\Software\Wine\Ports), from
/// which Wine's mount manager makes the COM links whenever Wine's server starts: it would
/// otherwise give the COM numbers to the serial devices it finds by itself. Only a change costs
/// the runs of `wine reg`; the last ports written are kept in a file of the prefix.
void registerComPorts(const BridgeSettings& settings, std::vector<std::string>& environment) {
    std::string wanted;
    for (std::size_t i = 0; i < settings.com.size(); ++i) {
        wanted += "COM" + std::to_string(i + 1) + "=" + settings.com.at(i) + "\n";
    }
    const std::filesystem::path stamp =
        std::filesystem::path(settings.prefix) / "hideaway-com-ports";
    std::ifstream written(stamp);
    std::ostringstream text;
    text << written.rdbuf();
    const bool noPorts = std::all_of(settings.com.begin(), settings.com.end(),
                                     [](const std::string& device) { return device.empty(); });
    // A prefix where no port was ever recorded has none to remove.
    if (text.str() == wanted || (noPorts && !written.is_open())) {
        return;
    }
    for (std::size_t i = 0; i < settings.com.size(); ++i) {
        const std::string port = "COM" + std::to_string(i + 1);
        const std::string& device = settings.com.at(i);
        int status = 0;
        if (device.empty()) {
            runQuietly(settings.wine,
                       {"reg", "delete", "HKLM\\Software\\Wine\\Ports", "/v", port, "/f"},
                       environment, status);
        } else if (runQuietly(settings.wine,
                              {"reg", "add", "HKLM\\Software\\Wine\\Ports", "/v", port, "/d",
                               device, "/f"},
                              environment, status) != 0 ||
                   status != 0) {
            std::fprintf(stderr, "wine bridge: cannot record %s as %s in the Wine prefix\n",
                         device.c_str(), port.c_str());
            return;
        }
    }
    std::ofstream(stamp) << wanted;
}

/// Points the prefix's COM1 to COM5 at the serial devices named, for a Wine server that is
/// already running; a device the user may not open is said at once, since the DLL would only
/// report that it found no phone.
void linkComPorts(const BridgeSettings& settings) {
    const std::filesystem::path devices = std::filesystem::path(settings.prefix) / "dosdevices";
    std::error_code ignored;
    std::filesystem::create_directories(devices, ignored);
    for (std::size_t i = 0; i < settings.com.size(); ++i) {
        const std::string& device = settings.com.at(i);
        if (device.empty()) {
            continue;
        }
        const std::string port = "COM" + std::to_string(i + 1);
        if (access(device.c_str(), R_OK | W_OK) != 0) {
            const int error = errno;
            if (error == EACCES || error == EPERM) {
                std::fprintf(stderr,
                             "wine bridge: %s is %s, which you may not open (%s): add yourself "
                             "to the group dialout (`sudo adduser $USER dialout`) and log in "
                             "again\n",
                             port.c_str(), device.c_str(), std::strerror(error));
            } else {
                std::fprintf(stderr, "wine bridge: %s is %s, which cannot be opened: %s\n",
                             port.c_str(), device.c_str(), std::strerror(error));
            }
        }
        const std::filesystem::path link = devices / ("com" + std::to_string(i + 1));
        std::filesystem::remove(link, ignored);
        std::filesystem::create_symlink(device, link, ignored);
        if (ignored) {
            std::fprintf(stderr, "wine bridge: cannot link %s to %s: %s\n", link.c_str(),
                         device.c_str(), ignored.message().c_str());
        }
    }
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

bool HostProcess::start(const BridgeSettings& settings, const std::string& hostProgram,
                        std::string& reason) {
    stop();
    m_hosted.clear();
    if (settings.dll.empty()) {
        reason = "no GBP.dll named: put the line `dll = /path/to/GBP.dll` into " +
                 (settings.file.empty() ? std::string("wine-bridge.conf") : settings.file) +
                 ", or set HIDEAWAY_GBP_DLL";
        return false;
    }
    if (access(hostProgram.c_str(), R_OK) != 0) {
        reason = hostProgram + " is missing; it belongs beside the bridge's libGBP.so";
        return false;
    }
    std::vector<std::string> environment = wineEnvironment(settings.prefix);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(settings.prefix).parent_path(),
                                        ignored);
    // A new prefix is made before the host starts, so Wine's words about it go nowhere.
    if (access((settings.prefix + "/system.reg").c_str(), F_OK) != 0) {
        int status = 0;
        if (const int error =
                runQuietly(settings.wine, {"wineboot", "--init"}, environment, status);
            error != 0) {
            reason = wineNotFound(settings.wine, error);
            return false;
        }
    }
    registerComPorts(settings, environment);
    linkComPorts(settings);

    int toHost[2] = {-1, -1};
    int fromHost[2] = {-1, -1};
    if (pipe2(toHost, O_CLOEXEC) != 0 || pipe2(fromHost, O_CLOEXEC) != 0) {
        reason = std::string("no pipe for the host: ") + std::strerror(errno);
        for (int fd : {toHost[0], toHost[1], fromHost[0], fromHost[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHost[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromHost[1], 1);
    std::vector<std::string> argv{settings.wine, hostProgram, settings.dll};
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, settings.wine.c_str(), &actions, nullptr,
                                   pointers(argv).data(), pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    close(toHost[0]);
    close(fromHost[1]);
    if (error != 0) {
        close(toHost[1]);
        close(fromHost[0]);
        reason = wineNotFound(settings.wine, error);
        return false;
    }
    m_pid = pid;
    m_toHost = toHost[1];
    m_fromHost = fromHost[0];

    char magic[sizeof kHelloMagic] = {};
    HelloHeader header{};
    if (!receiveAll(magic, sizeof magic, kHelloTimeoutMs) ||
        std::memcmp(magic, kHelloMagic, sizeof magic) != 0 ||
        !receiveAll(&header, sizeof header, kHelloTimeoutMs) || header.textLength > 64 * 1024) {
        reason = "the host " + hostProgram + " did not start under " + settings.wine + " (" +
                 ended() +
                 "); it is a 32-bit Windows program, so Wine's 32-bit half is needed: " + kPackages;
        return false;
    }
    std::string text(header.textLength, '\0');
    if (!receiveAll(text.data(), text.size(), kHelloTimeoutMs)) {
        reason = "the host ended while it named the DLL (" + ended() + ")";
        return false;
    }
    if (header.loaded == 0) {
        reason = text;
        stop();
        return false;
    }
    m_hosted = text;
    return true;
}

bool HostProcess::call(const Request& request, const std::uint8_t* writeBytes,
                       std::uint8_t* readBuffer, std::int16_t& result, std::string& reason) {
    const bool sent =
        sendAll(&request, sizeof request) &&
        (request.operation != Operation::WriteNVMFile || writeBytes == nullptr ||
         request.length <= 0 || sendAll(writeBytes, static_cast<std::size_t>(request.length)));
    Answer answer{};
    bool answered = sent && receiveAll(&answer, sizeof answer, -1);
    if (answered && request.operation == Operation::ReadNVMFile && readBuffer != nullptr &&
        answer.result > 0) {
        std::int32_t count = 0;
        answered = receiveAll(&count, sizeof count, -1) && count >= 0 &&
                   count <= std::max(request.length, 0) && receiveAll(readBuffer, count, -1);
    }
    if (!answered) {
        reason = "the host of " + m_hosted + " ended during " + gbpCallName(request.operation) +
                 " (" + ended() + "), so that call failed";
        return false;
    }
    result = answer.result;
    return true;
}

void HostProcess::stop() {
    if (m_toHost >= 0) {
        close(m_toHost);
        m_toHost = -1;
    }
    if (m_pid > 0) {
        reap(m_pid, 2000);
        m_pid = -1;
    }
    if (m_fromHost >= 0) {
        close(m_fromHost);
        m_fromHost = -1;
    }
}

std::string HostProcess::ended() {
    for (int* fd : {&m_toHost, &m_fromHost}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    const std::string how = m_pid > 0 ? reap(m_pid, 1000) : "ended";
    m_pid = -1;
    return how;
}

bool HostProcess::sendAll(const void* data, std::size_t size) {
    PipeSignalBlock block;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = write(m_toHost, bytes, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (errno == EPIPE) {
                block.raised();
            }
            return false;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool HostProcess::receiveAll(void* data, std::size_t size, int timeoutMs) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        pollfd ready{m_fromHost, POLLIN, 0};
        const int polled = poll(&ready, 1, timeoutMs);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            return false;
        }
        const ssize_t got = read(m_fromHost, bytes, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace hideaway::bridge
