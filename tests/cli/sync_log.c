/* Preloaded into a run of the program on Linux: writes each flush (fsync, fdatasync) and rename
 * the process makes to the file named by HIDEAWAY_SYNC_LOG, in the order they happen, so that a
 * test can check that a backup is on the disk before it is put in place. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static void logLine(const char* what, const char* first, const char* second) {
    const char* path = getenv("HIDEAWAY_SYNC_LOG");
    if (path == NULL) {
        return;
    }
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        dprintf(fd, "%s\t%s\t%s\n", what, first, second);
        close(fd);
    }
}

static void logFlush(int fd) {
    char link[64];
    char target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t size = readlink(link, target, sizeof target - 1);
    if (size > 0) {
        target[size] = '\0';
        logLine("flush", target, "");
    }
}

int fsync(int fd) {
    int (*next)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    const int result = next(fd);
    if (result == 0) {
        logFlush(fd);
    }
    return result;
}

int fdatasync(int fd) {
    int (*next)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    const int result = next(fd);
    if (result == 0) {
        logFlush(fd);
    }
    return result;
}

int rename(const char* from, const char* to) {
    int (*next)(const char*, const char*) =
        (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    const int result = next(from, to);
    if (result == 0) {
        logLine("rename", from, to);
    }
    return result;
}
