#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace tolvane {

struct TeamListFile;

// Compares rosters as their authors see them: players added and removed, matched by first
// and last name within a team, and every field that changed for a player in both.
namespace rosterdiff {

// A player of a list: his record's index in it and the name the comparison gives him
// ("Sam Jones"; the second of a name in the list "Sam Jones #2").
struct ListedPlayer {
    std::size_t record;
    QString label;
};

// A field that differs for a player in both lists, each side as the comparison shows it:
// texts quoted, "(none)" for a field only on the other side.
struct FieldChange {
    QString field;
    QString oldText;
    QString newText;
};

struct ChangedPlayer {
    ListedPlayer oldPlayer;
    ListedPlayer newPlayer;
    std::vector<FieldChange> changes; // in the fields' disk order
};

// What tells two team lists apart.
struct ListDifferences {
    std::vector<ListedPlayer> removed;  // only in the old list, in its order
    std::vector<ListedPlayer> added;    // only in the new list, in its order
    std::vector<ChangedPlayer> changed; // in the new list's order
    // A changed order of players and differences outside the records, as lines.
    QStringList rest;

    bool empty() const {
        return removed.empty() && added.empty() && changed.empty() && rest.empty();
    }
};

// The differences between two team lists. The k-th player of a name in oldList is matched
// with the k-th of that name in newList.
ListDifferences differences(const TeamListFile& oldList, const TeamListFile& newList);

// The differences between two team lists, one line each, every line led by prefix:
// "removed Jo Bell (record 3)", "added Sam Jones (record 12)", "Ann Lee: overall 71.5 ->
// 72", then a changed order of players and differences outside the records (how the list
// begins, bytes after its last record).
QStringList compareLists(const TeamListFile& oldList, const TeamListFile& newList,
                         const QString& prefix = QString());

// The same for two team list files on disk.
QStringList compareListFiles(const QString& oldPath, const QString& newPath);

// Two roster slot folders: per team (a folder holding team + "_List.tvp"), in team order,
// the lines of compareLists led by "team: "; then every other file, by its path in the slot,
// that differs or is only on one side. Throws a PatchError for a file that cannot be read
// or a team list that is not valid.
QStringList compareSlotFolders(const QString& oldFolder, const QString& newFolder);

// The team lists of a roster slot folder by team: each folder in it that holds team +
// "_List.tvp". Throws a PatchError for a file that cannot be read or a team list that is not
// valid.
std::map<QString, TeamListFile> slotTeamLists(const QString& slotFolder);

} // namespace rosterdiff

} // namespace tolvane
