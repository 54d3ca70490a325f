#include "tools/season/newcommand.h"

#include "core/fileops.h"
#include "db/sqlite.h"
#include "tools/season/pendingfile.h"
#include "tools/season/seasonfiles.h"
#include "tools/season/seasonimport.h"

namespace tolvane {

namespace seasontool {

namespace {

const char* const kDescription =
    R"(Write an empty season database FILE (SQLite): the tables Ratings and qz with
every column the update reads, named and typed as it reads them, and no rows.
'export' turns it into two CSV files of header rows alone, to fill in a
spreadsheet.

FILE must not exist; it is never replaced.)";

} // namespace

NewCommand::NewCommand()
    : Command({
          .name = QStringLiteral("new"),
          .arguments = QStringLiteral("FILE"),
          .summary = QStringLiteral("write an empty season database"),
          .description = QLatin1String(kDescription),
          .exitStatus = QStringLiteral("0 written, 2 usage error, FILE exists or cannot be "
                                       "written."),
          .files = 1,
          .filesInWords = QStringLiteral("one season database file"),
      }) {}

int NewCommand::execute(const commandline::Call& call) const {
    const QString target = call.files().front();
    if (fileops::entryExists(target))
        return refuseExisting(call, target);
    season::PendingFile file(target);
    {
        SQLite::Database db = sqlite::open(file.path(), season::writeSeasonOperation());
        season::createEmptySeason(db);
    }
    file.commit();
    return commandline::kOk;
}

} // namespace seasontool

} // namespace tolvane
