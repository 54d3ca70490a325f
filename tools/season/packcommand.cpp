#include "tools/season/packcommand.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "core/wording.h"
#include "run/checkcommand.h"
#include "run/findings.h"
#include "tools/season/pendingfile.h"
#include "tools/season/scratchgame.h"
#include "tools/season/seasonfiles.h"
#include "tools/zip/zipfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <exception>
#include <optional>

namespace tolvane {

namespace seasontool {

namespace {

using commandline::kInvalid;
using commandline::kOk;
using commandline::kTrouble;

const char* const kDescription =
    R"(Write ZIP, the zip that players unpack into the game's folder: the season
database SEASON (SQLite or Access) as seasonStats.mdb, the fixture FIXTURE as
schedule2009.dat, and every file of the patch program for players. On Windows
the program's files are taken from the folder of tolvane-season.exe, where the
authors' zip put them: tolvane-patch.exe, tolvane-patch.com, "Restore previous
roster.cmd" and README.txt.
Elsewhere, and on Windows too if you like, name the players' Windows zip of the
patch with --program; each of its files comes along.

First SEASON and FIXTURE are checked exactly as the update checks them, in a
game folder of pack's own in a temporary folder, with nothing written
anywhere else. Any problem that would keep the update from starting is
reported on standard error as 'tolvane-patch --check' words it, and ZIP is not
written. Warnings do not stop the pack; pack counts them, and
'tolvane-patch --check' lists them.

The same files give the same ZIP, byte for byte: its entries come in a fixed
order, compressed alike, each dated as the newest file of the patch program.
ZIP must not exist; it is never replaced.)";

const char* const kExitStatus =
    R"(0 written, 1 the update would not take SEASON and FIXTURE (the
problems listed), 2 usage error, a file that cannot be read, or ZIP exists or
cannot be written.)";

const QLatin1String kProgramOption("program");
// The file without which a zip is not the patch program for players.
const QLatin1String kPatchProgram("tolvane-patch.exe");

// Why a file named on the command line cannot be read, or an empty text.
QString unreadable(const QString& path) {
    const QFileInfo info(path);
    if (info.isFile())
        return QString();
    return QStringLiteral("%1: cannot read: %2")
        .arg(QDir::toNativeSeparators(path), info.exists()
                                                 ? QStringLiteral("is a folder, not a file")
                                                 : QStringLiteral("no such file"));
}

bool sameName(const QString& a, const QString& b) {
    // As Windows, where players unpack the zip, compares file names.
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

#ifdef Q_OS_WIN
// The players' files as the authors' zip put them beside this program.
std::vector<zipfile::Entry> programBesideTool() {
    const QDir folder(QCoreApplication::applicationDirPath());
    std::vector<zipfile::Entry> entries;
    for (const QString& name : QStringLiteral(TOLVANE_PLAYERS_FILES).split(QLatin1Char(','))) {
        const QString path = folder.filePath(name);
        if (!QFileInfo(path).isFile())
            throw PatchError(QStringLiteral("Cannot read the patch program's file"),
                             QDir::toNativeSeparators(path),
                             QStringLiteral("No such file. Unpack the authors' zip again, or "
                                            "name the players' zip with --program."));
        entries.push_back({name, fileops::readWholeFile(path), QFileInfo(path).lastModified()});
    }
    return entries;
}
#endif

// The patch program's files, from --program or from beside this program; nothing when
// neither can be had, which call has said.
std::optional<std::vector<zipfile::Entry>> programFiles(const commandline::Call& call) {
    std::vector<zipfile::Entry> entries;
    if (call.isSet(kProgramOption)) {
        const QString zip = call.value(kProgramOption);
        if (const QString why = unreadable(zip); !why.isEmpty()) {
            call.say(why);
            return std::nullopt;
        }
        entries = zipfile::readFile(zip);
        const QString shown = QDir::toNativeSeparators(zip);
        const auto has = [&](const QString& name) {
            return std::ranges::any_of(entries,
                                       [&](const auto& e) { return sameName(e.name, name); });
        };
        if (!has(kPatchProgram)) {
            call.say(QStringLiteral("%1: holds no %2; --program takes the players' Windows zip "
                                    "of the patch")
                         .arg(shown, kPatchProgram));
            return std::nullopt;
        }
        for (const QLatin1String input : {gamepaths::kSeasonDatabase, gamepaths::kNewFixture}) {
            if (has(input)) {
                call.say(QStringLiteral("%1: holds a %2 already; --program takes the players' "
                                        "Windows zip of the patch, without a season")
                             .arg(shown, input));
                return std::nullopt;
            }
        }
        return entries;
    }
#ifdef Q_OS_WIN
    return programBesideTool();
#else
    call.usage(QStringLiteral("name the players' Windows zip of the patch with --program"));
    return std::nullopt;
#endif
}

// Checks the season and the fixture in a scratch game folder; true when the update would
// take them. Reports the problems, or counts the warnings, on call's standard error.
bool checked(const commandline::Call& call, const QByteArray& season, const QByteArray& fixture,
             const QString& seasonPath) {
    season::ScratchGame game(season, fixture, QDir::toNativeSeparators(seasonPath));
    bool imports = false;
    try {
        imports = game.check();
    } catch (const std::exception& e) {
        throw PatchError(QStringLiteral("The check stopped"), QString(), exceptionText(e));
    }
    if (!imports) {
        for (const InputFinding& problem : game.problems())
            commandline::writeLine(call.err(), checkcommand::findingLine(problem));
        commandline::writeLine(call.err(), game.summary());
    } else if (const std::vector<InputFinding> warnings = game.warnings(); !warnings.empty()) {
        call.say(QStringLiteral("note: %1; 'tolvane-patch --check' lists them")
                     .arg(counted(std::ssize(warnings), "warning", "warnings")));
    }
    return imports;
}

void writeZip(const QString& path, const std::vector<zipfile::Entry>& entries) {
    const QByteArray bytes = zipfile::write(entries, QDir::toNativeSeparators(path));
    season::PendingFile file(path);
    QFile zip(file.path());
    if (!zip.open(QIODevice::WriteOnly) || zip.write(bytes) != bytes.size() || !zip.flush())
        throw PatchError(QStringLiteral("Cannot write the file"), QDir::toNativeSeparators(path),
                         zip.errorString());
    zip.close();
    file.commit();
}

} // namespace

PackCommand::PackCommand()
    : Command({
          .name = QStringLiteral("pack"),
          // --program stands under the options.
          .arguments = QStringLiteral("SEASON FIXTURE ZIP"),
          .summary = QStringLiteral("zip a checked season and fixture for players"),
          .description = QLatin1String(kDescription),
          .options = {{{kProgramOption},
                       QStringLiteral("take the patch program from the players' Windows zip\n"
                                      "WINDOWS_ZIP (tolvane-patch-VERSION-windows-x64.zip)"),
                       QStringLiteral("WINDOWS_ZIP")}},
          .exitStatus = QLatin1String(kExitStatus),
          .files = 3,
          .filesInWords = QStringLiteral("a season database, a fixture and a zip file"),
      }) {}

int PackCommand::execute(const commandline::Call& call) const {
    const QString seasonPath = call.files()[0];
    const QString fixturePath = call.files()[1];
    const QString zip = call.files()[2];
    for (const QString& input : {seasonPath, fixturePath}) {
        if (const QString why = unreadable(input); !why.isEmpty()) {
            call.say(why);
            return kTrouble;
        }
    }
    if (fileops::entryExists(zip))
        return refuseExisting(call, zip);

    std::vector<zipfile::Entry> entries;
    try {
        const std::optional<std::vector<zipfile::Entry>> program = programFiles(call);
        if (!program)
            return kTrouble;
        // Every entry takes the program's date: the zip is as new as the patch in it.
        QDateTime newest;
        for (const zipfile::Entry& entry : *program)
            newest = std::max(newest, entry.modified);
        entries.push_back({gamepaths::kSeasonDatabase, fileops::readWholeFile(seasonPath), newest});
        entries.push_back({gamepaths::kNewFixture, fileops::readWholeFile(fixturePath), newest});
        if (!checked(call, entries[0].data, entries[1].data, seasonPath))
            return kInvalid;
        for (zipfile::Entry entry : *program) {
            entry.modified = newest;
            entries.push_back(std::move(entry));
        }
        writeZip(zip, entries);
    } catch (const PatchError& error) {
        call.say(commandline::describe(error));
        return kTrouble;
    }
    QStringList names;
    for (const zipfile::Entry& entry : entries)
        names << entry.name;
    commandline::writeLine(call.out(),
                           QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(zip),
                                                        names.join(QStringLiteral(", "))));
    return kOk;
}

} // namespace seasontool

} // namespace tolvane
