// A seam for the reliability tests: the linker sends the file component's system calls here
// (-Wl,--wrap=NAME, see tests/CMakeLists.txt), and while a test has armed it, the nth call
// fails as the system would report it. Disarmed, every call goes straight through.
#include "failing_calls.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>

namespace norvane::testing {

failing_calls& failing_calls::instance() {
    static failing_calls calls;
    return calls;
}

bool failing_calls::fail_now() {
    if (!armed) {
        return false;
    }
    ++made;
    return made == fail_at;
}

}  // namespace norvane::testing

using norvane::testing::failing_calls;

#define NORVANE_FAILING(ret, name, params, args, failed) \
    extern "C" ret __real_##name params;                 \
    extern "C" ret __wrap_##name params {                \
        if (failing_calls::instance().fail_now()) {      \
            errno = failing_calls::instance().error;     \
            return failed;                               \
        }                                                \
        return __real_##name args;                       \
    }

NORVANE_FAILING(int, fstat, (int fd, struct stat* st), (fd, st), -1)
NORVANE_FAILING(int, fstatat, (int d, const char* p, struct stat* st, int f), (d, p, st, f), -1)
NORVANE_FAILING(int, lstat, (const char* p, struct stat* st), (p, st), -1)
NORVANE_FAILING(int, flock, (int fd, int op), (fd, op), -1)
NORVANE_FAILING(ssize_t, pread, (int fd, void* b, size_t n, off_t o), (fd, b, n, o), -1)
NORVANE_FAILING(ssize_t, pwrite, (int fd, const void* b, size_t n, off_t o), (fd, b, n, o), -1)
NORVANE_FAILING(int, fsync, (int fd), (fd), -1)
NORVANE_FAILING(int, ftruncate, (int fd, off_t n), (fd, n), -1)
NORVANE_FAILING(int, fchmod, (int fd, mode_t m), (fd, m), -1)
NORVANE_FAILING(int, fchown, (int fd, uid_t u, gid_t g), (fd, u, g), -1)
NORVANE_FAILING(int, renameat, (int a, const char* b, int c, const char* d), (a, b, c, d), -1)
NORVANE_FAILING(int, unlinkat, (int d, const char* p, int f), (d, p, f), -1)
NORVANE_FAILING(DIR*, fdopendir, (int fd), (fd), nullptr)
NORVANE_FAILING(int, posix_fallocate, (int fd, off_t o, off_t n), (fd, o, n),
                failing_calls::instance().error)

// open and openat take a mode only with O_CREAT.
static mode_t mode_of(int flags, va_list rest) {
    return (flags & O_CREAT) != 0 ? static_cast<mode_t>(va_arg(rest, unsigned)) : 0;
}

extern "C" int __real_open(const char* path, int flags, ...);
extern "C" int __wrap_open(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = mode_of(flags, rest);
    va_end(rest);
    return failing_calls::instance().fail_now() ? (errno = failing_calls::instance().error, -1)
                                                : __real_open(path, flags, mode);
}

extern "C" int __real_openat(int dir, const char* path, int flags, ...);
extern "C" int __wrap_openat(int dir, const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = mode_of(flags, rest);
    va_end(rest);
    return failing_calls::instance().fail_now() ? (errno = failing_calls::instance().error, -1)
                                                : __real_openat(dir, path, flags, mode);
}

// A failing close still closes the descriptor, as on Linux.
extern "C" int __real_close(int fd);
extern "C" int __wrap_close(int fd) {
    const int result = __real_close(fd);
    if (failing_calls::instance().fail_now()) {
        errno = failing_calls::instance().error;
        return -1;
    }
    return result;
}
