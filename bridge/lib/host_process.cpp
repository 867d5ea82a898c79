#include "host_process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "child_process.h"
#include "wine_prefix.h"
#include "wine_trouble.h"

namespace hideaway::bridge {

StartFailure HostProcess::start(const BridgeSettings& settings, const std::string& hostProgram,
                                std::string& reason) {
    stop();
    m_hosted.clear();
    const Clock::time_point deadline = Clock::now() + kStartLimit;
    if (settings.dll.empty()) {
        reason = startFailureText(StartFailure::NoDllNamed, settings.file.empty()
                                                                ? std::string("wine-bridge.conf")
                                                                : settings.file);
        return StartFailure::NoDllNamed;
    }
    if (access(hostProgram.c_str(), R_OK) != 0) {
        reason = startFailureText(StartFailure::HostMissing, hostProgram);
        return StartFailure::HostMissing;
    }
    const std::vector<std::string> environment = wineEnvironment(settings.prefix);
    StartFailure failure = prepareWinePrefix(settings, environment, deadline, reason);
    if (failure == StartFailure::None) {
        failure = spawn(settings, hostProgram, environment, reason);
    }
    if (failure == StartFailure::None) {
        failure = greet(settings, "the host " + hostProgram + " under " + settings.wine,
                        std::max(deadline, Clock::now() + kGreetingLimit), reason);
    }
    return failure;
}

StartFailure HostProcess::spawn(const BridgeSettings& settings, const std::string& hostProgram,
                                const std::vector<std::string>& environment, std::string& reason) {
    int toHost[2] = {-1, -1};
    int fromHost[2] = {-1, -1};
    if (pipe2(toHost, O_CLOEXEC) != 0 || pipe2(fromHost, O_CLOEXEC) != 0) {
        reason = startFailureText(StartFailure::NoPipe, {}, std::strerror(errno));
        for (int fd : {toHost[0], toHost[1], fromHost[0], fromHost[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        return StartFailure::NoPipe;
    }
    // Writes wait in poll() with their deadline, never in write() itself.
    fcntl(toHost[1], F_SETFL, O_NONBLOCK);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHost[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromHost[1], 1);
    // The host finishes the call under way when the terminal's Ctrl-C stops the program, and
    // ends with its program anyway.
    int error = 0;
    const pid_t pid =
        spawnInGroup({settings.wine, hostProgram, settings.dll}, environment, &actions, error);
    posix_spawn_file_actions_destroy(&actions);
    close(toHost[0]);
    close(fromHost[1]);
    if (pid < 0) {
        close(toHost[1]);
        close(fromHost[0]);
        return wineNotStarted(settings.wine, error, reason);
    }
    m_pid = pid;
    m_toHost = toHost[1];
    m_fromHost = fromHost[0];
    return StartFailure::None;
}

StartFailure HostProcess::endedUnanswered(const BridgeSettings& settings, const std::string& host,
                                          std::string& reason) {
    reason = startFailureText(StartFailure::HostEnded, host, ended());
    const StartFailure trouble = wine32Trouble(settings.wine);
    if (trouble == StartFailure::None) {
        return StartFailure::HostEnded;
    }
    reason += ": " + startFailureText(trouble);
    return trouble;
}

void HostProcess::stop() {
    if (m_toHost >= 0) {
        close(m_toHost);
        m_toHost = -1;
    }
    if (m_pid > 0) {
        bool finished = false;
        int status = 0;
        reapGroup(m_pid, Clock::now() + std::chrono::seconds(2), finished, status);
        m_pid = -1;
    }
    if (m_fromHost >= 0) {
        close(m_fromHost);
        m_fromHost = -1;
    }
}

std::string HostProcess::ended(bool kill) {
    if (kill && m_pid > 0) {
        ::kill(-m_pid, SIGKILL);
    }
    for (int* fd : {&m_toHost, &m_fromHost}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    if (m_pid <= 0) {
        return "ended";
    }
    bool finished = false;
    int status = 0;
    const std::string how =
        reapGroup(m_pid, Clock::now() + std::chrono::seconds(1), finished, status);
    m_pid = -1;
    return how;
}

}  // namespace hideaway::bridge
