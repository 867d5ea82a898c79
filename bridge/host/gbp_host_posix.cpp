// The host as a native POSIX program, which loads a native libGBP.so: the tests run it in place
// of gbp-host.exe under Wine, so that the bridge is tried where Wine cannot run. Never installed.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host_core.h"

namespace hideaway::bridge::host {

namespace {

int gAnswers = -1;

}  // namespace

std::size_t readInput(void* data, std::size_t size) {
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, data, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
}

bool writeAnswer(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = write(gAnswers, bytes, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

StartFailure loadLibrary(const std::string& library, GbpCalls& calls, std::string& text) {
    struct stat status {};
    if (stat(library.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
        text = startFailureText(StartFailure::DllMissing, library);
        return StartFailure::DllMissing;
    }
    void* module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        text = startFailureText(StartFailure::DllNotLoaded, library, dlerror());
        return StartFailure::DllNotLoaded;
    }
    const std::string missing =
        findGbpCalls(calls, [module](const char* name) { return dlsym(module, name); });
    if (!missing.empty()) {
        text = startFailureText(StartFailure::CallMissing, library, missing);
        return StartFailure::CallMissing;
    }
    char full[PATH_MAX] = {};
    text = realpath(library.c_str(), full) != nullptr ? full : library;
    return StartFailure::None;
}

void endAtOnce(int status) {
    _exit(status);
}

}  // namespace hideaway::bridge::host

int main(int argc, char** argv) {
    using namespace hideaway::bridge::host;
    // The answers need the standard output to themselves: whatever the library prints goes to
    // the standard error.
    gAnswers = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    signal(SIGPIPE, SIG_IGN);
    if (argc != 2 || gAnswers < 0) {
        std::fprintf(stderr, "usage: gbp-host-native PATH-OF-libGBP.so (started by libGBP.so)\n");
        return 2;
    }
    return runHost(argv[1]);
}
