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
#include "wine_trouble.h"

extern char** environ;

namespace hideaway::bridge {

namespace {

using Clock = std::chrono::steady_clock;

/// Milliseconds left for poll(): -1 for no deadline, 0 once it passed.
int msLeft(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 24 * 3600 * 1000));
}

std::string seconds(std::chrono::seconds limit) {
    return std::to_string(limit.count()) + " s";
}

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

/// Waits up to timeoutMs for pid to end; false while it still runs. status -1: not a child.
bool waitFor(pid_t pid, int timeoutMs, int& status) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (auto pause = std::chrono::milliseconds(1);;
         pause = std::min(pause * 2, std::chrono::milliseconds(20))) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return true;
        }
        if (done < 0 && errno != EINTR) {
            status = -1;
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(pause);
    }
}

/// Waits up to timeoutMs for pid to end, then kills it; returns how it ended.
std::string reap(pid_t pid, int timeoutMs) {
    int status = 0;
    if (waitFor(pid, timeoutMs, status)) {
        return status == -1 ? "ended" : describeStatus(status);
    }
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return "killed after it did not end";
}

/// Runs wine with arguments and waits until the deadline, then kills it (finished then false);
/// output goes nowhere. The errno of a failed start, or 0.
int runQuietly(const std::string& wine, const std::vector<std::string>& arguments,
               std::vector<std::string>& environment, Clock::time_point deadline, bool& finished,
               int& status) {
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
    finished = waitFor(pid, msLeft(deadline), status);
    if (!finished) {
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return 0;
}

std::string wineNotFound(const std::string& wine, int error) {
    if (error == ENOENT) {
        return "the program '" + wine +
               "' was not found, so the phone's DLL cannot run: " + kWinePackages +
               ", or name the wine program in HIDEAWAY_WINE";
    }
    std::string reason = "'" + wine + "' could not be started: " + std::strerror(error);
    // A wine that is itself a 32-bit program fails here on a system that runs none.
    if (const std::string trouble = error == ENOEXEC ? wine32Trouble() : std::string();
        !trouble.empty()) {
        reason += "; " + trouble;
    }
    return reason;
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

/// Records the serial devices in the prefix's registry (HKLM\Software\Wine\Ports), from
/// which Wine's mount manager makes the COM links whenever Wine's server starts: it would
/// otherwise give the COM numbers to the serial devices it finds by itself. Only a change costs
/// the runs of `wine reg`; the last ports written are kept in a file of the prefix.
void registerComPorts(const BridgeSettings& settings, std::vector<std::string>& environment,
                      Clock::time_point deadline) {
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
        bool finished = true;
        if (device.empty()) {
            runQuietly(settings.wine,
                       {"reg", "delete", "HKLM\\Software\\Wine\\Ports", "/v", port, "/f"},
                       environment, deadline, finished, status);
        } else if (runQuietly(settings.wine,
                              {"reg", "add", "HKLM\\Software\\Wine\\Ports", "/v", port, "/d",
                               device, "/f"},
                              environment, deadline, finished, status) != 0 ||
                   status != 0) {
            std::fprintf(stderr, "wine bridge: cannot record %s as %s in the Wine prefix%s\n",
                         device.c_str(), port.c_str(),
                         finished ? "" : " (`wine reg` did not finish in time)");
            return;
        }
        if (!finished) {
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
    const Clock::time_point deadline = Clock::now() + kStartLimit;
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
        bool finished = true;
        if (const int error = runQuietly(settings.wine, {"wineboot", "--init"}, environment,
                                         deadline, finished, status);
            error != 0) {
            reason = wineNotFound(settings.wine, error);
            return false;
        }
        if (!finished) {
            reason = "`" + settings.wine + " wineboot --init` did not make the Wine prefix " +
                     settings.prefix + " within " + seconds(kStartLimit) + ", so it was ended";
            return false;
        }
    }
    registerComPorts(settings, environment, deadline);
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
    // Writes wait in poll() with their deadline, never in write() itself.
    fcntl(toHost[1], F_SETFL, O_NONBLOCK);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHost[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromHost[1], 1);
    // A process group of its own: a terminal's Ctrl-C is for the program, which then stops
    // after the call under way; the host, which ends with its program anyway, finishes that call.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<std::string> argv{settings.wine, hostProgram, settings.dll};
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, settings.wine.c_str(), &actions, &attributes,
                                   pointers(argv).data(), pointers(environment).data());
    posix_spawnattr_destroy(&attributes);
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

    const std::string host = "the host " + hostProgram + " under " + settings.wine;
    BridgeHello hello{{}, kProtocolVersion};
    std::memcpy(hello.magic, kBridgeMagic, sizeof kBridgeMagic);
    // The pipe takes these few bytes at once; a host that has ended shows below.
    sendAll(&hello, sizeof hello, deadline);
    char magic[sizeof kHelloMagic] = {};
    std::size_t got = 0;
    HelloHeader header{};
    Transfer done = receiveAll(magic, sizeof magic, deadline, &got);
    if (done == Transfer::Ended && got == 0) {
        reason = host + " ended before it answered (" + ended() + ")";
        if (const std::string trouble = wine32Trouble(); !trouble.empty()) {
            reason += ": " + trouble;
        }
        return false;
    }
    if (got > 0 && std::memcmp(magic, kHelloMagic, got) != 0) {
        reason = notGreeted(host, std::string(magic, got), deadline);
        return false;
    }
    if (done == Transfer::Done) {
        done = receiveAll(&header, sizeof header, deadline);
    }
    if (done == Transfer::Done && header.version != kProtocolVersion) {
        reason = host + " speaks protocol " + std::to_string(header.version) +
                 " and this libGBP.so protocol " + std::to_string(kProtocolVersion) +
                 ": both must come from one build (" + ended(true) + ")";
        return false;
    }
    if (done == Transfer::Done && header.textLength > kMaxHelloText) {
        reason = host + " announced a greeting of " + std::to_string(header.textLength) +
                 " bytes, more than " + std::to_string(kMaxHelloText) + " (" + ended(true) + ")";
        return false;
    }
    std::string text(done == Transfer::Done ? header.textLength : 0, '\0');
    if (done == Transfer::Done) {
        done = receiveAll(text.data(), text.size(), deadline);
    }
    if (done == Transfer::TimedOut) {
        reason = host + " did not answer within " + seconds(kStartLimit) + " (" + ended(true) + ")";
        return false;
    }
    if (done == Transfer::Ended) {
        reason = host + " ended in the middle of its greeting (" + ended() + ")";
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
    return host + " sent bytes that are not its greeting: \"" + shown(seen) + "\" (" + ended(true) +
           ")";
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
    if (done == Transfer::Done && answer.operation != request.operation) {
        GbpCall other{};
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
    if (!broken.empty()) {
        reason = "the host of " + m_hosted + " " + broken + ", so the link is broken (" +
                 ended(true) + ") and that call failed";
        return false;
    }
    if (done == Transfer::TimedOut) {
        ended(true);
        reason = "the library " + m_hosted + " did not answer " + name + " in " +
                 std::to_string(limitSeconds) + " s, so its host was ended";
        return false;
    }
    if (done == Transfer::Ended) {
        reason = "the host of " + m_hosted + " ended during " + name + " (" + ended() +
                 "), so that call failed";
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

std::string HostProcess::ended(bool kill) {
    if (kill && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
    }
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

HostProcess::Transfer HostProcess::sendAll(const void* data, std::size_t size,
                                           const Deadline& deadline) {
    PipeSignalBlock block;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        pollfd ready{m_toHost, POLLOUT, 0};
        const int polled = poll(&ready, 1, msLeft(deadline));
        if (polled < 0 && errno == EINTR) {
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
        if (polled < 0 && errno == EINTR) {
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
