#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace hideaway::bridge {

using Clock = std::chrono::steady_clock;

/// The longest wait for a killed process to be gone: one stuck in the kernel is left behind
/// rather than the program with it.
inline constexpr std::chrono::seconds kReapLimit{5};

/// Starts argv's program, looked up on the PATH, with environment and the file actions given, in
/// a process group of its own: a terminal's Ctrl-C is for the program, which then stops after
/// the call under way, and a kill reaches whatever the child started. The pid, or -1 with error
/// the errno.
pid_t spawnInGroup(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment,
                   const posix_spawn_file_actions_t* actions, int& error);

/// Waits until deadline for the child pid (a group's leader) to end, and kills its whole group
/// when it does not; reaps it, within kReapLimit after a kill. How it ended, as "exit status 1" or
/// "killed by signal 9, Killed"; finished false when the deadline ended the wait. status is the
/// wait status, or -1.
std::string reapGroup(pid_t pid, Clock::time_point deadline, bool& finished, int& status);

}  // namespace hideaway::bridge
