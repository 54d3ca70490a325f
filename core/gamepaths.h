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
