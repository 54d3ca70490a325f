#pragma once

#include <QLatin1String>
#include <QString>

namespace tolvane {

// Where the game and the patch keep their files below the program folder, the game's
// folder into which the user unpacks the patch. File names are also what messages quote.
namespace gamepaths {

// The season database, in the program folder and, as the slot's copy, in a roster slot.
inline constexpr QLatin1String kSeasonDatabase("seasonStats.mdb");
// The new fixture, which the patch brings.
inline constexpr QLatin1String kNewFixture("schedule2009.dat");
// The roster slot the patch fills.
inline constexpr QLatin1String kDefaultSlot("default2009");
// The game's own fixture, kept under this name when the new one takes its place.
inline constexpr QLatin1String kKeptFixture("schedule2008_actual.dat");

// folder + "/" + kSeasonDatabase.
inline QString seasonDatabase(const QString& folder) {
    return folder + QLatin1Char('/') + kSeasonDatabase;
}
inline QString newFixture(const QString& programFolder) {
    return programFolder + QLatin1Char('/') + kNewFixture;
}
// The folder of the roster slots.
inline QString listsFolder(const QString& programFolder) {
    return programFolder + QLatin1String("/lists");
}
inline QString slotFolder(const QString& programFolder, const QString& slot) {
    return listsFolder(programFolder) + QLatin1Char('/') + slot;
}
// A team's folder in a roster slot, named as the team's text stands in the database.
inline QString teamFolder(const QString& slotFolder, const QString& team) {
    return slotFolder + QLatin1Char('/') + team;
}
// The files of a team's folder are named team + suffix.
inline QString teamFile(const QString& slotFolder, const QString& team, QLatin1String suffix) {
    return teamFolder(slotFolder, team) + QLatin1Char('/') + team + suffix;
}
// The team list file, which the game reads the team's players from.
inline constexpr QLatin1String kTeamListSuffix("_List.tvp");
// The team sheets: the name list, the changes for the current round, the default team and
// the current team.
inline constexpr QLatin1String kNameListSuffix(".txt");
inline constexpr QLatin1String kChangesSuffix("changes.txt");
inline constexpr QLatin1String kDefaultTeamSuffix("Default.txt");
inline constexpr QLatin1String kCurrentTeamSuffix("current22.txt");

// The folder of the game's fixtures.
inline QString schedulesFolder(const QString& programFolder) {
    return programFolder + QLatin1String("/data/schedules");
}
// The fixture the game plays, which the new fixture replaces.
inline QString gameFixture(const QString& programFolder) {
    return schedulesFolder(programFolder) + QLatin1String("/schedule2008.dat");
}
inline QString keptFixture(const QString& programFolder) {
    return schedulesFolder(programFolder) + QLatin1Char('/') + kKeptFixture;
}

} // namespace gamepaths

} // namespace tolvane
