#include "tools/season/exportcommand.h"

#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "tools/season/pendingfile.h"
#include "tools/season/seasonexport.h"
#include "tools/season/seasonfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace tolvane {

namespace seasontool {

namespace {

using commandline::kInvalid;
using commandline::kOk;
using commandline::kTrouble;

const char* const kDescription =
    R"(Write the tables of the season database SEASON (SQLite or Access) as
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
neither.)";

const char* const kExitStatus =
    R"(0 written, 1 SEASON is not a season database that can be read,
2 usage error, SEASON cannot be read, or a CSV file exists or cannot be written.)";

// Why the season or the folder cannot be used, or an empty text.
QString unusable(const QString& season, const QString& folder) {
    const QFileInfo seasonInfo(season);
    if (!seasonInfo.isFile())
        return QStringLiteral("%1: cannot read: %2")
            .arg(QDir::toNativeSeparators(season), seasonInfo.exists()
                                                       ? QStringLiteral("is a folder, not a file")
                                                       : QStringLiteral("no such file"));
    const QFileInfo folderInfo(folder);
    if (folderInfo.exists() && !folderInfo.isDir())
        return QStringLiteral("%1: is a file, not a folder").arg(QDir::toNativeSeparators(folder));
    return QString();
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

// Writes both tables of db, both files or neither; returns the notes of the export.
QStringList exportTables(SeasonDatabase& db, const QString& ratingsCsv, const QString& qzCsv) {
    season::PendingFile ratings(ratingsCsv);
    season::PendingFile qz(qzCsv);
    QStringList notes =
        exportTable(db, seasonschema::kRatingsTable, seasonschema::kRatingsColumns, ratings);
    notes << exportTable(db, seasonschema::kQzTable, seasonschema::kQzColumns, qz);
    ratings.commit();
    try {
        qz.commit();
    } catch (...) {
        ratings.withdraw();
        throw;
    }
    return notes;
}

} // namespace

ExportCommand::ExportCommand()
    : Command({
          .name = QStringLiteral("export"),
          .arguments = QStringLiteral("SEASON DIR"),
          .summary = QStringLiteral("write DIR/Ratings.csv and DIR/qz.csv of a season database"),
          .description = QLatin1String(kDescription),
          .exitStatus = QLatin1String(kExitStatus),
          .files = 2,
          .filesInWords = QStringLiteral("a season database and a folder"),
      }) {}

int ExportCommand::execute(const commandline::Call& call) const {
    const QString seasonPath = call.files()[0];
    const QString folder = call.files()[1];
    if (const QString why = unusable(seasonPath, folder); !why.isEmpty()) {
        call.say(why);
        return kTrouble;
    }
    const QString ratingsCsv = ratingsCsvIn(folder);
    const QString qzCsv = qzCsvIn(folder);
    for (const QString& target : {ratingsCsv, qzCsv}) {
        if (fileops::entryExists(target))
            return refuseExisting(call, target);
    }

    std::unique_ptr<SeasonDatabase> db;
    try {
        db = std::make_unique<SeasonDatabase>(seasonPath);
    } catch (const PatchError& error) {
        call.say(commandline::describe(error));
        return kInvalid;
    }

    const bool madeFolder = !QFileInfo::exists(folder);
    if (madeFolder && !QDir().mkpath(folder)) {
        call.say(
            QStringLiteral("%1: cannot create the folder").arg(QDir::toNativeSeparators(folder)));
        return kTrouble;
    }
    QStringList notes;
    try {
        notes = exportTables(*db, ratingsCsv, qzCsv);
    } catch (const PatchError& error) {
        if (madeFolder)
            QDir().rmdir(folder);
        call.say(commandline::describe(error));
        // A failure to write names the file written; any other is the database's.
        return error.target() == ratingsCsv || error.target() == qzCsv ? kTrouble : kInvalid;
    }
    for (const QString& note : std::as_const(notes))
        call.say(QStringLiteral("note: ") + note);
    return kOk;
}

} // namespace seasontool

} // namespace tolvane
