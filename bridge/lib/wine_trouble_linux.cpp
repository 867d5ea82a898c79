#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

std::string wine32Trouble() {
    if (!kernelRuns32BitPrograms()) {
        return "this system runs no 32-bit program, and Wine runs the 32-bit host as one: the "
               "kernel's 32-bit emulation is off or missing (a Debian kernel turns it on with "
               "the boot option ia32_emulation=on)";
    }
    // Debian's wine runs its 64-bit half alone when the 32-bit one is not installed.
    if (access("/usr/lib/wine/wine", X_OK) != 0 && access("/usr/lib/wine/wine64", X_OK) == 0) {
        return std::string("Wine's 32-bit half is not installed, which the 32-bit host needs: ") +
               kWinePackages;
    }
    return {};
}

}  // namespace hideaway::bridge
