#include "tools/season/reportcommand.h"

#include "core/bytes.h"
#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "core/wording.h"
#include "run/checkcommand.h"
#include "tools/season/pendingfile.h"
#include "tools/season/reportdata.h"
#include "tools/season/reporthtml.h"
#include "tools/season/scratchgame.h"
#include "tools/season/seasonfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <optional>

namespace tolvane {

namespace seasontool {

namespace {

using commandline::kInvalid;
using commandline::kOk;
using commandline::kTrouble;

const QString kAgainst = QStringLiteral("against");

const char* const kDescription =
    R"(Check the season database SEASON (SQLite or Access) as the update checks it,
and write what it found and what the update would make of it as HTML, one page
that needs nothing else (open it in any browser, offline too):
  - the check's summary, as tolvane-patch --check gives it, then every problem
    and warning, each linked to its team and player;
  - the balance of the league: per team, the mean overall rating of its best 22
    players, one standard deviation either side, and their lowest and highest;
  - per team, its players as the game will hold them: every rating the scales
    convert and the overall rating, named and written as tolvane-roster dump
    gives them, values the scales clamped marked; click a column to sort.
The check runs on a copy of SEASON in a temporary game folder, so that nothing
else is written; the update's files (schedule2009.dat) need not be there.)";

const char* const kDetails =
    R"(A season with problems is reported too: the page lists them, and the
players that do not convert are named but not shown. HTML is never replaced.)";

const char* const kExitStatus =
    R"(0 written (a season with problems too; they are also said
on standard error), 1 SEASON or OLD is not a season database that can be read,
2 usage error, a file that cannot be read, a team list of OLD that is not
valid, or HTML exists or cannot be written.)";

// Why a path cannot be used, or an empty text.
QString unreadable(const QString& path, bool folderToo) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1: cannot read: no such file").arg(QDir::toNativeSeparators(path));
    if (info.isDir() && !folderToo)
        return QStringLiteral("%1: cannot read: is a folder, not a file")
            .arg(QDir::toNativeSeparators(path));
    return QString();
}

// Says why the check could not open season as a season database.
int refuseUnopened(const commandline::Call& call, const season::ScratchGame& game) {
    for (const InputFinding& problem : game.problems())
        call.say(QStringLiteral("%1: %2").arg(
            game.seasonName(), commandline::oneLine(checkcommand::findingLine(problem))));
    return kInvalid;
}

// The slot OLD names: a roster slot folder, or a game folder's slot default2009.
QString slotFolderOf(const QString& folder) {
    const GameFolder game(folder);
    const QString slot = game.slotFolder(QLatin1String(gamepaths::kDefaultSlot));
    if (rosterdiff::slotTeamLists(folder).empty() && QFileInfo(slot).isDir())
        return slot;
    return folder;
}

// The earlier roster's team lists; a status when it cannot be read.
struct OldRoster {
    std::map<QString, TeamListFile> lists;
    QString described;
    QStringList notes;
    std::optional<int> failed;
};

OldRoster readOldRoster(const commandline::Call& call, const QString& against) {
    OldRoster old;
    if (QFileInfo(against).isDir()) {
        const QString slot = slotFolderOf(against);
        old.described = QStringLiteral("the roster slot %1").arg(QDir::toNativeSeparators(slot));
        old.lists = rosterdiff::slotTeamLists(slot);
        if (old.lists.empty())
            old.notes << QStringLiteral("%1 holds no team list: every player has joined.")
                             .arg(QDir::toNativeSeparators(slot));
        return old;
    }
    season::ScratchGame game(against);
    season::ReportCollector collector(true);
    game.check(collector.observer());
    if (!game.databaseOpened()) {
        old.failed = refuseUnopened(call, game);
        return old;
    }
    old.described = QStringLiteral("the team lists the update makes of the season database %1")
                        .arg(QDir::toNativeSeparators(against));
    const std::vector<InputFinding> problems = game.problems();
    if (!problems.empty())
        old.notes << QStringLiteral("That season has %1 (a report of it names them); its "
                                    "players that do not convert are left out.")
                         .arg(counted(qsizetype(problems.size()), "problem", "problems"));
    for (const season::ReportTeam& team : collector.teams())
        old.lists.emplace(team.name, season::teamListOf(team));
    return old;
}

void writeReport(const QString& target, const QByteArray& html) {
    season::PendingFile file(target);
    QFile out(file.path());
    if (!out.open(QIODevice::WriteOnly) || !bytes::writeWhole(out, html) || !out.flush())
        throw PatchError(QStringLiteral("Cannot write the file"), file.target(), out.errorString());
    out.close();
    file.commit();
}

} // namespace

ReportCommand::ReportCommand()
    : Command({
          .name = QStringLiteral("report"),
          .arguments = QStringLiteral("SEASON HTML"),
          .summary = QStringLiteral("an HTML page of what the update makes of a season"),
          .description = QLatin1String(kDescription),
          .options = {{{kAgainst},
                       QStringLiteral("also list who joined each team, who left and whose\n"
                                      "values changed against OLD, as 'tolvane-roster diff'\n"
                                      "finds them: OLD is a roster slot folder\n"
                                      "(lists/default2009), a game folder (its slot\n"
                                      "default2009), or a season database (the team lists\n"
                                      "the update would make of it)"),
                       QStringLiteral("OLD")}},
          .details = QLatin1String(kDetails),
          .exitStatus = QLatin1String(kExitStatus),
          .files = 2,
          .filesInWords = QStringLiteral("a season database and an HTML file"),
      }) {}

int ReportCommand::execute(const commandline::Call& call) const {
    const QString seasonPath = call.files()[0];
    const QString target = call.files()[1];
    const QString against = call.value(kAgainst);
    for (const QString& why : {unreadable(seasonPath, false),
                               against.isEmpty() ? QString() : unreadable(against, true)}) {
        if (!why.isEmpty()) {
            call.say(why);
            return kTrouble;
        }
    }
    if (fileops::entryExists(target))
        return refuseExisting(call, target);
    if (!QFileInfo(target).dir().exists()) {
        call.say(QStringLiteral("%1: cannot write: its folder does not exist")
                     .arg(QDir::toNativeSeparators(target)));
        return kTrouble;
    }

    season::ReportContent content;
    content.season = seasonPath;
    {
        season::ScratchGame game(seasonPath);
        season::ReportCollector collector(!against.isEmpty());
        content.imports = game.check(collector.observer());
        if (!game.databaseOpened())
            return refuseUnopened(call, game);
        content.summary = game.summary();
        content.problems = game.problems();
        content.warnings = game.warnings();
        content.teams = std::move(collector.teams());
    }
    if (!against.isEmpty()) {
        OldRoster old = readOldRoster(call, against);
        if (old.failed)
            return *old.failed;
        season::Comparison comparison = season::compareTeams(old.lists, content.teams);
        comparison.against = against;
        comparison.described = old.described;
        comparison.notes = old.notes;
        content.comparison = std::move(comparison);
    }
    writeReport(target, season::reportHtml(content));
    if (!content.imports)
        call.say(QStringLiteral("%1: %2 The report lists every problem.")
                     .arg(QDir::toNativeSeparators(seasonPath), content.summary));
    return kOk;
}

} // namespace seasontool

} // namespace tolvane
