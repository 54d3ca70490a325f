#include "teamsheets/teamsheets.h"

#include "conversion/valueconversion.h"
#include "core/cp1252.h"
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

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
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

// Whether name, in a team's folder, is one of the files the run writes for the team. Windows
// ignores letter case in file names, so there any spelling of them is one of them.
bool isRunFile(const QString& name, const QString& team) {
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    for (const QLatin1String suffix : {gamepaths::kTeamListSuffix, kNameListSuffix, kChangesSuffix,
                                       kDefaultTeamSuffix, kCurrentTeamSuffix}) {
        if (name.compare(team + suffix, cs) == 0)
            return true;
    }
    return false;
}

// Carries one entry of a kept folder: a link as a link, a folder with all it holds, a file
// linked or copied. skip names what is left behind.
void carryEntry(const QFileInfo& entry, const QString& target,
                const std::function<bool(const QString&)>& skip = {}) {
    if (entry.isSymLink()) {
        if (!QFile::link(entry.symLinkTarget(), target))
            throw PatchError(QStringLiteral("Cannot keep a link of the roster slot"),
                             entry.filePath(), QStringLiteral("The link could not be made."));
        return;
    }
    if (!entry.isDir()) {
        fileops::linkOrCopy(entry.filePath(), target);
        return;
    }
    fileops::createFolder(target);
    const QDir dir(entry.filePath());
    for (const QFileInfo& inner :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (skip && skip(inner.fileName()))
            continue;
        carryEntry(inner, target + QLatin1Char('/') + inner.fileName());
    }
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

void carryOver(const QString& oldSlot, const QString& newSlot, const QStringList& teamNames) {
    const QSet<QString> teams(teamNames.begin(), teamNames.end());
    const QDir dir(oldSlot);
    for (const QFileInfo& entry :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        const QString name = entry.fileName();
        const auto team = std::find_if(teamNames.begin(), teamNames.end(), [&](const QString& t) {
            return t.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (entry.isSymLink() && team != teamNames.end())
            continue; // the run's writes must stay in the slot: the team gets a folder
        if (!entry.isDir() || entry.isSymLink() || isCoachFolder(name)) {
            carryEntry(entry, newSlot + QLatin1Char('/') + name);
            continue;
        }
        if (!isTeamFolder(oldSlot, name, teams, teamNames))
            continue;
        // A folder that the file system takes for the team's (in another letter case) is its
        // folder; in the new slot it takes the team's own spelling, which the run writes to.
        const QString owner = teams.contains(name) ? name : *team;
        carryEntry(entry, gamepaths::teamFolder(newSlot, owner),
                   [&](const QString& file) { return isRunFile(file, owner); });
    }
}

std::vector<LineupEntry> readLineup(SeasonDatabase& db) {
    // The rows of "SELECT * From Ratings", which SQLite returns in table order, with only
    // the two columns the pass reads.
    Recordset rows(db, seasonstatements::lineupNames());
    using namespace seasonschema;
    const int teamColumn = rows.requireColumn(kRatingsColumns[Team].name, kRatingsTable);
    const int nameColumn = rows.requireColumn(kRatingsColumns[Name].name, kRatingsTable);
    std::vector<LineupEntry> lineup;
    for (; !rows.eof(); rows.moveNext()) {
        try {
            const QVariant name = rows.value(nameColumn);
            // The game's sheets show an empty database value as the word Null.
            lineup.push_back({values::toText(rows.value(teamColumn)),
                              name.isNull() ? QStringLiteral("Null") : values::toText(name)});
        } catch (const values::ValueError& e) {
            // The check has read every name; the database changed since.
            throw PatchError(QStringLiteral("Cannot read the players' names"),
                             QStringLiteral("Table Ratings, row %1").arg(rows.value(2).toString()),
                             e.reason());
        }
    }
    return lineup;
}

void writeTeamSheets(const QString& slotFolder, const QStringList& teamNames,
                     const std::vector<LineupEntry>& lineup) {
    // Each sheet is built whole in memory and written once, in Windows-1252 with CR LF line
    // ends. A path that the file system takes for another's (a team in two letter cases, on
    // Windows) is one sheet.
    std::vector<std::pair<QString, QByteArray>> sheets;
    QHash<QString, std::size_t> sheetOf;
    const auto sheet = [&](const QString& team, QLatin1String suffix) -> QByteArray& {
        const QString path = gamepaths::teamFile(slotFolder, team, suffix);
#ifdef Q_OS_WIN
        const QString key = path.toCaseFolded();
#else
        const QString& key = path;
#endif
        auto it = sheetOf.constFind(key);
        if (it == sheetOf.constEnd()) {
            it = sheetOf.insert(key, sheets.size());
            sheets.emplace_back(path, QByteArray());
        }
        return sheets[*it].second;
    };
    const auto line = [](QByteArray& to, const QString& text) {
        appendCp1252(to, text);
        to.append("\r\n", 2);
    };
    for (const QString& team : teamNames) {
        QByteArray& changes = sheet(team, kChangesSuffix);
        line(changes, team + QStringLiteral(" Changes to Team for current round"));
        line(changes, QStringLiteral("IN"));
        line(changes, QStringLiteral("OUT"));
    }
    for (const QString& team : teamNames)
        line(sheet(team, kDefaultTeamSuffix), team + QStringLiteral(" Default Team"));
    for (const QString& team : teamNames)
        line(sheet(team, kCurrentTeamSuffix), team + QStringLiteral(" Current Team"));
    for (const LineupEntry& player : lineup) {
        for (const QLatin1String suffix : {kNameListSuffix, kCurrentTeamSuffix, kDefaultTeamSuffix})
            line(sheet(player.team, suffix), player.name);
    }
    for (const auto& [path, bytes] : sheets)
        fileops::writeNewFile(path, bytes);
}

} // namespace teamsheets

} // namespace tolvane
