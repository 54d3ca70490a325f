#include "core/fileops.h"

#include "core/bytes.h"
#include "core/cp1252.h"
#include "core/patcherror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace fileops {

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
    if (!bytes::writeWhole(file, data) || !file.commit())
        throw PatchError(QStringLiteral("Cannot write the file"), path, file.errorString());
}

void copyFileReplacing(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw PatchError(QStringLiteral("Cannot read the file"), source, in.errorString());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw PatchError(QStringLiteral("Cannot write the file"), target, out.errorString());
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0)
            throw PatchError(QStringLiteral("Cannot read the file"), source, in.errorString());
        if (n == 0)
            break;
        if (!bytes::writeWhole(out, QByteArrayView(buffer, n)))
            throw PatchError(QStringLiteral("Cannot write the file"), target, out.errorString());
    }
    if (!out.commit())
        throw PatchError(QStringLiteral("Cannot write the file"), target, out.errorString());
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

void removeFile(const QString& path) {
    QFile file(path);
    if (!file.remove())
        throw PatchError(QStringLiteral("Cannot delete the file"), path, file.errorString());
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
