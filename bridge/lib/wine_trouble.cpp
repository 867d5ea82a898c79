#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "wine_trouble.h"

namespace hideaway::bridge {

namespace {

/// A whole 32-bit x86 Linux program that only exits with 0: one ELF header, one loadable
/// segment at 0x08048000, and `xor ebx,ebx; xor eax,eax; inc eax; int 0x80`.
constexpr unsigned char kExitOnly32[] = {
    // ELF header: 32-bit, little-endian, an executable for the 386.
    0x7f, 'E', 'L', 'F', 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
    2, 0, 3, 0, 1, 0, 0, 0,                                   // type, machine, version
    0x54, 0x80, 0x04, 0x08,                                   // entry: just past the headers
    0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                    // program headers at 52
    0x34, 0, 0x20, 0, 1, 0, 0, 0, 0, 0, 0, 0,                 // sizes, one program header
    // The program header: the whole file, readable and executable.
    1, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x80, 0x04, 0x08, 0x00, 0x80, 0x04, 0x08,  //
    91, 0, 0, 0, 91, 0, 0, 0, 5, 0, 0, 0, 0x00, 0x10, 0, 0,                  //
    0x31, 0xdb, 0x31, 0xc0, 0x40, 0xcd, 0x80};
static_assert(sizeof kExitOnly32 == 91);

/// False only when the kernel refuses a well-formed 32-bit program as no format it runs; any
/// other doubt leaves the blame elsewhere.
bool kernelRuns32BitPrograms() {
    const int program = memfd_create("hideaway-32-bit-probe", MFD_CLOEXEC);
    if (program < 0) {
        return true;
    }
    const bool written =
        write(program, kExitOnly32, sizeof kExitOnly32) == static_cast<ssize_t>(sizeof kExitOnly32);
    const std::string path = "/proc/self/fd/" + std::to_string(program);
    char name[] = "32-bit-probe";
    char* argv[] = {name, nullptr};
    char* environment[] = {nullptr};
    pid_t pid = -1;
    const int error =
        written ? posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environment) : 0;
    close(program);
    if (written && error == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return error != ENOEXEC;
}

/// Where the wine program is: as named when it holds a '/', otherwise the first on the PATH.
std::filesystem::path wineProgram(const std::string& wine) {
    if (wine.find('/') != std::string::npos) {
        return wine;
    }
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::filesystem::path candidate =
            std::filesystem::path(folders.substr(start, end - start)) / wine;
        if (end > start && access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

/// Debian's wine runs its 64-bit half alone when the 32-bit one is not installed; both halves
/// sit in lib/wine beside the bin folder of the wine program (not the target of its links).
bool lacksWine32(const std::string& wine) {
    const std::filesystem::path program = wineProgram(wine);
    if (program.empty()) {
        return false;
    }
    const std::filesystem::path halves = program.parent_path() / ".." / "lib" / "wine";
    return access((halves / "wine").c_str(), X_OK) != 0 &&
           access((halves / "wine64").c_str(), X_OK) == 0;
}

}  // namespace

StartFailure wine32Trouble(const std::string& wine) {
    if (lacksWine32(wine)) {
        return StartFailure::NoWine32;
    }
    return kernelRuns32BitPrograms() ? StartFailure::None : StartFailure::No32BitKernel;
}

StartFailure wineNotStarted(const std::string& wine, int error, std::string& text) {
    if (error == ENOENT) {
        text = startFailureText(StartFailure::NoWine, wine);
        return StartFailure::NoWine;
    }
    text = startFailureText(StartFailure::WineNotStarted, wine, std::strerror(error));
    // A wine that is itself a 32-bit program fails here on a system that runs none.
    const StartFailure trouble = error == ENOEXEC ? wine32Trouble(wine) : StartFailure::None;
    if (trouble == StartFailure::None) {
        return StartFailure::WineNotStarted;
    }
    text += "; " + startFailureText(trouble);
    return trouble;
}

}  // namespace hideaway::bridge
