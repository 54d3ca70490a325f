#include "support/faultfs/faultfs.h"

#include "support/faultfs/tally.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tolvane::faultfs {

namespace {

// Everything here is constant-initialised: an interposed function may be called before
// this library's constructors have run, from another library's.

// The root as given, made lexically absolute, and as the kernel names it (its links
// resolved), which is how /proc/self/fd shows a descriptor's file.
struct Root {
    char path[PATH_MAX];
    std::size_t length;
};
Root g_roots[2];
int g_rootCount = 0;
std::atomic<bool> g_active{false};

std::int64_t g_count = 0;
std::int64_t g_failAt = 0;
int g_failErrno = EIO;
std::int64_t g_killAt = 0;
int g_logFd = -1;
char g_logPath[PATH_MAX];
std::vector<std::string>* g_lines = nullptr;

// Whether a descriptor's file is under the root, as last looked up; the file's device and
// inode tell whether the descriptor still holds it, whatever closed it in between.
struct Known {
    dev_t device;
    ino_t inode;
    bool set;
    bool under;
};
constexpr int kKnownDescriptors = 4096;
Known g_known[kKnownDescriptors];

pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_once_t g_loaded = PTHREAD_ONCE_INIT;

// Set while faultfs itself runs on this thread, so that nothing it calls is counted.
__thread int t_inside __attribute__((tls_model("initial-exec")));

class Lock {
public:
    Lock() { pthread_mutex_lock(&g_mutex); }
    ~Lock() { pthread_mutex_unlock(&g_mutex); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

// Marks the thread as inside faultfs, and gives errno back as it was.
class Inside {
public:
    Inside()
        : m_errno(errno) {
        ++t_inside;
    }
    ~Inside() {
        --t_inside;
        errno = m_errno;
    }
    Inside(const Inside&) = delete;
    Inside& operator=(const Inside&) = delete;

private:
    int m_errno;
};

// Straight to the kernel: the log and the messages are never the program's own writes.
void writeAll(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        const long n = syscall(SYS_write, fd, text, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text += n;
        length -= static_cast<std::size_t>(n);
    }
}

[[noreturn]] void stop(const char* variable, const char* value, const char* why) {
    char message[PATH_MAX + 200];
    const int n =
        std::snprintf(message, sizeof message, "faultfs: %s=%s %s\n", variable, value, why);
    writeAll(2, message, static_cast<std::size_t>(n > 0 ? n : 0));
    std::abort();
}

// Makes an absolute path lexically plain in place: no ".", "..", doubled or trailing slash.
void normalise(char* path) {
    const std::size_t length = std::strlen(path);
    std::size_t out = 1; // path[0] is the leading slash
    std::size_t in = 0;
    while (in < length) {
        while (in < length && path[in] == '/')
            ++in;
        const std::size_t start = in;
        while (in < length && path[in] != '/')
            ++in;
        const std::size_t part = in - start;
        if (part == 0 || (part == 1 && path[start] == '.'))
            continue;
        if (part == 2 && path[start] == '.' && path[start + 1] == '.') {
            while (out > 1 && path[out - 1] != '/')
                --out;
            if (out > 1)
                --out;
            continue;
        }
        if (out > 1)
            path[out++] = '/';
        std::memmove(path + out, path + start, part);
        out += part;
    }
    path[out] = '\0';
}

// The file of a descriptor as /proc/self/fd names it ("pipe:[12]" for what is no file).
bool descriptorPath(int fd, char* out) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, out, PATH_MAX - 1);
    if (n < 0)
        return false;
    out[n] = '\0';
    return true;
}

// path against the folder of dirfd, made absolute and plain; false when that cannot be.
bool absolutePath(int dirfd, const char* path, char* out) {
    if (!path)
        return false;
    if (path[0] == '/') {
        if (std::strlen(path) >= PATH_MAX)
            return false;
        std::strcpy(out, path);
    } else {
        if (dirfd == AT_FDCWD) {
            if (!getcwd(out, PATH_MAX))
                return false;
        } else if (!descriptorPath(dirfd, out) || out[0] != '/') {
            return false;
        }
        const std::size_t base = std::strlen(out);
        const std::size_t rest = std::strlen(path);
        if (base + 1 + rest >= PATH_MAX)
            return false;
        out[base] = '/';
        std::memcpy(out + base + 1, path, rest + 1);
    }
    normalise(out);
    return true;
}

bool underRoot(const char* path) {
    if (path[0] != '/' || (g_logFd >= 0 && std::strcmp(path, g_logPath) == 0))
        return false;
    // A descriptor's file that is deleted or was never named is still where it was made.
    static constexpr char kDeleted[] = " (deleted)";
    const std::size_t length = std::strlen(path);
    const std::size_t suffix = sizeof kDeleted - 1;
    const std::size_t compared =
        length > suffix && std::strcmp(path + length - suffix, kDeleted) == 0 ? length - suffix
                                                                              : length;
    for (int i = 0; i < g_rootCount; ++i) {
        const Root& root = g_roots[i];
        if (compared < root.length || std::strncmp(path, root.path, root.length) != 0)
            continue;
        if (root.length == 1 || compared == root.length || path[root.length] == '/')
            return true;
    }
    return false;
}

// path with the links of its folder resolved, for a path under the root reached through
// a link from outside it; false when its folder does not exist.
bool resolvedPath(const char* path, char* out) {
    const char* slash = std::strrchr(path, '/');
    if (!slash || slash[1] == '\0')
        return false;
    char folder[PATH_MAX];
    const std::size_t length = slash == path ? 1 : static_cast<std::size_t>(slash - path);
    std::memcpy(folder, path, length);
    folder[length] = '\0';
    if (!realpath(folder, out))
        return false;
    const std::size_t base = std::strlen(out);
    const std::size_t name = std::strlen(slash + 1);
    if (base + 1 + name >= PATH_MAX)
        return false;
    if (base > 1)
        out[base] = '/';
    std::memcpy(out + (base > 1 ? base + 1 : base), slash + 1, name + 1);
    return true;
}

// Whether path (absolute and plain) is under the root, as it is spelt or once resolved;
// the spelling under the root is left in path.
bool underRootResolving(char* path) {
    if (underRoot(path))
        return true;
    char real[PATH_MAX];
    if (!resolvedPath(path, real) || !underRoot(real))
        return false;
    std::strcpy(path, real);
    return true;
}

void forgetAllLocked() {
    for (Known& known : g_known)
        known.set = false;
}

void setRootLocked(const char* folder) {
    g_rootCount = 0;
    forgetAllLocked();
    if (folder && folder[0] == '/' && std::strlen(folder) < PATH_MAX) {
        Root& given = g_roots[g_rootCount++];
        std::strcpy(given.path, folder);
        normalise(given.path);
        given.length = std::strlen(given.path);
        char real[PATH_MAX];
        if (realpath(given.path, real) && std::strcmp(real, given.path) != 0) {
            Root& resolved = g_roots[g_rootCount++];
            std::strcpy(resolved.path, real);
            resolved.length = std::strlen(real);
        }
    }
    g_active.store(g_rootCount > 0, std::memory_order_release);
}

std::int64_t numberOf(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || !*value)
        return 0;
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(value, &end, 10);
    if (errno != 0 || *end != '\0' || n < 0)
        stop(variable, value, "is not a count of operations (1 for the first)");
    return n;
}

int errnoOf(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || !*value)
        return EIO;
    struct Name {
        const char* name;
        int value;
    };
    static constexpr Name kNames[] = {
        {"EIO", EIO},       {"ENOSPC", ENOSPC},
        {"EDQUOT", EDQUOT}, {"EFBIG", EFBIG},
        {"EACCES", EACCES}, {"EPERM", EPERM},
        {"EROFS", EROFS},   {"EBUSY", EBUSY},
        {"EEXIST", EEXIST}, {"ENOENT", ENOENT},
        {"EXDEV", EXDEV},   {"EINTR", EINTR},
        {"EAGAIN", EAGAIN}, {"ENOTEMPTY", ENOTEMPTY},
        {"EMFILE", EMFILE}, {"ENAMETOOLONG", ENAMETOOLONG},
    };
    for (const Name& name : kNames) {
        if (std::strcmp(name.name, value) == 0)
            return name.value;
    }
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (*end != '\0' || n <= 0 || n > 4095)
        stop(variable, value, "is not an errno (a number, or a name such as EIO or ENOSPC)");
    return static_cast<int>(n);
}

void loadEnvironment() {
    Inside inside;
    const char* root = std::getenv("TOLVANE_FAULT_ROOT");
    if (root && *root && root[0] != '/')
        stop("TOLVANE_FAULT_ROOT", root, "is not an absolute folder");
    const char* log = std::getenv("TOLVANE_FAULT_LOG");
    Lock lock;
    g_failAt = numberOf("TOLVANE_FAULT_AT");
    g_killAt = numberOf("TOLVANE_FAULT_KILL_AT");
    g_failErrno = errnoOf("TOLVANE_FAULT_ERRNO");
    if (log && *log) {
        if (!absolutePath(AT_FDCWD, log, g_logPath))
            stop("TOLVANE_FAULT_LOG", log, "cannot be made an absolute path");
        g_logFd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, g_logPath,
                                           O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
        if (g_logFd < 0)
            stop("TOLVANE_FAULT_LOG", log, std::strerror(errno));
    }
    setRootLocked(root);
    // A child forked while another thread held the lock would wait for it forever.
    pthread_atfork([] { pthread_mutex_lock(&g_mutex); }, [] { pthread_mutex_unlock(&g_mutex); },
                   [] { pthread_mutex_unlock(&g_mutex); });
}

void load() {
    pthread_once(&g_loaded, loadEnvironment);
}

// Whether an interposed call has nothing to ask: nothing is counted, or faultfs calls.
bool idle() {
    if (t_inside > 0)
        return true;
    load();
    return !g_active.load(std::memory_order_acquire);
}

// Counts an operation under the root, logs it and says what becomes of it.
int countLocked(const char* function, const char* path, const char* path2) {
    const std::int64_t n = ++g_count;
    const bool fails = n == g_failAt;
    const bool killed = n == g_killAt;
    char line[2 * PATH_MAX + 128];
    int length =
        std::snprintf(line, sizeof line, "%lld\t%s\t%s", static_cast<long long>(n), function, path);
    const auto append = [&](const char* format, auto value) {
        if (length >= 0 && static_cast<std::size_t>(length) < sizeof line)
            length += std::snprintf(line + length, sizeof line - length, format, value);
    };
    if (path2)
        append("\t%s", path2);
    if (killed)
        append("%s", "\tkilled");
    else if (fails)
        append("\tfailed (errno %d)", g_failErrno);
    const std::size_t size =
        std::min(static_cast<std::size_t>(length > 0 ? length : 0), sizeof line - 2);
    try {
        if (!g_lines)
            g_lines = new std::vector<std::string>();
        g_lines->emplace_back(line, size);
    } catch (...) {
        // Out of memory: the count and the file log still hold.
    }
    if (g_logFd >= 0) {
        line[size] = '\n';
        writeAll(g_logFd, line, size + 1);
    }
    if (killed)
        kill(getpid(), SIGKILL);
    return fails ? g_failErrno : 0;
}

} // namespace

namespace tally {

int onPaths(const char* function, int dirfd, const char* path, int dirfd2, const char* path2) {
    if (idle())
        return 0;
    Inside inside;
    char first[PATH_MAX];
    char second[PATH_MAX];
    const bool hasFirst = absolutePath(dirfd, path, first);
    const bool hasSecond = path2 && absolutePath(dirfd2, path2, second);
    Lock lock;
    const bool firstUnder = hasFirst && underRootResolving(first);
    const bool secondUnder = hasSecond && underRootResolving(second);
    if (!firstUnder && !secondUnder)
        return 0;
    return countLocked(function, hasFirst ? first : "?",
                       hasSecond ? second : (path2 ? "?" : nullptr));
}

int onDescriptor(const char* function, int fd) {
    if (idle() || fd < 0)
        return 0;
    Inside inside;
    struct stat file;
    const bool statted = fstat(fd, &file) == 0;
    Known* known = statted && fd < kKnownDescriptors ? &g_known[fd] : nullptr;
    char path[PATH_MAX];
    bool named = false;
    Lock lock;
    if (!known || !known->set || known->device != file.st_dev || known->inode != file.st_ino) {
        named = descriptorPath(fd, path);
        const bool under = named && fd != g_logFd && underRoot(path);
        if (known)
            *known = Known{file.st_dev, file.st_ino, true, under};
        if (!under)
            return 0;
    } else if (!known->under) {
        return 0;
    }
    if (!named && !descriptorPath(fd, path))
        std::strcpy(path, "?");
    return countLocked(function, path, nullptr);
}

void forget(int fd) {
    if (fd < 0 || fd >= kKnownDescriptors || idle())
        return;
    Lock lock;
    g_known[fd].set = false;
}

} // namespace tally

void setRoot(const std::string& folder) {
    load();
    if (!folder.empty() && folder[0] != '/')
        stop("the root", folder.c_str(), "is not an absolute folder");
    Inside inside;
    Lock lock;
    setRootLocked(folder.empty() ? nullptr : folder.c_str());
}

void failAt(std::int64_t n, int error) {
    load();
    Lock lock;
    g_failAt = n;
    g_failErrno = error > 0 ? error : EIO;
}

void killAt(std::int64_t n) {
    load();
    Lock lock;
    g_killAt = n;
}

void reset() {
    load();
    Lock lock;
    g_count = 0;
    g_failAt = 0;
    g_failErrno = EIO;
    g_killAt = 0;
    if (g_lines)
        g_lines->clear();
}

std::int64_t count() {
    load();
    Lock lock;
    return g_count;
}

std::vector<std::string> log() {
    load();
    Lock lock;
    return g_lines ? *g_lines : std::vector<std::string>();
}

} // namespace tolvane::faultfs
