#include "tools/season/importcommand.h"

#include "core/fileops.h"
#include "core/wording.h"
#include "db/sqlite.h"
#include "tools/season/pendingfile.h"
#include "tools/season/seasonfiles.h"
#include "tools/season/seasonimport.h"

#include <QDir>
#include <QFileInfo>

namespace tolvane {

namespace seasontool {

namespace {

using commandline::kInvalid;
using commandline::kOk;
using commandline::kTrouble;

const char* const kDescription =
    R"(Build the season database FILE (SQLite) from DIR/Ratings.csv and DIR/qz.csv, as
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

FILE must not exist; it is never replaced.)";

const char* const kExitStatus =
    R"(0 written, 1 the CSV files have problems (all listed), 2 usage
error, a CSV file cannot be read, or FILE exists or cannot be written.)";

// Why the CSV files in folder cannot be read, or an empty text.
QString unreadable(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("%1: cannot read: %2")
            .arg(QDir::toNativeSeparators(folder), QFileInfo::exists(folder)
                                                       ? QStringLiteral("is a file, not a folder")
                                                       : QStringLiteral("no such folder"));
    for (const QString& csv : {ratingsCsvIn(folder), qzCsvIn(folder)}) {
        if (!QFileInfo(csv).isFile())
            return QStringLiteral("%1: cannot read: no such file")
                .arg(QDir::toNativeSeparators(csv));
    }
    return QString();
}

} // namespace

ImportCommand::ImportCommand()
    : Command({
          .name = QStringLiteral("import"),
          .arguments = QStringLiteral("DIR FILE"),
          .summary = QStringLiteral("make a season database of DIR/Ratings.csv and DIR/qz.csv"),
          .description = QLatin1String(kDescription),
          .exitStatus = QLatin1String(kExitStatus),
          .files = 2,
          .filesInWords = QStringLiteral("a folder and a season database file"),
      }) {}

int ImportCommand::execute(const commandline::Call& call) const {
    const QString folder = call.files()[0];
    const QString target = call.files()[1];
    if (const QString why = unreadable(folder); !why.isEmpty()) {
        call.say(why);
        return kTrouble;
    }
    if (fileops::entryExists(target))
        return refuseExisting(call, target);

    season::PendingFile file(target);
    season::SeasonImport import([&call](const season::ImportProblem& problem) {
        commandline::writeLine(call.err(), problem.text());
    });
    qint64 problems = 0;
    {
        SQLite::Database db = sqlite::open(file.path(), season::writeSeasonOperation());
        problems = import.run(QDir::toNativeSeparators(ratingsCsvIn(folder)),
                              QDir::toNativeSeparators(qzCsvIn(folder)), db);
    }
    if (problems > 0) {
        call.say(
            QStringLiteral("%1; %2 was not written")
                .arg(counted(problems, "problem", "problems"), QDir::toNativeSeparators(target)));
        return kInvalid;
    }
    file.commit();
    commandline::writeLine(call.out(), QStringLiteral("%1: %2 Ratings rows, %3 qz rows")
                                           .arg(QDir::toNativeSeparators(target))
                                           .arg(import.ratingsRows())
                                           .arg(import.qzRows()));
    return kOk;
}

} // namespace seasontool

} // namespace tolvane
