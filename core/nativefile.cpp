#include "core/nativefile_p.h"

#include "core/patcherror.h"

#include <QDir>

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace tolvane::fileops::native {

#ifdef Q_OS_WIN

namespace {

std::wstring wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

HANDLE handleOf(void* handle) {
    return static_cast<HANDLE>(handle);
}

} // namespace

QString lastError() {
    return qt_error_string(static_cast<int>(GetLastError()));
}

NewFile::~NewFile() {
    if (handleOf(m_handle) != INVALID_HANDLE_VALUE)
        CloseHandle(handleOf(m_handle));
}

bool NewFile::create(const QString& path, QString& error) {
    m_handle = CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handleOf(m_handle) == INVALID_HANDLE_VALUE) {
        error = lastError();
        return false;
    }
    return true;
}

bool NewFile::write(QByteArrayView data, QString& error) {
    while (!data.isEmpty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(data.size(), 1 << 30));
        DWORD written = 0;
        if (!WriteFile(handleOf(m_handle), data.data(), chunk, &written, nullptr) || written == 0) {
            error = lastError();
            return false;
        }
        data = data.sliced(written);
    }
    return true;
}

bool NewFile::flush(QString& error) {
    if (!FlushFileBuffers(handleOf(m_handle))) {
        error = lastError();
        return false;
    }
    return true;
}

bool NewFile::close(QString& error) {
    const BOOL closed = CloseHandle(handleOf(m_handle));
    m_handle = INVALID_HANDLE_VALUE;
    if (!closed)
        error = lastError();
    return closed;
}

bool hardLink(const QString& source, const QString& target, bool& linksUnsupported,
              QString& error) {
    if (CreateHardLinkW(wide(target).c_str(), wide(source).c_str(), nullptr))
        return true;
    const DWORD code = GetLastError();
    // FAT and network drives without links answer so.
    linksUnsupported = code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
                       code == ERROR_NOT_SAME_DEVICE || code == ERROR_TOO_MANY_LINKS;
    error = qt_error_string(static_cast<int>(code));
    return false;
}

bool makeFolder(const QString& path, QString& error) {
    if (CreateDirectoryW(wide(path).c_str(), nullptr))
        return true;
    error = lastError();
    return false;
}

bool removeFolder(const QString& path, QString& error) {
    if (RemoveDirectoryW(wide(path).c_str()))
        return true;
    error = lastError();
    return false;
}

bool renameNoReplace(const QString& from, const QString& to, QString& error) {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return true;
    error = lastError();
    return false;
}

bool renameReplacing(const QString& from, const QString& to, QString& error) {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = lastError();
    return false;
}

void syncFolder(const QString&) {}

void syncVolume(const QString&) {}

#else

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace

QString lastError() {
    return systemErrorText(errno);
}

NewFile::~NewFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool NewFile::create(const QString& path, QString& error) {
    m_fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        error = lastError();
        return false;
    }
    return true;
}

bool NewFile::write(QByteArrayView data, QString& error) {
    while (!data.isEmpty()) {
        const ssize_t written = ::write(m_fd, data.data(), static_cast<size_t>(data.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A short write says nothing; the retry on a full disk gives the reason.
            error = written == 0 ? systemErrorText(ENOSPC) : lastError();
            return false;
        }
        data = data.sliced(written);
        m_written += written;
    }
    return true;
}

bool NewFile::flush(QString& error) {
    if (::fsync(m_fd) != 0) {
        error = lastError();
        return false;
    }
    return true;
}

bool NewFile::close(QString& error) {
#ifdef Q_OS_LINUX
    // A large file (a copy of the season database) starts on its way to the disk now, while
    // the run goes on, so that the sync before the swap finds it written.
    constexpr long long kLargeFile = 256 * 1024;
    if (m_written >= kLargeFile)
        ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    const int result = ::close(m_fd);
    m_fd = -1;
    if (result != 0)
        error = lastError();
    return result == 0;
}

bool hardLink(const QString& source, const QString& target, bool& linksUnsupported,
              QString& error) {
    if (::link(native(source).constData(), native(target).constData()) == 0)
        return true;
    linksUnsupported = errno == EPERM || errno == EOPNOTSUPP || errno == EXDEV || errno == EMLINK;
    error = lastError();
    return false;
}

bool makeFolder(const QString& path, QString& error) {
    if (::mkdir(native(path).constData(), 0777) == 0)
        return true;
    error = lastError();
    return false;
}

bool removeFolder(const QString& path, QString& error) {
    if (::rmdir(native(path).constData()) == 0)
        return true;
    error = lastError();
    return false;
}

bool renameNoReplace(const QString& from, const QString& to, QString& error) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(),
                    RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) {
        error = lastError();
        return false;
    }
#endif
    // A file system without the flag: the test and the rename are two steps, which only
    // another program renaming into the same name at once could come between.
    struct stat status;
    if (::lstat(native(to).constData(), &status) == 0) {
        error = systemErrorText(EEXIST);
        return false;
    }
    if (std::rename(native(from).constData(), native(to).constData()) == 0)
        return true;
    error = lastError();
    return false;
}

bool renameReplacing(const QString& from, const QString& to, QString& error) {
    if (std::rename(native(from).constData(), native(to).constData()) != 0) {
        error = lastError();
        return false;
    }
    syncFolder(QFileInfo(to).absolutePath());
    return true;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void syncVolume(const QString& path) {
#ifdef Q_OS_LINUX
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
        return;
    }
#endif
    (void)path;
    ::sync();
}

#endif

} // namespace tolvane::fileops::native
