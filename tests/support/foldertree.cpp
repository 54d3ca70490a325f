#include "support/foldertree.h"

#include "core/gamefolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace tolvane {

FolderTree snapshotTree(const QString& root) {
    FolderTree tree;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString rel = base.relativeFilePath(path);
        if (info.isDir())
            tree[rel + QLatin1Char('/')] = QByteArray();
        else
            tree[rel] = readAll(path);
    }
    return tree;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return file.readAll();
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

FolderTree snapshotGame(const QString& gameFolder) {
    FolderTree tree = snapshotTree(gameFolder);
    const QString backup = QFileInfo(GameFolder(gameFolder).backupFolder()).fileName() + '/';
    std::erase_if(tree, [&](const auto& entry) { return entry.first.startsWith(backup); });
    return tree;
}

} // namespace tolvane
