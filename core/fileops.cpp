#include "core/fileops.h"

#include "core/nativefile_p.h"
#include "core/patcherror.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <atomic>

namespace tolvane {

namespace fileops {

namespace {

QString readOperation() {
    return QStringLiteral("Cannot read the file");
}

QString heldOpen() {
    return QStringLiteral("Another program has the file open (the game, or a program that shows "
                          "or edits or scans the file): close the game, then run the update "
                          "again.");
}

#ifdef Q_OS_WIN
// Whether another program holds the file open, so that it cannot be replaced or deleted.
bool isHeldOpen(const QString& path) {
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE handle =
        CreateFileW(native.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// Windows refuses to replace or delete a file that another program holds open, and then
// says no more than "Access is denied". Find out whether that is the reason, and say so.
QString whyNotReplaced(const QString& path, const QString& systemText) {
    if (isHeldOpen(path))
        return heldOpen();
    const DWORD attributes =
        GetFileAttributesW(QDir::toNativeSeparators(path).toStdWString().c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return QStringLiteral("The file is read-only.");
    return systemText;
}
#else
bool isHeldOpen(const QString&) {
    return false;
}

QString whyNotReplaced(const QString&, const QString& systemText) {
    return systemText;
}
#endif

} // namespace

QByteArray readWholeFile(const QString& path, const QString& givenOperation) {
    const QString operation = givenOperation.isEmpty() ? readOperation() : givenOperation;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PatchError(operation, path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PatchError(operation, path, file.errorString());
    return bytes;
}

std::optional<WriteRefusal> probeWritable(const QString& folder) {
    // A name of this process's own; another check running beside it picks another.
    static std::atomic<int> probes{0};
    const QString path = QDir(folder).filePath(QStringLiteral(".tolvane-patch-write-test-%1-%2")
                                                   .arg(QCoreApplication::applicationPid())
                                                   .arg(probes.fetch_add(1)));
#ifdef Q_OS_WIN
    // The file goes when its handle is closed, whatever happens to this program.
    const HANDLE handle = CreateFileW(
        QDir::toNativeSeparators(path).toStdWString().c_str(), GENERIC_WRITE, 0, nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
        nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return WriteRefusal{qt_error_string(static_cast<int>(error)), error == ERROR_ACCESS_DENIED};
    }
    CloseHandle(handle);
    return std::nullopt;
#else
#ifdef O_TMPFILE
    // A file without a name, which nothing can leave behind.
    const int unnamed =
        ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        ::close(unnamed);
        return std::nullopt;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        const int error = errno;
        return WriteRefusal{systemErrorText(error), error == EACCES || error == EPERM};
    }
#endif
    // A file system without unnamed files: a named one, removed at once.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        return WriteRefusal{systemErrorText(error), error == EACCES || error == EPERM};
    }
    ::close(fd);
    if (::unlink(name.constData()) != 0) {
        const int error = errno;
        return WriteRefusal{systemErrorText(error), error == EACCES || error == EPERM};
    }
    return std::nullopt;
#endif
}

std::optional<WriteRefusal> probeReplaceable(const QString& path) {
    if (isHeldOpen(path))
        return WriteRefusal{heldOpen(), false};
    return std::nullopt;
}

bool isOrdinaryFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

bool entryExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

namespace {

// Creates the folder at path, whose parent exists; the system's reason when it cannot.
void makeFolder(const QString& path) {
    QString error;
    if (native::makeFolder(path, error))
        return;
    const QFileInfo info(path);
    throw PatchError(
        QStringLiteral("Cannot create the folder"), path,
        info.exists() || info.isSymLink() ? QStringLiteral("A file of that name exists.") : error);
}

} // namespace

void createFolder(const QString& path) {
    const QFileInfo info(path);
    if (!QDir(info.absolutePath()).exists())
        throw PatchError(QStringLiteral("Cannot create the folder"), path,
                         QStringLiteral("Its parent folder does not exist."));
    makeFolder(path);
}

void createFolders(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir())
        return;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !QFileInfo(parent).isDir())
        createFolders(parent);
    makeFolder(path);
}

namespace {

const QString kWriteFailed = QStringLiteral("Cannot write the file");

// A name beside path for a file that is written and then renamed over it.
QString temporaryBeside(const QString& path) {
    static std::atomic<int> count{0};
    const QFileInfo info(path);
    return info.absoluteDir().filePath(QStringLiteral(".%1.tolvane-%2-%3")
                                           .arg(info.fileName())
                                           .arg(QCoreApplication::applicationPid())
                                           .arg(count.fetch_add(1)));
}

// Writes a new file from what source gives, flushed when flush says so; a failure removes
// what was written and names shown, the file the caller writes.
template <class Source>
void writeNew(const QString& path, const QString& shown, bool flush, Source&& source) {
    native::NewFile file;
    QString error;
    if (!file.create(path, error))
        throw PatchError(kWriteFailed, shown, error);
    bool written = false;
    try {
        written = source(file, error) && (!flush || file.flush(error));
    } catch (...) {
        file.close(error);
        QFile::remove(path);
        throw;
    }
    QString closeError;
    const bool closed = file.close(closeError);
    if (!written || !closed) {
        QFile::remove(path);
        throw PatchError(kWriteFailed, shown, written ? closeError : error);
    }
}

void copyInto(const QString& source, const QString& target, const QString& shown, bool flush) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw PatchError(readOperation(), source, in.errorString());
    writeNew(target, shown, flush, [&](native::NewFile& out, QString& error) {
        char buffer[64 * 1024];
        for (;;) {
            const qint64 n = in.read(buffer, sizeof buffer);
            if (n < 0)
                throw PatchError(readOperation(), source, in.errorString());
            if (n == 0)
                return true;
            if (!out.write(QByteArrayView(buffer, n), error))
                return false;
        }
    });
}

// Renames temporary, a complete file, over target; a failure removes it.
void replaceWith(const QString& temporary, const QString& target) {
    QString error;
    if (!native::renameReplacing(temporary, target, error)) {
        QFile::remove(temporary);
        throw PatchError(kWriteFailed, target, whyNotReplaced(target, error));
    }
}

} // namespace

void writeNewFile(const QString& path, QByteArrayView data,
                  [[maybe_unused]] Durability durability) {
#ifdef Q_OS_WIN
    const bool flush = true;
#else
    const bool flush = durability == Durability::Now;
#endif
    writeNew(path, path, flush,
             [&](native::NewFile& file, QString& error) { return file.write(data, error); });
}

namespace {

// A file the user made read-only is not replaced, on any system.
void refuseReadOnly(const QString& path) {
    const QFileInfo info(path);
    if (info.isFile() && !info.isSymLink() && !info.isWritable())
        throw PatchError(kWriteFailed, path, QStringLiteral("The file is read-only."));
}

} // namespace

void writeFileAtomically(const QString& path, QByteArrayView data) {
    refuseReadOnly(path);
    const QString temporary = temporaryBeside(path);
    writeNew(temporary, path, true,
             [&](native::NewFile& file, QString& error) { return file.write(data, error); });
    replaceWith(temporary, path);
}

void copyFile(const QString& source, const QString& target,
              [[maybe_unused]] Durability durability) {
#ifdef Q_OS_WIN
    const bool flush = true;
#else
    const bool flush = durability == Durability::Now;
#endif
    copyInto(source, target, target, flush);
}

void copyFileReplacing(const QString& source, const QString& target) {
    refuseReadOnly(target);
    const QString temporary = temporaryBeside(target);
    copyInto(source, temporary, target, true);
    replaceWith(temporary, target);
}

void linkOrCopy(const QString& source, const QString& target, Durability durability) {
    bool unsupported = false;
    QString error;
    if (native::hardLink(source, target, unsupported, error))
        return;
    if (!unsupported)
        throw PatchError(QStringLiteral("Cannot link the file"),
                         source + QStringLiteral(" → ") + target, error);
    copyFile(source, target, durability);
}

void renameFile(const QString& from, const QString& to) {
    QString error;
    if (native::renameNoReplace(from, to, error))
        return;
    throw PatchError(QStringLiteral("Cannot rename"), from + QStringLiteral(" → ") + to,
                     entryExists(to) ? QStringLiteral("The new name is taken.")
                                     : whyNotReplaced(from, error));
}

void replaceByRename(const QString& from, const QString& to) {
    QString error;
    if (!native::renameReplacing(from, to, error))
        throw PatchError(QStringLiteral("Cannot replace the file"), to, whyNotReplaced(to, error));
}

void removeTree(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    if (info.isDir() && !info.isSymLink()) {
        const QDir dir(path);
        for (const QString& name :
             dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            removeTree(dir.filePath(name));
        removeEmptyFolder(path);
        return;
    }
    removeFile(path);
}

void syncFolder(const QString& folder) {
    native::syncFolder(folder);
}

void syncVolume(const QString& path) {
    native::syncVolume(path);
}

qint64 freeSpace(const QString& path) {
    return QStorageInfo(path).bytesAvailable();
}

void removeFile(const QString& path) {
    QFile file(path);
    if (!file.remove())
        throw PatchError(QStringLiteral("Cannot delete the file"), path,
                         whyNotReplaced(path, file.errorString()));
}

void removeEmptyFolder(const QString& path) {
    QString error;
    if (native::removeFolder(path, error))
        return;
    const QString cause =
        QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
            ? error
            : QStringLiteral("The folder is not empty.");
    throw PatchError(QStringLiteral("Cannot remove the folder"), path, cause);
}

} // namespace fileops

} // namespace tolvane
