#pragma once

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#endif

namespace tolvane {

// A full disk made with a file size limit, which Windows does not have; the same faults
// are met there through the same code, tested with a device that fills up.
constexpr const char* kNoFileSizeLimit =
    "Linux only: Windows has no file size limit (RLIMIT_FSIZE)";

#ifndef Q_OS_WIN
// Makes every write past `bytes` fail as on a full disk (with EFBIG, "File too large"),
// for this process and for as long as it lives. Root is bound by the limit too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        // Without this the kernel ends the process at the first write past the limit.
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};
#endif

} // namespace tolvane
