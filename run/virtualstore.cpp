#include "run/virtualstore.h"

#include "core/gamefolder.h"
#include "core/patcherror.h"

#include <QDir>
#include <QFileInfo>

namespace tolvane::virtualstore {

std::optional<GameFolder> folderFor(const GameFolder& game) {
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (local.isEmpty())
        return std::nullopt;
    // "C:/Program Files (x86)/Game" is kept as "Program Files (x86)/Game"; a path without a
    // drive keeps all of itself.
    QString path = QDir::fromNativeSeparators(QDir::cleanPath(game.path()));
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':'))
        path.remove(0, 2);
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return GameFolder(QDir::cleanPath(QDir::fromNativeSeparators(local) +
                                      QStringLiteral("/VirtualStore/") + path));
}

QStringList copies(const GameFolder& game, const QString& slotName) {
    const std::optional<GameFolder> store = folderFor(game);
    if (!store || !QFileInfo(store->path()).isDir())
        return {};
    QStringList found;
    for (const QString& path : {store->slotFolder(slotName), store->gameFixture()}) {
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            found << path;
    }
    return found;
}

QString setAsideFolderName() {
    return QStringLiteral("Old copies set aside by the 2009 Patch");
}

QString setAside(const GameFolder& game, const QStringList& copies) {
    const QString store = folderFor(game).value_or(game).path();
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
