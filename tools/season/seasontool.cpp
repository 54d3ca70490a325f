#include "tools/season/seasontool.h"

#include "core/commandline.h"
#include "core/fileops.h"
#include "core/patcherror.h"
#include "core/wording.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/sqlite.h"
#include "tools/season/pendingfile.h"
#include "tools/season/seasonexport.h"
#include "tools/season/seasonimport.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace tolvane {

namespace seasontool {
namespace {

using commandline::Command;
using commandline::kInvalid;
using commandline::kOk;
using commandline::kTrouble;

const commandline::Tool kTool("tolvane-season");

const char* const kMainHelp = R"(Usage: tolvane-season COMMAND [OPTION]... FILE...
Makes season databases (seasonStats.mdb) without Microsoft Access, for the
authors of season patches: an empty one, or one built from CSV files of its two
tables, which any spreadsheet program opens and saves; and the CSV files of any
season.

Commands:
  new FILE           write an empty season database
  export SEASON DIR  write DIR/Ratings.csv and DIR/qz.csv from a season database
  import DIR FILE    build a season database from DIR/Ratings.csv and DIR/qz.csv

Options:
  -h, --help  show this help and exit

Run 'tolvane-season COMMAND --help' for a command's details and exit status.
)";

const char* const kNewHelp = R"(Usage: tolvane-season new FILE
Write an empty season database FILE (SQLite): the tables Ratings and qz with
every column the update reads, named and typed as it reads them, and no rows.
'export' turns it into two CSV files of header rows alone, to fill in a
spreadsheet.

FILE must not exist; it is never replaced.

Options:
  -h, --help  show this help and exit

Exit status: 0 written, 2 usage error, FILE exists or cannot be written.
)";

const char* const kExportHelp = R"(Usage: tolvane-season export SEASON DIR
Write the tables of the season database SEASON (SQLite or Access) as
DIR/Ratings.csv and DIR/qz.csv, creating DIR when it is missing. Each file has a
header row of the column names as SEASON spells them, then one row per database
row, in table order.

The files are CSV as spreadsheets read it: UTF-8 with a byte-order mark, fields
separated by commas and quoted as RFC 4180 has it where needed, lines ending in
CR LF. Numbers are written in the fewest digits that read back to the same
value, dates as YYYY-MM-DD (with HH:MM:SS where there is a time), no value
(NULL) as an empty field and a zero-length text as "". 'import' of the files
gives back a season that exports to the same bytes. A table that SEASON lacks
is written as the header of its columns alone, with a note.

Neither file may exist: they are never replaced, and both are written or
neither.

Options:
  -h, --help  show this help and exit

Exit status: 0 written, 1 SEASON is not a season database that can be read,
2 usage error, SEASON cannot be read, or a CSV file exists or cannot be written.
)";

const char* const kImportHelp = R"(Usage: tolvane-season import DIR FILE
Build the season database FILE (SQLite) from DIR/Ratings.csv and DIR/qz.csv, as
'export' writes them or a spreadsheet saves them: UTF-8 with or without a
byte-order mark, lines ending in CR LF or LF, fields separated by ',' or ';'
(told from the first line, which names the columns) and quoted as RFC 4180 has
it. Columns may come in any order and their names in any letter case; columns
the update does not read are kept as text. Empty rows are passed over.

An empty field is no value (NULL), "" a zero-length text. In a file separated
by ';' a number may have a decimal comma (180,5), as European spreadsheets
write it. Dates are YYYY-MM-DD, optionally followed by HH:MM:SS.

Every cell is checked as the update checks it, and every problem is reported as
  DIR/FILE.csv:LINE: COLUMN: REASON
with nothing written: a value that is no number or out of its range, a date
that cannot be read, a name that cannot be split into first and last name, a
team name that cannot be a folder name, a column missing from the first line,
a row with too many or too few fields. A position value in qz is checked where
a player's name finds its row, as the update reads it.

FILE must not exist; it is never replaced.

Options:
  -h, --help  show this help and exit

Exit status: 0 written, 1 the CSV files have problems (all listed), 2 usage
error, a CSV file cannot be read, or FILE exists or cannot be written.
)";

const Command kNew{"new", kNewHelp, 1, "one season database file"};
const Command kExport{"export", kExportHelp, 2, "a season database and a folder"};
const Command kImport{"import", kImportHelp, 2, "a folder and a season database file"};

const char* const kRatingsCsv = "Ratings.csv";
const char* const kQzCsv = "qz.csv";

void say(QIODevice& err, const QString& text) {
    kTool.say(err, text);
}

// The files of a command, or nothing after --help or a usage error, with the status to
// exit with.
std::optional<QStringList> parse(const Command& command, const QStringList& arguments,
                                 QIODevice& out, QIODevice& err, int& status) {
    QCommandLineParser parser;
    return kTool.parseCommand(command, parser, arguments, out, err, status);
}

// Says that path exists, and returns kTrouble.
int refuseExisting(QIODevice& err, const QString& path) {
    say(err, QStringLiteral("%1: exists already; tolvane-season never replaces a file")
                 .arg(QDir::toNativeSeparators(path)));
    return kTrouble;
}

int newSeason(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    int status = kOk;
    const std::optional<QStringList> files = parse(kNew, arguments, out, err, status);
    if (!files)
        return status;
    const QString target = files->front();
    if (fileops::entryExists(target))
        return refuseExisting(err, target);
    try {
        season::PendingFile file(target);
        {
            SQLite::Database db = sqlite::open(file.path(), season::writeSeasonOperation());
            season::createEmptySeason(db);
        }
        file.commit();
    } catch (const PatchError& error) {
        say(err, commandline::describe(error));
        return kTrouble;
    }
    return kOk;
}

// Writes one table of db through file.
QStringList exportTable(SeasonDatabase& db, QLatin1String table,
                        std::span<const seasonschema::Column> reference,
                        season::PendingFile& file) {
    QFile csv(file.path());
    // The export gathers its own buffer.
    if (!csv.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw PatchError(QStringLiteral("Cannot write the file"), file.target(), csv.errorString());
    QStringList notes = season::exportTable(db, table, reference, csv, file.target());
    csv.close();
    return notes;
}

int exportSeason(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    int status = kOk;
    const std::optional<QStringList> files = parse(kExport, arguments, out, err, status);
    if (!files)
        return status;
    const QString seasonPath = (*files)[0];
    const QString folder = (*files)[1];
    const QFileInfo seasonInfo(seasonPath);
    if (!seasonInfo.isFile()) {
        say(err, QStringLiteral("%1: cannot read: %2")
                     .arg(QDir::toNativeSeparators(seasonPath),
                          seasonInfo.exists() ? QStringLiteral("is a folder, not a file")
                                              : QStringLiteral("no such file")));
        return kTrouble;
    }
    const QFileInfo folderInfo(folder);
    if (folderInfo.exists() && !folderInfo.isDir()) {
        say(err,
            QStringLiteral("%1: is a file, not a folder").arg(QDir::toNativeSeparators(folder)));
        return kTrouble;
    }
    const QString ratingsCsv = QDir(folder).filePath(QLatin1String(kRatingsCsv));
    const QString qzCsv = QDir(folder).filePath(QLatin1String(kQzCsv));
    for (const QString& target : {ratingsCsv, qzCsv}) {
        if (fileops::entryExists(target))
            return refuseExisting(err, target);
    }

    std::unique_ptr<SeasonDatabase> db;
    try {
        db = std::make_unique<SeasonDatabase>(seasonPath);
    } catch (const PatchError& error) {
        say(err, commandline::describe(error));
        return kInvalid;
    }

    const bool madeFolder = !folderInfo.exists();
    if (madeFolder && !QDir().mkpath(folder)) {
        say(err,
            QStringLiteral("%1: cannot create the folder").arg(QDir::toNativeSeparators(folder)));
        return kTrouble;
    }
    QStringList notes;
    try {
        season::PendingFile ratings(ratingsCsv);
        season::PendingFile qz(qzCsv);
        notes << exportTable(*db, seasonschema::kRatingsTable, seasonschema::kRatingsColumns,
                             ratings);
        notes << exportTable(*db, seasonschema::kQzTable, seasonschema::kQzColumns, qz);
        ratings.commit();
        try {
            qz.commit();
        } catch (...) {
            ratings.withdraw();
            throw;
        }
    } catch (const PatchError& error) {
        if (madeFolder)
            QDir().rmdir(folder);
        say(err, commandline::describe(error));
        // A failure to write names the file written; any other is the database's.
        return error.target() == ratingsCsv || error.target() == qzCsv ? kTrouble : kInvalid;
    }
    for (const QString& note : std::as_const(notes))
        say(err, QStringLiteral("note: ") + note);
    return kOk;
}

int importSeason(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    int status = kOk;
    const std::optional<QStringList> files = parse(kImport, arguments, out, err, status);
    if (!files)
        return status;
    const QString folder = (*files)[0];
    const QString target = (*files)[1];
    if (!QFileInfo(folder).isDir()) {
        say(err, QStringLiteral("%1: cannot read: %2")
                     .arg(QDir::toNativeSeparators(folder),
                          QFileInfo::exists(folder) ? QStringLiteral("is a file, not a folder")
                                                    : QStringLiteral("no such folder")));
        return kTrouble;
    }
    const QString ratingsCsv = QDir(folder).filePath(QLatin1String(kRatingsCsv));
    const QString qzCsv = QDir(folder).filePath(QLatin1String(kQzCsv));
    for (const QString& csv : {ratingsCsv, qzCsv}) {
        if (!QFileInfo(csv).isFile()) {
            say(err,
                QStringLiteral("%1: cannot read: no such file").arg(QDir::toNativeSeparators(csv)));
            return kTrouble;
        }
    }
    if (fileops::entryExists(target))
        return refuseExisting(err, target);

    try {
        season::PendingFile file(target);
        season::SeasonImport import([&err](const season::ImportProblem& problem) {
            err.write((problem.text() + QLatin1Char('\n')).toLocal8Bit());
        });
        qint64 problems = 0;
        {
            SQLite::Database db = sqlite::open(file.path(), season::writeSeasonOperation());
            problems = import.run(QDir::toNativeSeparators(ratingsCsv),
                                  QDir::toNativeSeparators(qzCsv), db);
        }
        if (problems > 0) {
            say(err, QStringLiteral("%1; %2 was not written")
                         .arg(counted(problems, "problem", "problems"),
                              QDir::toNativeSeparators(target)));
            return kInvalid;
        }
        file.commit();
        out.write(QStringLiteral("%1: %2 Ratings rows, %3 qz rows\n")
                      .arg(QDir::toNativeSeparators(target))
                      .arg(import.ratingsRows())
                      .arg(import.qzRows())
                      .toLocal8Bit());
    } catch (const PatchError& error) {
        say(err, commandline::describe(error));
        return kTrouble;
    }
    return kOk;
}

} // namespace

int run(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    if (arguments.isEmpty())
        return kTool.usage(err, QStringLiteral("no command given"));
    const QString command = arguments.front();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("-h") || command == QLatin1String("--help")) {
        out.write(kMainHelp);
        return kOk;
    }
    if (command == QLatin1String(kNew.name))
        return newSeason(rest, out, err);
    if (command == QLatin1String(kExport.name))
        return exportSeason(rest, out, err);
    if (command == QLatin1String(kImport.name))
        return importSeason(rest, out, err);
    return kTool.usage(err, QStringLiteral("unknown command '%1'").arg(command));
}

} // namespace seasontool

} // namespace tolvane
