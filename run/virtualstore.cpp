#include "run/virtualstore.h"

#include "core/gamepaths.h"
#include "core/patcherror.h"

#include <QDir>
#include <QFileInfo>

namespace tolvane::virtualstore {

QString folderFor(const QString& programFolder) {
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (local.isEmpty())
        return QString();
    // "C:/Program Files (x86)/Game" is kept as "Program Files (x86)/Game"; a path without a
    // drive keeps all of itself.
    QString path = QDir::fromNativeSeparators(QDir::cleanPath(programFolder));
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':'))
        path.remove(0, 2);
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return QDir::cleanPath(QDir::fromNativeSeparators(local) + QStringLiteral("/VirtualStore/") +
                           path);
}

QStringList copies(const QString& programFolder, const QString& slotName) {
    const QString store = folderFor(programFolder);
    if (store.isEmpty() || !QFileInfo(store).isDir())
        return {};
    QStringList found;
    for (const QString& path :
         {gamepaths::slotFolder(store, slotName), gamepaths::gameFixture(store)}) {
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            found << path;
    }
    return found;
}

QString setAsideFolderName() {
    return QStringLiteral("Old copies set aside by the 2009 Patch");
}

QString setAside(const QString& programFolder, const QStringList& copies) {
    const QString store = folderFor(programFolder);
    const QString operation = QStringLiteral("Cannot set the VirtualStore copies aside");
    // A folder of its own, never one an earlier run filled.
    QString aside = QDir(store).filePath(setAsideFolderName());
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = QDir(store).filePath(QStringLiteral("%1 (%2)").arg(setAsideFolderName()).arg(n));
    for (const QString& copy : copies) {
        const QString target = QDir(aside).filePath(QDir(store).relativeFilePath(copy));
        if (!QDir().mkpath(QFileInfo(target).path()))
            throw PatchError(operation, QFileInfo(target).path(),
                             QStringLiteral("The folder could not be made."));
        if (!QDir().rename(copy, target))
            throw PatchError(operation, copy,
                             QStringLiteral("It could not be moved to %1.")
                                 .arg(QDir::toNativeSeparators(target)));
    }
    return aside;
}

} // namespace tolvane::virtualstore
