#include "teamsheets/teamsheets.h"

#include "conversion/valueconversion.h"
#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/seasonstatements.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <array>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tolvane {

namespace teamsheets {

namespace {

using gamepaths::kChangesSuffix;
using gamepaths::kCurrentTeamSuffix;
using gamepaths::kDefaultTeamSuffix;
using gamepaths::kNameListSuffix;

bool isCoachFolder(const QString& name) {
    return name == QLatin1String("coach") || name == QLatin1String("Coach");
}

bool sameFolder(const QString& a, const QString& b) {
    std::error_code error;
    return std::filesystem::equivalent(std::filesystem::path(a.toStdU16String()),
                                       std::filesystem::path(b.toStdU16String()), error);
}

// A folder whose name is a team's, or which the file system resolves to a team's folder
// (on a file system that ignores letter case, "cats" is the folder of team "Cats").
bool isTeamFolder(const QString& slotFolder, const QString& name, const QSet<QString>& teams,
                  const QStringList& teamNames) {
    if (teams.contains(name))
        return true;
    for (const QString& team : teamNames) {
        if (name.compare(team, Qt::CaseInsensitive) == 0 &&
            sameFolder(gamepaths::teamFolder(slotFolder, name),
                       gamepaths::teamFolder(slotFolder, team)))
            return true;
    }
    return false;
}

// Empties and removes a folder that belongs to no team. Only its ordinary files are
// deleted; a folder that holds anything else (sub-folders, hidden files) is left whole
// and stops the run, since removing it would take more than the sweep may delete.
void removeStrayFolder(const QString& folder) {
    if (const QString problem = strayFolderProblem(folder); !problem.isEmpty())
        throw PatchError(QStringLiteral("Cannot remove a folder that belongs to no team"), folder,
                         problem);
    const QDir dir(folder);
    for (const QString& file : dir.entryList(QDir::Files | QDir::NoSymLinks))
        fileops::removeFile(dir.filePath(file));
    fileops::removeEmptyFolder(folder);
}

} // namespace

QStringList strayFolders(const QString& slotFolder, const QStringList& teamNames) {
    const QSet<QString> teams(teamNames.begin(), teamNames.end());
    QStringList stray;
    for (const QString& name :
         QDir(slotFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (!isCoachFolder(name) && !isTeamFolder(slotFolder, name, teams, teamNames))
            stray << gamepaths::teamFolder(slotFolder, name);
    }
    return stray;
}

QString strayFolderProblem(const QString& folder) {
    const QDir dir(folder);
    const QStringList all =
        dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    const QStringList files = dir.entryList(QDir::Files | QDir::NoSymLinks);
    if (all.size() == files.size())
        return QString();
    return QStringLiteral("It holds sub-folders or hidden files. Move them away or remove the "
                          "folder yourself, then run the update again.");
}

void sweepStrayFolders(const QString& slotFolder, const QStringList& teamNames) {
    // The listing is taken once; removing a folder does not disturb the walk.
    for (const QString& folder : strayFolders(slotFolder, teamNames))
        removeStrayFolder(folder);
}

void resetTeamSheets(const QString& slotFolder, const QStringList& teamNames) {
    for (const QString& team : teamNames) {
        for (const QLatin1String suffix :
             {kNameListSuffix, kChangesSuffix, kDefaultTeamSuffix, kCurrentTeamSuffix}) {
            const QString path = gamepaths::teamFile(slotFolder, team, suffix);
            if (fileops::entryExists(path))
                fileops::removeFile(path);
        }
    }
    for (const QString& team : teamNames)
        fileops::appendLines(gamepaths::teamFile(slotFolder, team, kChangesSuffix),
                             {team + QStringLiteral(" Changes to Team for current round"),
                              QStringLiteral("IN"), QStringLiteral("OUT")});
    for (const QString& team : teamNames)
        fileops::appendLines(gamepaths::teamFile(slotFolder, team, kDefaultTeamSuffix),
                             {team + QStringLiteral(" Default Team")});
    for (const QString& team : teamNames)
        fileops::appendLines(gamepaths::teamFile(slotFolder, team, kCurrentTeamSuffix),
                             {team + QStringLiteral(" Current Team")});
}

void writeLineupLists(SeasonDatabase& db, const QString& slotFolder) {
    // The rows of "SELECT * From Ratings", which SQLite returns in table order, with only
    // the two columns the pass reads.
    Recordset rows(db, seasonstatements::lineupNames());
    using namespace seasonschema;
    const int teamColumn = rows.requireColumn(kRatingsColumns[Team].name, kRatingsTable);
    const int nameColumn = rows.requireColumn(kRatingsColumns[Name].name, kRatingsTable);

    // Names are gathered per team in table order and each file is appended to once: the
    // same bytes as a line at a time, without three opens per player.
    QHash<QString, qsizetype> teamIndex;
    std::vector<std::pair<QString, QStringList>> lineups;
    for (; !rows.eof(); rows.moveNext()) {
        QString team;
        QString name;
        try {
            team = values::toText(rows.value(teamColumn));
            const QVariant value = rows.value(nameColumn);
            // The game's tools print an empty database value as the word Null.
            name = value.isNull() ? QStringLiteral("Null") : values::toText(value);
        } catch (const values::ValueError& e) {
            // The check has read every name; the database changed since.
            throw PatchError(QStringLiteral("Cannot read the players' names"),
                             QStringLiteral("Table Ratings, row %1").arg(rows.value(2).toString()),
                             e.reason());
        }
        auto it = teamIndex.constFind(team);
        if (it == teamIndex.constEnd()) {
            it = teamIndex.insert(team, qsizetype(lineups.size()));
            lineups.emplace_back(team, QStringList());
        }
        lineups[*it].second << name;
    }
    for (const auto& [team, names] : lineups) {
        fileops::appendLines(gamepaths::teamFile(slotFolder, team, kNameListSuffix), names);
        fileops::appendLines(gamepaths::teamFile(slotFolder, team, kCurrentTeamSuffix), names);
        fileops::appendLines(gamepaths::teamFile(slotFolder, team, kDefaultTeamSuffix), names);
    }
}

} // namespace teamsheets

} // namespace tolvane
