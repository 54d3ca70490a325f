#include "tools/season/pendingfile.h"

#include "core/fileops.h"
#include "core/patcherror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tolvane {

namespace season {

namespace {

[[noreturn]] void cannotWrite(const QString& target, const QString& cause) {
    throw PatchError(QStringLiteral("Cannot write the file"), target, cause);
}

QString exists() {
    return QStringLiteral("The file exists already; choose a new name.");
}

} // namespace

PendingFile::PendingFile(QString target)
    : m_target(std::move(target)) {
    if (fileops::entryExists(m_target))
        cannotWrite(m_target, exists());
    const QFileInfo info(m_target);
    if (!info.dir().exists())
        cannotWrite(m_target, QStringLiteral("Its folder does not exist."));
    // Made as any new file is, with the permissions the user's settings give it (a
    // QTemporaryFile would be readable by its owner alone).
    for (int attempt = 0;; ++attempt) {
        m_path = info.dir().filePath(
            QStringLiteral(".%1.%2")
                .arg(info.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return;
        if (attempt == 16 || !fileops::entryExists(m_path)) {
            const QString cause = file.errorString();
            m_path.clear();
            cannotWrite(m_target, cause);
        }
    }
}

PendingFile::~PendingFile() {
    if (!m_committed && !m_path.isEmpty())
        QFile::remove(m_path);
}

void PendingFile::commit() {
#ifdef Q_OS_UNIX
    // What was written reaches the disk before the file gets its name.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
    QFile file(m_path);
    // QFile::rename never replaces a file.
    if (!file.rename(m_target))
        cannotWrite(m_target, fileops::entryExists(m_target) ? exists() : file.errorString());
    m_committed = true;
}

void PendingFile::withdraw() {
    if (m_committed && QFile::remove(m_target))
        m_committed = false;
}

} // namespace season

} // namespace tolvane
