#pragma once

#include <QString>
#include <QStringList>

namespace tolvane {

class SeasonDatabase;

// The plain-text team sheets of a roster slot: per team a name list, a changes sheet,
// a default team and a current team, each named team + suffix in the team's folder.
namespace teamsheets {

// The slot's folders that belong to no team, which the sweep removes; coach folders stay,
// and so does a folder that the file system takes for a team's (in another letter case).
QStringList strayFolders(const QString& slotFolder, const QStringList& teamNames);
// Why the sweep would not remove a folder that belongs to no team, or an empty text: the
// sweep deletes ordinary files and nothing else.
QString strayFolderProblem(const QString& folder);

// Removes the slot's stray folders. A folder that holds more than ordinary files stops the
// sweep before anything in it is deleted.
void sweepStrayFolders(const QString& slotFolder, const QStringList& teamNames);

// Deletes every team's old sheets and writes the changes, default team and current team
// files afresh with their header lines.
void resetTeamSheets(const QString& slotFolder, const QStringList& teamNames);

// Appends every player's name, in the order of "SELECT * From Ratings", to the name list,
// current team and default team files of the player's team.
void writeLineupLists(SeasonDatabase& db, const QString& slotFolder);

} // namespace teamsheets

} // namespace tolvane
