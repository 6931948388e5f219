// A slow disk for one folder, for the gateway benchmark only (LD_PRELOAD=liborlex_slow_disk.so):
// every write and every flush to a file opened under ORLEX_SLOW_DIR takes ORLEX_SLOW_MS
// milliseconds (default 200) longer. The program under test is unchanged: only the C library calls
// it makes are delayed. Files are known by the path they were opened with (absolute, or relative
// to the working folder) and followed through dup, dup2 and dup3; at exit the number of delayed
// calls is reported on standard error.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int kMostDescriptors = 1 << 16;
std::atomic<bool> slow_descriptor[kMostDescriptors];
std::atomic<long> delayed_calls{0};

template <class Function>
Function next(const char *name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

const char *slow_folder() {
    static const char *folder = std::getenv("ORLEX_SLOW_DIR");
    return folder && *folder ? folder : nullptr;
}

bool under_slow_folder(const char *path) {
    const char *folder = slow_folder();
    if (!folder || !path)
        return false;
    char absolute[4096];
    if (path[0] != '/') {
        if (!getcwd(absolute, sizeof(absolute)))
            return false;
        std::strncat(absolute, "/", sizeof(absolute) - std::strlen(absolute) - 1);
        std::strncat(absolute, path, sizeof(absolute) - std::strlen(absolute) - 1);
        path = absolute;
    }
    const size_t length = std::strlen(folder);
    return std::strncmp(path, folder, length) == 0 && (path[length] == '/' || path[length] == '\0');
}

int opened(int fd, const char *path) {
    if (fd >= 0 && fd < kMostDescriptors)
        slow_descriptor[fd] = under_slow_folder(path);
    return fd;
}

void maybe_wait(int fd) {
    if (fd < 0 || fd >= kMostDescriptors || !slow_descriptor[fd])
        return;
    static const long milliseconds = std::getenv("ORLEX_SLOW_MS") ? std::atol(std::getenv("ORLEX_SLOW_MS")) : 200;
    timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1000000};
    while (nanosleep(&wait, &wait) != 0) {
    }
    ++delayed_calls;
}

mode_t mode_argument(int flags, va_list arguments) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

// Reported on a copy of the standard error taken at load: a program may close its own before it ends.
struct Report {
    int fd = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    ~Report() {
        if (!slow_folder() || fd < 0)
            return;
        char line[4200];
        const int length = std::snprintf(line, sizeof(line), "slow disk: %ld calls delayed under %s\n",
                                         delayed_calls.load(), slow_folder());
        if (length > 0 && ::write(fd, line, std::min(sizeof(line) - 1, static_cast<size_t>(length))) < 0)
            return;
    }
} report;

}  // namespace

extern "C" {

int open(const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    static auto real = next<int (*)(const char *, int, ...)>("open");
    return opened(real(path, flags, mode), path);
}

int open64(const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    static auto real = next<int (*)(const char *, int, ...)>("open64");
    return opened(real(path, flags, mode), path);
}

// Only paths from the working folder or absolute ones: the gateway opens its files by full name.
int openat(int folder, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    static auto real = next<int (*)(int, const char *, int, ...)>("openat");
    const int fd = real(folder, path, flags, mode);
    return folder == AT_FDCWD || path[0] == '/' ? opened(fd, path) : fd;
}

int openat64(int folder, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    static auto real = next<int (*)(int, const char *, int, ...)>("openat64");
    const int fd = real(folder, path, flags, mode);
    return folder == AT_FDCWD || path[0] == '/' ? opened(fd, path) : fd;
}

int creat(const char *path, mode_t mode) {
    static auto real = next<int (*)(const char *, mode_t)>("creat");
    return opened(real(path, mode), path);
}

namespace {
int copied(int from, int to) {
    if (to >= 0 && to < kMostDescriptors)
        slow_descriptor[to] = from >= 0 && from < kMostDescriptors && slow_descriptor[from].load();
    return to;
}
}  // namespace

int dup(int fd) {
    static auto real = next<int (*)(int)>("dup");
    return copied(fd, real(fd));
}

int dup2(int fd, int to) {
    static auto real = next<int (*)(int, int)>("dup2");
    return copied(fd, real(fd, to));
}

int dup3(int fd, int to, int flags) {
    static auto real = next<int (*)(int, int, int)>("dup3");
    return copied(fd, real(fd, to, flags));
}

int close(int fd) {
    static auto real = next<int (*)(int)>("close");
    if (fd >= 0 && fd < kMostDescriptors)
        slow_descriptor[fd] = false;
    return real(fd);
}

ssize_t write(int fd, const void *data, size_t size) {
    static auto real = next<ssize_t (*)(int, const void *, size_t)>("write");
    maybe_wait(fd);
    return real(fd, data, size);
}

ssize_t writev(int fd, const iovec *parts, int count) {
    static auto real = next<ssize_t (*)(int, const iovec *, int)>("writev");
    maybe_wait(fd);
    return real(fd, parts, count);
}

ssize_t pwrite(int fd, const void *data, size_t size, off_t offset) {
    static auto real = next<ssize_t (*)(int, const void *, size_t, off_t)>("pwrite");
    maybe_wait(fd);
    return real(fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void *data, size_t size, off64_t offset) {
    static auto real = next<ssize_t (*)(int, const void *, size_t, off64_t)>("pwrite64");
    maybe_wait(fd);
    return real(fd, data, size, offset);
}

int fsync(int fd) {
    static auto real = next<int (*)(int)>("fsync");
    maybe_wait(fd);
    return real(fd);
}

int fdatasync(int fd) {
    static auto real = next<int (*)(int)>("fdatasync");
    maybe_wait(fd);
    return real(fd);
}

}  // extern "C"
