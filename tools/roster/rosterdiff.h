#pragma once

#include <QString>
#include <QStringList>

namespace tolvane {

struct TeamListFile;

// Compares rosters as their authors see them: players added and removed, matched by first
// and last name within a team, and every field that changed for a player in both.
namespace rosterdiff {

// The differences between two team lists, one line each, every line led by prefix:
// "removed Jo Bell (record 3)", "added Sam Jones (record 12)", "Ann Lee: overall 71.5 ->
// 72", then a changed order of players and differences outside the records (how the list
// begins, bytes after its last record). The k-th player of a name in oldList is matched
// with the k-th of that name in newList.
QStringList compareLists(const TeamListFile& oldList, const TeamListFile& newList,
                         const QString& prefix = QString());

// The same for two team list files on disk.
QStringList compareListFiles(const QString& oldPath, const QString& newPath);

// Two roster slot folders: per team (a folder holding team + "_List.tvp"), in team order,
// the lines of compareLists led by "team: "; then every other file, by its path in the slot,
// that differs or is only on one side. Throws a PatchError for a file that cannot be read
// or a team list that is not valid.
QStringList compareSlotFolders(const QString& oldFolder, const QString& newFolder);

} // namespace rosterdiff

} // namespace tolvane
