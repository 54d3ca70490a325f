#pragma once

#include <QString>
#include <QStringList>

namespace tolvane {

class RunUi;
class SeasonDatabase;

// The plain-text team sheets of a roster slot: per team a name list, a changes sheet,
// a default team and a current team, each named team + suffix in the team's folder.
namespace teamsheets {

// Sweeps the slot folder of folders that belong to no team (coach folders stay), sets
// the progress to 90, deletes every team's old sheets and writes the changes, default
// team and current team files afresh with their header lines.
void resetTeamSheets(const QString& slotFolder, const QStringList& teamNames, RunUi& ui);

// Appends every player's name, in the order of "SELECT * From Ratings", to the name list,
// current team and default team files of the player's team.
void writeLineupLists(SeasonDatabase& db, const QString& slotFolder);

// The sheet file of a team: team folder + "/" + team + suffix.
QString sheetPath(const QString& slotFolder, const QString& team, const QString& suffix);

} // namespace teamsheets

} // namespace tolvane
