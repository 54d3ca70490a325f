#include "tools/roster/dumpcommand.h"

#include "core/patcherror.h"
#include "tools/roster/rosterfiles.h"
#include "tools/roster/rosterformats.h"
#include "tools/roster/teamlistfile.h"

#include <QIODevice>

namespace tolvane {

namespace rostertool {

namespace {

const char* const kDescription =
    R"(Print every record of the team list file LIST.tvp, one row per record, with every
field by name; entries of nested lists are flattened as name[i].field. Record 0 is
the blank record every team list starts with. Values are exact: texts are decoded
from Windows-1252, numbers are written so that they read back to the same bits
(-0, inf, nan, and nan:0x... for other NaNs), dateOfBirth is a date (YYYY-MM-DD)
where it is a whole day, spare bytes are hex.)";

const QString kCsv = QStringLiteral("csv");
const QString kJson = QStringLiteral("json");

} // namespace

DumpCommand::DumpCommand()
    : Command({
          .name = QStringLiteral("dump"),
          .arguments = QStringLiteral("[--csv | --json] LIST.tvp"),
          .summary = QStringLiteral("print every record of a team list"),
          .description = QLatin1String(kDescription),
          .options =
              {
                  {{kCsv},
                   QStringLiteral("CSV (RFC 4180, UTF-8, lines end in CR LF): a header row, then "
                                  "one\nrow per record (the default)")},
                  {{kJson},
                   QStringLiteral("JSON, as 'tolvane-roster build' reads it; it also keeps bytes "
                                  "found\nafter the last record (trailingBytes), which CSV "
                                  "leaves out")},
              },
          .details = QStringLiteral("A file that is not a team list is reported with the byte, "
                                    "the record and the field\nwhere it stops making sense."),
          .exitStatus = QStringLiteral("0 printed, 1 LIST.tvp is not a valid team list, 2 usage "
                                       "error or\nLIST.tvp cannot be read."),
          .files = 1,
          .filesInWords = QStringLiteral("one team list file"),
      }) {}

int DumpCommand::execute(const commandline::Call& call) const {
    if (call.isSet(kCsv) && call.isSet(kJson))
        return call.usage(QStringLiteral("--csv and --json exclude each other"));
    const QString path = call.files().front();
    const std::optional<QByteArray> data = readInput(call, path);
    if (!data)
        return commandline::kTrouble;
    TeamListFile list;
    try {
        list = parseTeamListFile(*data);
    } catch (const PatchError& error) {
        call.say(QStringLiteral("%1: not a valid team list: %2").arg(path, error.cause()));
        return commandline::kInvalid;
    }
    if (call.isSet(kJson)) {
        call.out().write(rosterformats::toJson(list));
        return commandline::kOk;
    }
    call.out().write(rosterformats::toCsv(list));
    if (!list.trailing.isEmpty())
        call.say(QStringLiteral("%1: %2 bytes after the last record (from byte %3) are not "
                                "part of the list; --json keeps them")
                     .arg(path)
                     .arg(list.trailing.size())
                     .arg(data->size() - list.trailing.size()));
    return commandline::kOk;
}

} // namespace rostertool

} // namespace tolvane
