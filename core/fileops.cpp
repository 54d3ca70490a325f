#include "core/fileops.h"

#include "core/bytes.h"
#include "core/cp1252.h"
#include "core/patcherror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

void createFolder(const QString& path) {
    const QFileInfo info(path);
    if (!QDir(info.absolutePath()).exists())
        throw PatchError(QStringLiteral("Cannot create the folder"), path,
                         QStringLiteral("Its parent folder does not exist."));
    if (!QDir().mkdir(path)) {
        const QString cause = info.exists() ? QStringLiteral("A file of that name exists.")
                                            : QStringLiteral("Permission denied or disk full.");
        throw PatchError(QStringLiteral("Cannot create the folder"), path, cause);
    }
}

// Files are written unbuffered: a buffered QSaveFile would also commit a file whose last
// bytes never reached the disk.
void writeFileAtomically(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw PatchError(QStringLiteral("Cannot write the file"), path, file.errorString());
    if (!bytes::writeWhole(file, data))
        throw PatchError(QStringLiteral("Cannot write the file"), path, file.errorString());
    if (!file.commit())
        throw PatchError(QStringLiteral("Cannot write the file"), path,
                         whyNotReplaced(path, file.errorString()));
}

void copyFileReplacing(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw PatchError(readOperation(), source, in.errorString());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw PatchError(QStringLiteral("Cannot write the file"), target, out.errorString());
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0)
            throw PatchError(readOperation(), source, in.errorString());
        if (n == 0)
            break;
        if (!bytes::writeWhole(out, QByteArrayView(buffer, n)))
            throw PatchError(QStringLiteral("Cannot write the file"), target, out.errorString());
    }
    if (!out.commit())
        throw PatchError(QStringLiteral("Cannot write the file"), target,
                         whyNotReplaced(target, out.errorString()));
}

void renameFile(const QString& from, const QString& to) {
    if (entryExists(to))
        throw PatchError(QStringLiteral("Cannot rename the file"),
                         from + QStringLiteral(" → ") + to,
                         QStringLiteral("The new name is taken."));
    QFile file(from);
    if (!file.rename(to))
        throw PatchError(QStringLiteral("Cannot rename the file"),
                         from + QStringLiteral(" → ") + to, file.errorString());
}

void replaceByRename(const QString& from, const QString& to) {
#ifdef Q_OS_WIN
    // Wide-character paths, so that any folder name works.
    if (!MoveFileExW(QDir::toNativeSeparators(from).toStdWString().c_str(),
                     QDir::toNativeSeparators(to).toStdWString().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const QString cause = qt_error_string(static_cast<int>(GetLastError()));
        throw PatchError(QStringLiteral("Cannot replace the file"), to, whyNotReplaced(to, cause));
    }
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw PatchError(QStringLiteral("Cannot replace the file"), to, systemErrorText(errno));
    // A rename is on the disk only once its folder is; Windows writes it through above.
    const int folder =
        ::open(QFile::encodeName(QFileInfo(to).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
#endif
}

void removeFile(const QString& path) {
    QFile file(path);
    if (!file.remove())
        throw PatchError(QStringLiteral("Cannot delete the file"), path,
                         whyNotReplaced(path, file.errorString()));
}

void removeEmptyFolder(const QString& path) {
    if (!QDir().rmdir(path)) {
        const QString cause = QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                 QDir::Hidden | QDir::System)
                                  ? QStringLiteral("Permission denied.")
                                  : QStringLiteral("The folder is not empty.");
        throw PatchError(QStringLiteral("Cannot remove the folder"), path, cause);
    }
}

void appendLines(const QString& path, const QStringList& lines) {
    QByteArray data;
    for (const QString& line : lines) {
        appendCp1252(data, line);
        data.append("\r\n", 2);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw PatchError(QStringLiteral("Cannot open the text file"), path, file.errorString());
    const qint64 before = file.size();
    if (!bytes::writeWhole(file, data)) {
        const QString cause = file.errorString();
        // Lines that did not fit are taken back whole rather than left cut off.
        file.resize(before);
        throw PatchError(QStringLiteral("Cannot write the text file"), path, cause);
    }
}

} // namespace fileops

} // namespace tolvane
