#pragma once

#include <QByteArray>
#include <QString>

#include <map>

namespace tolvane {

// Every file and folder below a root, with file contents, for before/after comparisons.
// Keys are paths relative to the root; folders end in '/'.
using FolderTree = std::map<QString, QByteArray>;

FolderTree snapshotTree(const QString& root);
// The game's folder as the game sees it: without the patch's own backup folder.
FolderTree snapshotGame(const QString& gameFolder);
// Reads a whole file; an unreadable file fails the current test.
QByteArray readAll(const QString& path);
// Writes a whole file, creating it.
void writeAll(const QString& path, const QByteArray& data);

} // namespace tolvane
