#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "child_process.h"

namespace hideaway::bridge {

namespace {

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

std::string describe(const siginfo_t& info) {
    if (info.si_code == CLD_EXITED) {
        return "exit status " + std::to_string(info.si_status);
    }
    return "killed by signal " + std::to_string(info.si_status) + ", " + strsignal(info.si_status);
}

/// Waits until deadline for pid to end, leaving it unreaped, so that its group cannot be taken
/// by another process yet (a kill of the group may follow). False while it still runs;
/// info.si_pid 0 when it is no child.
bool waitEnded(pid_t pid, Clock::time_point deadline, siginfo_t& info) {
    for (auto pause = std::chrono::milliseconds(1);;
         pause = std::min(pause * 2, std::chrono::milliseconds(20))) {
        info = {};
        const int done = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (done == 0 && info.si_pid == pid) {
            return true;
        }
        if (done < 0 && errno != EINTR) {
            info.si_pid = 0;
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(pause);
    }
}

}  // namespace

pid_t spawnInGroup(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment,
                   const posix_spawn_file_actions_t* actions, int& error) {
    std::vector<std::string> arguments = argv;
    std::vector<std::string> variables = environment;
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    error = posix_spawnp(&pid, arguments.front().c_str(), actions, &attributes,
                         pointers(arguments).data(), pointers(variables).data());
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -1;
}

std::string reapGroup(pid_t pid, Clock::time_point deadline, bool& finished, int& status) {
    siginfo_t info{};
    finished = waitEnded(pid, deadline, info);
    if (!finished) {
        // Whatever the child started goes with it.
        kill(-pid, SIGKILL);
    }
    if (!finished && !waitEnded(pid, Clock::now() + kReapLimit, info)) {
        status = -1;
        return "killed, and still not gone " + std::to_string(kReapLimit.count()) + " s later";
    }
    status = -1;
    if (info.si_pid == 0) {
        return "ended";
    }
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return finished ? describe(info) : "killed after it did not end";
}

}  // namespace hideaway::bridge
