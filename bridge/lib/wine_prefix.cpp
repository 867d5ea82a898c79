#include "wine_prefix.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host_process.h"
#include "wine_trouble.h"

extern char** environ;

namespace hideaway::bridge {

namespace {

/// How one of Wine's commands went.
struct Outcome {
    StartFailure failure = StartFailure::None;
    /// Why wine did not start; otherwise the command and how it ended.
    std::string text;
    std::string command;
    std::string how;
    /// Whether it exited with 0; false also when it was killed or ran past the deadline.
    bool succeeded = false;
    /// Whether it ended by itself (with any status) before the deadline, and its status then.
    bool exited = false;
    int exitStatus = -1;
};

std::string shownCommand(const std::vector<std::string>& argv) {
    std::string shown;
    for (const std::string& argument : argv) {
        shown += (shown.empty() ? "" : " ") + argument;
    }
    return shown;
}

/// Runs wine with arguments until the deadline, its output going nowhere.
Outcome runWine(const std::string& wine, const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment, Clock::time_point deadline) {
    std::vector<std::string> argv{wine};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int error = 0;
    const pid_t pid = spawnInGroup(argv, environment, &actions, error);
    posix_spawn_file_actions_destroy(&actions);
    Outcome outcome;
    if (pid < 0) {
        outcome.failure = wineNotStarted(wine, error, outcome.text);
        return outcome;
    }
    bool finished = false;
    int status = -1;
    const std::string how = reapGroup(pid, deadline, finished, status);
    outcome.exited = finished && status != -1 && WIFEXITED(status);
    outcome.exitStatus = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.succeeded = outcome.exitStatus == 0;
    if (!outcome.succeeded) {
        const std::string seconds = std::to_string(HostProcess::kStartLimit.count());
        outcome.failure = StartFailure::PrefixNotPrepared;
        outcome.command = shownCommand(argv);
        outcome.how = finished ? how : "not done within the start's " + seconds + " s, so " + how;
    }
    return outcome;
}

/// The words for a command of Wine's that failed in the prefix.
StartFailure prefixFailed(const Outcome& outcome, const std::string& wine,
                          const std::string& prefix, std::string& text) {
    if (outcome.failure != StartFailure::PrefixNotPrepared) {
        text = outcome.text;
        return outcome.failure;
    }
    text = startFailureText(StartFailure::PrefixNotPrepared, outcome.command,
                            prefix + " (" + outcome.how + ")");
    // 126: Debian's wine script found Wine's loader but could not run it, as where the system
    // runs no 32-bit program.
    const StartFailure trouble =
        outcome.exitStatus == 126 ? wine32Trouble(wine) : StartFailure::None;
    if (trouble == StartFailure::None) {
        return StartFailure::PrefixNotPrepared;
    }
    text += ": " + startFailureText(trouble);
    return trouble;
}

std::string readWhole(const std::filesystem::path& file, bool& exists) {
    std::ifstream in(file);
    exists = in.is_open();
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Records the serial devices in the prefix's registry (HKLM\Software\Wine\Ports), from which
/// Wine's mount manager makes the COM links whenever Wine's server starts: it would otherwise
/// give the COM numbers to the serial devices it finds by itself. Only a change costs the runs
/// of `wine reg`; the last ports written are kept in a file of the prefix.
StartFailure registerComPorts(const BridgeSettings& settings,
                              const std::vector<std::string>& environment,
                              Clock::time_point deadline, std::string& text) {
    std::string wanted;
    for (std::size_t i = 0; i < settings.com.size(); ++i) {
        wanted += "COM" + std::to_string(i + 1) + "=" + settings.com.at(i) + "\n";
    }
    const std::filesystem::path stamp =
        std::filesystem::path(settings.prefix) / "hideaway-com-ports";
    bool recorded = false;
    const std::string written = readWhole(stamp, recorded);
    const bool noPorts = std::all_of(settings.com.begin(), settings.com.end(),
                                     [](const std::string& device) { return device.empty(); });
    // A prefix where no port was ever recorded has none to remove.
    if (written == wanted || (noPorts && !recorded)) {
        return StartFailure::None;
    }
    for (std::size_t i = 0; i < settings.com.size(); ++i) {
        const std::string port = "COM" + std::to_string(i + 1);
        const std::string& device = settings.com.at(i);
        std::vector<std::string> arguments{"reg", device.empty() ? "delete" : "add",
                                           "HKLM\\Software\\Wine\\Ports", "/v", port};
        if (!device.empty()) {
            arguments.insert(arguments.end(), {"/d", device});
        }
        arguments.push_back("/f");
        const Outcome outcome = runWine(settings.wine, arguments, environment, deadline);
        // Removing a port that was never there fails, and leaves what was wanted.
        if (!outcome.succeeded && !(device.empty() && outcome.exited)) {
            return prefixFailed(outcome, settings.wine, settings.prefix, text);
        }
    }
    std::ofstream(stamp) << wanted;
    return StartFailure::None;
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

}  // namespace

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

StartFailure prepareWinePrefix(const BridgeSettings& settings,
                               const std::vector<std::string>& environment,
                               Clock::time_point deadline, std::string& text) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(settings.prefix).parent_path(),
                                        ignored);
    // A new prefix is made before the host starts, so Wine's words about it go nowhere.
    if (access((settings.prefix + "/system.reg").c_str(), F_OK) != 0) {
        const Outcome made = runWine(settings.wine, {"wineboot", "--init"}, environment, deadline);
        if (!made.succeeded) {
            return prefixFailed(made, settings.wine, settings.prefix, text);
        }
    }
    const StartFailure ports = registerComPorts(settings, environment, deadline, text);
    if (ports == StartFailure::None) {
        linkComPorts(settings);
    }
    return ports;
}

}  // namespace hideaway::bridge
