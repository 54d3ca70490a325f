#pragma once

#include <QLatin1String>
#include <QString>

namespace tolvane {

// The names of the files the game and the patch keep below the game's folder. File names are
// also what messages quote.
namespace gamepaths {

// The season database, in the game's folder and, as the slot's copy, in a roster slot.
inline constexpr QLatin1String kSeasonDatabase("seasonStats.mdb");
// The new fixture, which the patch brings.
inline constexpr QLatin1String kNewFixture("schedule2009.dat");
// The roster slot the patch fills.
inline constexpr QLatin1String kDefaultSlot("default2009");
// The game's own fixture, kept under this name when the new one takes its place.
inline constexpr QLatin1String kKeptFixture("schedule2008_actual.dat");

// The team list file, which the game reads the team's players from.
inline constexpr QLatin1String kTeamListSuffix("_List.tvp");
// The team sheets: the name list, the changes for the current round, the default team and
// the current team.
inline constexpr QLatin1String kNameListSuffix(".txt");
inline constexpr QLatin1String kChangesSuffix("changes.txt");
inline constexpr QLatin1String kDefaultTeamSuffix("Default.txt");
inline constexpr QLatin1String kCurrentTeamSuffix("current22.txt");

// Paths below the game's folder, as the game's folder and folders laid out like it (a
// backup) hold them.
inline constexpr QLatin1String kListsFolder("lists");
inline constexpr QLatin1String kSchedulesFolder("data/schedules");
inline constexpr QLatin1String kGameFixture("data/schedules/schedule2008.dat");
inline constexpr QLatin1String kKeptFixturePath("data/schedules/schedule2008_actual.dat");
inline QString slotPath(const QString& slot) {
    return kListsFolder + QLatin1Char('/') + slot;
}

// The slot's copy of the season database.
inline QString slotDatabase(const QString& slotFolder) {
    return slotFolder + QLatin1Char('/') + kSeasonDatabase;
}
// A team's folder in a roster slot, named as the team's text stands in the database.
inline QString teamFolder(const QString& slotFolder, const QString& team) {
    return slotFolder + QLatin1Char('/') + team;
}
// The files of a team's folder are named team + suffix.
inline QString teamFile(const QString& slotFolder, const QString& team, QLatin1String suffix) {
    return teamFolder(slotFolder, team) + QLatin1Char('/') + team + suffix;
}

} // namespace gamepaths

// The game's folder, into which players unpack the patch, and every path the patch uses
// below it. The program folder is this folder, unless it is given on the command line.
class GameFolder {
public:
    explicit GameFolder(QString path)
        : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    // A path below the folder.
    QString at(const QString& relative) const { return m_path + QLatin1Char('/') + relative; }

    // The season database the patch brings.
    QString seasonDatabase() const { return at(gamepaths::kSeasonDatabase); }
    // The new fixture the patch brings.
    QString newFixture() const { return at(gamepaths::kNewFixture); }
    // The folder of the roster slots, and a slot in it.
    QString listsFolder() const { return at(gamepaths::kListsFolder); }
    QString slotFolder(const QString& slot) const { return at(gamepaths::slotPath(slot)); }
    // The folder of the game's fixtures; the fixture the game plays, which the new fixture
    // replaces; the game's own, kept.
    QString schedulesFolder() const { return at(gamepaths::kSchedulesFolder); }
    QString gameFixture() const { return at(gamepaths::kGameFixture); }
    QString keptFixture() const { return at(gamepaths::kKeptFixturePath); }
    // The patch's own folder, which holds the game's files as they were before the last
    // update, and an update or restore while it is under way.
    QString backupFolder() const { return at(QLatin1String("2009 Patch backup")); }

    bool operator==(const GameFolder&) const = default;

private:
    QString m_path;
};

} // namespace tolvane
