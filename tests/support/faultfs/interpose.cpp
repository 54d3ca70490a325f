// The libc functions through which files and folders change, each handing on to the next
// definition of its name (libc's) once faultfs has counted it and let it go ahead.

#undef _FORTIFY_SOURCE // the fortified headers define open() and others inline

#include "support/faultfs/tally.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utime.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>

// The fortified opens, which <fcntl.h> declares only when fortifying.
extern "C" {
int __open_2(const char* path, int flags);
int __open64_2(const char* path, int flags);
int __openat_2(int dirfd, const char* path, int flags);
int __openat64_2(int dirfd, const char* path, int flags);
}

namespace {

using namespace tolvane::faultfs;

// The next definition of a function after this library's, looked up at its first call.
class Next {
public:
    explicit constexpr Next(const char* name)
        : m_name(name) {}
    void* get() {
        void* function = m_function.load(std::memory_order_acquire);
        if (!function) {
            function = dlsym(RTLD_NEXT, m_name);
            m_function.store(function, std::memory_order_release);
        }
        return function;
    }

private:
    const char* m_name;
    std::atomic<void*> m_function{nullptr};
};

#define NEXT(name)                                                                                 \
    reinterpret_cast<decltype(&::name)>([] {                                                       \
        static constinit Next next(#name);                                                         \
        return next.get();                                                                         \
    }())

// Calls the next definition of the function this is used in, or fails as a missing one.
#define PASS(name, ...)                                                                            \
    do {                                                                                           \
        const auto next = NEXT(name);                                                              \
        if (!next) {                                                                               \
            errno = ENOSYS;                                                                        \
            return -1;                                                                             \
        }                                                                                          \
        return next(__VA_ARGS__);                                                                  \
    } while (false)

// Fails the call with the errno faultfs gave, without doing anything.
#define FAIL_ON(decision)                                                                          \
    do {                                                                                           \
        if (const int error = (decision)) {                                                        \
            errno = error;                                                                         \
            return -1;                                                                             \
        }                                                                                          \
    } while (false)

int onOpen(const char* function, int dirfd, const char* path, int flags) {
    return tally::changes(flags) ? tally::onPaths(function, dirfd, path) : 0;
}

// Whether an fopen() mode may change the file: "w", "a" and "+" do, "r" alone does not.
bool fopenChanges(const char* mode) {
    return mode && (std::strchr(mode, 'w') || std::strchr(mode, 'a') || std::strchr(mode, '+'));
}

// The mode argument of an open, there only when the flags create a file.
#define OPEN_MODE(flags)                                                                           \
    mode_t mode = 0;                                                                               \
    if ((flags)&O_CREAT || ((flags)&O_TMPFILE) == O_TMPFILE) {                                     \
        va_list arguments;                                                                         \
        va_start(arguments, flags);                                                                \
        mode = static_cast<mode_t>(va_arg(arguments, int));                                        \
        va_end(arguments);                                                                         \
    }

} // namespace

extern "C" {

// Opens.

int open(const char* path, int flags, ...) {
    OPEN_MODE(flags);
    FAIL_ON(onOpen("open", AT_FDCWD, path, flags));
    PASS(open, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    OPEN_MODE(flags);
    FAIL_ON(onOpen("open64", AT_FDCWD, path, flags));
    PASS(open64, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    OPEN_MODE(flags);
    FAIL_ON(onOpen("openat", dirfd, path, flags));
    PASS(openat, dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    OPEN_MODE(flags);
    FAIL_ON(onOpen("openat64", dirfd, path, flags));
    PASS(openat64, dirfd, path, flags, mode);
}

int __open_2(const char* path, int flags) {
    FAIL_ON(onOpen("__open_2", AT_FDCWD, path, flags));
    PASS(__open_2, path, flags);
}

int __open64_2(const char* path, int flags) {
    FAIL_ON(onOpen("__open64_2", AT_FDCWD, path, flags));
    PASS(__open64_2, path, flags);
}

int __openat_2(int dirfd, const char* path, int flags) {
    FAIL_ON(onOpen("__openat_2", dirfd, path, flags));
    PASS(__openat_2, dirfd, path, flags);
}

int __openat64_2(int dirfd, const char* path, int flags) {
    FAIL_ON(onOpen("__openat64_2", dirfd, path, flags));
    PASS(__openat64_2, dirfd, path, flags);
}

int creat(const char* path, mode_t mode) {
    FAIL_ON(tally::onPaths("creat", AT_FDCWD, path));
    PASS(creat, path, mode);
}

int creat64(const char* path, mode_t mode) {
    FAIL_ON(tally::onPaths("creat64", AT_FDCWD, path));
    PASS(creat64, path, mode);
}

FILE* fopen(const char* path, const char* mode) {
    if (fopenChanges(mode)) {
        if (const int error = tally::onPaths("fopen", AT_FDCWD, path)) {
            errno = error;
            return nullptr;
        }
    }
    const auto next = NEXT(fopen);
    return next ? next(path, mode) : nullptr;
}

FILE* fopen64(const char* path, const char* mode) {
    if (fopenChanges(mode)) {
        if (const int error = tally::onPaths("fopen64", AT_FDCWD, path)) {
            errno = error;
            return nullptr;
        }
    }
    const auto next = NEXT(fopen64);
    return next ? next(path, mode) : nullptr;
}

int mkstemp(char* pattern) {
    FAIL_ON(tally::onPaths("mkstemp", AT_FDCWD, pattern));
    PASS(mkstemp, pattern);
}

int mkstemp64(char* pattern) {
    FAIL_ON(tally::onPaths("mkstemp64", AT_FDCWD, pattern));
    PASS(mkstemp64, pattern);
}

int mkostemp(char* pattern, int flags) {
    FAIL_ON(tally::onPaths("mkostemp", AT_FDCWD, pattern));
    PASS(mkostemp, pattern, flags);
}

int mkostemp64(char* pattern, int flags) {
    FAIL_ON(tally::onPaths("mkostemp64", AT_FDCWD, pattern));
    PASS(mkostemp64, pattern, flags);
}

char* mkdtemp(char* pattern) noexcept {
    if (const int error = tally::onPaths("mkdtemp", AT_FDCWD, pattern)) {
        errno = error;
        return nullptr;
    }
    const auto next = NEXT(mkdtemp);
    return next ? next(pattern) : nullptr;
}

int close(int fd) {
    tally::forget(fd);
    PASS(close, fd);
}

// Writes.

ssize_t write(int fd, const void* data, size_t size) {
    FAIL_ON(tally::onDescriptor("write", fd));
    PASS(write, fd, data, size);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    FAIL_ON(tally::onDescriptor("pwrite", fd));
    PASS(pwrite, fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
    FAIL_ON(tally::onDescriptor("pwrite64", fd));
    PASS(pwrite64, fd, data, size, offset);
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
    FAIL_ON(tally::onDescriptor("writev", fd));
    PASS(writev, fd, parts, count);
}

ssize_t pwritev(int fd, const struct iovec* parts, int count, off_t offset) {
    FAIL_ON(tally::onDescriptor("pwritev", fd));
    PASS(pwritev, fd, parts, count, offset);
}

ssize_t pwritev64(int fd, const struct iovec* parts, int count, off64_t offset) {
    FAIL_ON(tally::onDescriptor("pwritev64", fd));
    PASS(pwritev64, fd, parts, count, offset);
}

ssize_t pwritev2(int fd, const struct iovec* parts, int count, off_t offset, int flags) {
    FAIL_ON(tally::onDescriptor("pwritev2", fd));
    PASS(pwritev2, fd, parts, count, offset, flags);
}

ssize_t pwritev64v2(int fd, const struct iovec* parts, int count, off64_t offset, int flags) {
    FAIL_ON(tally::onDescriptor("pwritev64v2", fd));
    PASS(pwritev64v2, fd, parts, count, offset, flags);
}

ssize_t sendfile(int out, int in, off_t* offset, size_t count) noexcept {
    FAIL_ON(tally::onDescriptor("sendfile", out));
    PASS(sendfile, out, in, offset, count);
}

ssize_t sendfile64(int out, int in, off64_t* offset, size_t count) noexcept {
    FAIL_ON(tally::onDescriptor("sendfile64", out));
    PASS(sendfile64, out, in, offset, count);
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length,
                        unsigned int flags) {
    FAIL_ON(tally::onDescriptor("copy_file_range", out));
    PASS(copy_file_range, in, inOffset, out, outOffset, length, flags);
}

// Only the requests that share another file's blocks into this one change it.
int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (request == FICLONE || request == FICLONERANGE)
        FAIL_ON(tally::onDescriptor("ioctl", fd));
    PASS(ioctl, fd, request, argument);
}

// Sizes and syncs.

int ftruncate(int fd, off_t length) noexcept {
    FAIL_ON(tally::onDescriptor("ftruncate", fd));
    PASS(ftruncate, fd, length);
}

int ftruncate64(int fd, off64_t length) noexcept {
    FAIL_ON(tally::onDescriptor("ftruncate64", fd));
    PASS(ftruncate64, fd, length);
}

int truncate(const char* path, off_t length) noexcept {
    FAIL_ON(tally::onPaths("truncate", AT_FDCWD, path));
    PASS(truncate, path, length);
}

int truncate64(const char* path, off64_t length) noexcept {
    FAIL_ON(tally::onPaths("truncate64", AT_FDCWD, path));
    PASS(truncate64, path, length);
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
    FAIL_ON(tally::onDescriptor("fallocate", fd));
    PASS(fallocate, fd, mode, offset, length);
}

int fallocate64(int fd, int mode, off64_t offset, off64_t length) {
    FAIL_ON(tally::onDescriptor("fallocate64", fd));
    PASS(fallocate64, fd, mode, offset, length);
}

// These two answer with the error number rather than through errno.
int posix_fallocate(int fd, off_t offset, off_t length) {
    if (const int error = tally::onDescriptor("posix_fallocate", fd))
        return error;
    const auto next = NEXT(posix_fallocate);
    return next ? next(fd, offset, length) : ENOSYS;
}

int posix_fallocate64(int fd, off64_t offset, off64_t length) {
    if (const int error = tally::onDescriptor("posix_fallocate64", fd))
        return error;
    const auto next = NEXT(posix_fallocate64);
    return next ? next(fd, offset, length) : ENOSYS;
}

int fsync(int fd) {
    FAIL_ON(tally::onDescriptor("fsync", fd));
    PASS(fsync, fd);
}

int fdatasync(int fd) {
    FAIL_ON(tally::onDescriptor("fdatasync", fd));
    PASS(fdatasync, fd);
}

int sync_file_range(int fd, off64_t offset, off64_t length, unsigned int flags) {
    FAIL_ON(tally::onDescriptor("sync_file_range", fd));
    PASS(sync_file_range, fd, offset, length, flags);
}

// Names.

int rename(const char* from, const char* to) noexcept {
    FAIL_ON(tally::onPaths("rename", AT_FDCWD, from, AT_FDCWD, to));
    PASS(rename, from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) noexcept {
    FAIL_ON(tally::onPaths("renameat", fromDir, from, toDir, to));
    PASS(renameat, fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to,
              unsigned int flags) noexcept {
    FAIL_ON(tally::onPaths("renameat2", fromDir, from, toDir, to));
    PASS(renameat2, fromDir, from, toDir, to, flags);
}

int link(const char* from, const char* to) noexcept {
    FAIL_ON(tally::onPaths("link", AT_FDCWD, from, AT_FDCWD, to));
    PASS(link, from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) noexcept {
    FAIL_ON(tally::onPaths("linkat", fromDir, from, toDir, to));
    PASS(linkat, fromDir, from, toDir, to, flags);
}

// What a link points to is no path that changes: only where the link is made.
int symlink(const char* target, const char* path) noexcept {
    FAIL_ON(tally::onPaths("symlink", AT_FDCWD, path));
    PASS(symlink, target, path);
}

int symlinkat(const char* target, int dirfd, const char* path) noexcept {
    FAIL_ON(tally::onPaths("symlinkat", dirfd, path));
    PASS(symlinkat, target, dirfd, path);
}

int unlink(const char* path) noexcept {
    FAIL_ON(tally::onPaths("unlink", AT_FDCWD, path));
    PASS(unlink, path);
}

int unlinkat(int dirfd, const char* path, int flags) noexcept {
    FAIL_ON(tally::onPaths("unlinkat", dirfd, path));
    PASS(unlinkat, dirfd, path, flags);
}

int remove(const char* path) noexcept {
    FAIL_ON(tally::onPaths("remove", AT_FDCWD, path));
    PASS(remove, path);
}

int mkdir(const char* path, mode_t mode) noexcept {
    FAIL_ON(tally::onPaths("mkdir", AT_FDCWD, path));
    PASS(mkdir, path, mode);
}

int mkdirat(int dirfd, const char* path, mode_t mode) noexcept {
    FAIL_ON(tally::onPaths("mkdirat", dirfd, path));
    PASS(mkdirat, dirfd, path, mode);
}

int rmdir(const char* path) noexcept {
    FAIL_ON(tally::onPaths("rmdir", AT_FDCWD, path));
    PASS(rmdir, path);
}

// Attributes.

int chmod(const char* path, mode_t mode) noexcept {
    FAIL_ON(tally::onPaths("chmod", AT_FDCWD, path));
    PASS(chmod, path, mode);
}

int fchmod(int fd, mode_t mode) noexcept {
    FAIL_ON(tally::onDescriptor("fchmod", fd));
    PASS(fchmod, fd, mode);
}

int fchmodat(int dirfd, const char* path, mode_t mode, int flags) noexcept {
    FAIL_ON(tally::onPaths("fchmodat", dirfd, path));
    PASS(fchmodat, dirfd, path, mode, flags);
}

int chown(const char* path, uid_t owner, gid_t group) noexcept {
    FAIL_ON(tally::onPaths("chown", AT_FDCWD, path));
    PASS(chown, path, owner, group);
}

int fchown(int fd, uid_t owner, gid_t group) noexcept {
    FAIL_ON(tally::onDescriptor("fchown", fd));
    PASS(fchown, fd, owner, group);
}

int lchown(const char* path, uid_t owner, gid_t group) noexcept {
    FAIL_ON(tally::onPaths("lchown", AT_FDCWD, path));
    PASS(lchown, path, owner, group);
}

int fchownat(int dirfd, const char* path, uid_t owner, gid_t group, int flags) noexcept {
    FAIL_ON(tally::onPaths("fchownat", dirfd, path));
    PASS(fchownat, dirfd, path, owner, group, flags);
}

int utime(const char* path, const struct utimbuf* times) noexcept {
    FAIL_ON(tally::onPaths("utime", AT_FDCWD, path));
    PASS(utime, path, times);
}

int utimes(const char* path, const struct timeval times[2]) noexcept {
    FAIL_ON(tally::onPaths("utimes", AT_FDCWD, path));
    PASS(utimes, path, times);
}

// Without a path it sets the times of dirfd's own file.
int utimensat(int dirfd, const char* path, const struct timespec times[2], int flags) noexcept {
    // glibc declares the path non-null, which Linux does not ask: hide that from the compiler.
    const char* given = path;
    asm("" : "+r"(given));
    FAIL_ON(given ? tally::onPaths("utimensat", dirfd, given)
                  : tally::onDescriptor("utimensat", dirfd));
    PASS(utimensat, dirfd, path, times, flags);
}

int futimens(int fd, const struct timespec times[2]) noexcept {
    FAIL_ON(tally::onDescriptor("futimens", fd));
    PASS(futimens, fd, times);
}

} // extern "C"
