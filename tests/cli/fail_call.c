/* Preloaded into a run of the program on Linux: makes one system call on a file under a folder
 * fail with EIO, as a failing disk would, so that a test can fail each step of a backup in turn.
 * HIDEAWAY_FAIL_CALL names the call (open, read, write, fsync, rename, unlink, mkdir, rmdir),
 * HIDEAWAY_FAIL_AT which of its calls on a path under HIDEAWAY_FAIL_UNDER fails, counted
 * from 1; the calls before and after it go through. The path of the call that failed is written
 * to HIDEAWAY_FAIL_LOG, so that the test knows when the run had no such call left to fail.
 * A HIDEAWAY_FAIL_AT of "N+" fails every call from the Nth on, HIDEAWAY_FAIL_ERRNO sets the
 * error number in place of EIO, and a HIDEAWAY_FAIL_UNDER of "pipe:" means every pipe. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

static int counted;

static int under(const char* path) {
    const char* folder = getenv("HIDEAWAY_FAIL_UNDER");
    if (folder == NULL || path == NULL) {
        return 0;
    }
    const size_t length = strlen(folder);
    if (strcmp(folder, "pipe:") == 0) {
        return strncmp(path, folder, length) == 0; /* how /proc names a pipe: pipe:[inode] */
    }
    return strncmp(path, folder, length) == 0 && (path[length] == '/' || path[length] == '\0');
}

/* Whether this call of `call` on path is the one to fail; if so, it is logged and errno set. */
static int failHere(const char* call, const char* path) {
    const char* chosen = getenv("HIDEAWAY_FAIL_CALL");
    const char* at = getenv("HIDEAWAY_FAIL_AT");
    if (chosen == NULL || at == NULL || strcmp(chosen, call) != 0 || !under(path)) {
        return 0;
    }
    char* rest = NULL;
    const long first = strtol(at, &rest, 10);
    const long count = __atomic_add_fetch(&counted, 1, __ATOMIC_SEQ_CST);
    if (count != first && !(*rest == '+' && count > first)) {
        return 0;
    }
    const char* log = getenv("HIDEAWAY_FAIL_LOG");
    if (log != NULL) {
        const int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            dprintf(fd, "%s %s\n", call, path);
            close(fd);
        }
    }
    const char* number = getenv("HIDEAWAY_FAIL_ERRNO");
    errno = number != NULL ? atoi(number) : EIO;
    return 1;
}

static int failOnFile(const char* call, int fd) {
    const char* chosen = getenv("HIDEAWAY_FAIL_CALL");
    if (chosen == NULL || strcmp(chosen, call) != 0) {
        return 0; /* no need to look the file up */
    }
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t size = readlink(link, path, sizeof path - 1);
    if (size <= 0) {
        return 0;
    }
    path[size] = '\0';
    return failHere(call, path);
}

#define NEXT(name, type) ((type)dlsym(RTLD_NEXT, name))

static mode_t modeOf(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? (mode_t)va_arg(arguments, int) : 0;
}

int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return failHere("open", path) ? -1
                                  : NEXT("open", int (*)(const char*, int, ...))(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return failHere("open", path)
               ? -1
               : NEXT("open64", int (*)(const char*, int, ...))(path, flags, mode);
}

ssize_t read(int fd, void* buffer, size_t count) {
    return failOnFile("read", fd) ? -1
                                  : NEXT("read", ssize_t(*)(int, void*, size_t))(fd, buffer, count);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    return failOnFile("write", fd)
               ? -1
               : NEXT("write", ssize_t(*)(int, const void*, size_t))(fd, buffer, count);
}

int fsync(int fd) {
    return failOnFile("fsync", fd) ? -1 : NEXT("fsync", int (*)(int))(fd);
}

int rename(const char* from, const char* to) {
    return failHere("rename", under(from) ? from : to)
               ? -1
               : NEXT("rename", int (*)(const char*, const char*))(from, to);
}

int unlink(const char* path) {
    return failHere("unlink", path) ? -1 : NEXT("unlink", int (*)(const char*))(path);
}

int mkdir(const char* path, mode_t mode) {
    return failHere("mkdir", path) ? -1 : NEXT("mkdir", int (*)(const char*, mode_t))(path, mode);
}

int rmdir(const char* path) {
    return failHere("rmdir", path) ? -1 : NEXT("rmdir", int (*)(const char*))(path);
}
