#pragma once

#include <QString>

#include <functional>

namespace hideaway {
class GbpLibrary;
}

namespace hideaway::cli {

struct Invocation;
class Terminal;

/// Exit statuses of the program.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

/// Runs one command (not --help or --version) through the slot operations, writing its steps and
/// errors on standard error and the results on standard output. libraryFile tells the full path
/// of the phone-link library once it is loaded. Returns kExitDone only when all that was asked
/// was done and verified, kExitFailed otherwise; an error that escapes an operation is reported
/// and gives kExitFailed.
int runCommand(const Invocation& invocation, GbpLibrary& library, Terminal& terminal,
               const std::function<QString()>& libraryFile);

}  // namespace hideaway::cli
