#include "tools/roster/diffcommand.h"

#include "tools/roster/rosterdiff.h"

#include <QFileInfo>

namespace tolvane {

namespace rostertool {

namespace {

const char* const kDescription =
    R"(Compare two team list files, or two roster slot folders (lists/SLOT in a game
folder), and print one line per difference:
  removed NAME (record N)     a player only in OLD
  added NAME (record N)       a player only in NEW
  NAME: FIELD OLD -> NEW      a field that changed for a player in both
Players are matched by first and last name within a team; two of one name are
told apart by their order (NAME #2). For slot folders, each team's lines start
with the team, and every other file (team sheets, the database copy) is listed
when it differs or is only on one side. Nothing is printed when OLD and NEW are
equal.)";

const char* const kExitStatus =
    R"(0 no differences, 1 differences, 2 usage error, a file that cannot be
read, or a team list that is not valid (named with its byte, record and field).)";

} // namespace

DiffCommand::DiffCommand()
    : Command({
          .name = QStringLiteral("diff"),
          .arguments = QStringLiteral("OLD NEW"),
          .summary = QStringLiteral("compare two team lists or two roster slot folders"),
          .description = QLatin1String(kDescription),
          .exitStatus = QLatin1String(kExitStatus),
          .files = 2,
          .filesInWords = QStringLiteral("two team list files or two folders"),
      }) {}

int DiffCommand::execute(const commandline::Call& call) const {
    const QFileInfo oldInfo(call.files()[0]);
    const QFileInfo newInfo(call.files()[1]);
    for (const QFileInfo& info : {oldInfo, newInfo}) {
        if (!info.exists()) {
            call.say(
                QStringLiteral("%1: cannot read: no such file or folder").arg(info.filePath()));
            return commandline::kTrouble;
        }
    }
    if (oldInfo.isDir() != newInfo.isDir())
        return call.usage(
            QStringLiteral("diff compares two files or two folders, not one of each"));
    // A team list that is not valid, like a file that cannot be read, ends the comparison
    // with kTrouble: there is nothing to compare.
    const QStringList lines =
        oldInfo.isDir() ? rosterdiff::compareSlotFolders(oldInfo.filePath(), newInfo.filePath())
                        : rosterdiff::compareListFiles(oldInfo.filePath(), newInfo.filePath());
    for (const QString& line : lines)
        commandline::writeLine(call.out(), line);
    return lines.isEmpty() ? commandline::kOk : commandline::kInvalid;
}

} // namespace rostertool

} // namespace tolvane
