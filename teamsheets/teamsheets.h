#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace tolvane {

class SeasonDatabase;

// The plain-text team sheets of a roster slot: per team a name list, a changes sheet,
// a default team and a current team, each named team + suffix in the team's folder.
namespace teamsheets {

// The slot's folders that belong to no team, which a run leaves behind; coach folders stay,
// and so does a folder that the file system takes for a team's (in another letter case).
QStringList strayFolders(const QString& slotFolder, const QStringList& teamNames);
// Why a folder that belongs to no team should stop a run, or an empty text: it holds more
// than ordinary files, which the run would leave behind in the slot it replaces.
QString strayFolderProblem(const QString& folder);

// Carries into the new slot folder newSlot what a run keeps of the slot oldSlot: every file
// directly in it, and its coach and team folders with all they hold but each team's list
// and sheets, which the run writes anew. Folders that belong to no team stay behind, and
// so does what cannot be a file or folder (a link is carried as a link). Files are linked
// where the file system has links, else copied.
void carryOver(const QString& oldSlot, const QString& newSlot, const QStringList& teamNames);

// A player of the lineup pass: his team's text and his name as the sheets show it.
struct LineupEntry {
    QString team;
    QString name;
};

// Every player's team and name, in the order of "SELECT * From Ratings"; a name that holds
// no value is the word Null.
std::vector<LineupEntry> readLineup(SeasonDatabase& db);

// Writes every team's sheets, new files all, into the team folders of slotFolder: the
// changes sheet, the default team and the current team with their header lines, and each
// player's name of lineup, in its order, in the name list, current team and default team
// files of the player's team.
void writeTeamSheets(const QString& slotFolder, const QStringList& teamNames,
                     const std::vector<LineupEntry>& lineup);

} // namespace teamsheets

} // namespace tolvane
