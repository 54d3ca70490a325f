#include "tools/roster/rostertool.h"

#include "core/commandline.h"
#include "core/fileops.h"
#include "core/patcherror.h"
#include "tools/roster/rosterdiff.h"
#include "tools/roster/rosterformats.h"
#include "tools/roster/teamlistfile.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QIODevice>

namespace tolvane {

namespace rostertool {
namespace {

using commandline::kInvalid; // no team list; for diff: the inputs differ
using commandline::kOk;
using commandline::kTrouble;

const commandline::Tool kTool("tolvane-roster");

const char* const kMainHelp = R"(Usage: tolvane-roster COMMAND [OPTION]... FILE...
Reads, writes and compares team list files (TEAM_List.tvp, the player lists of a
roster slot) for the authors of season patches.

Commands:
  dump [--csv | --json] LIST.tvp  print every record of a team list
  build IN.json OUT.tvp           write a team list from the JSON of dump --json
  diff OLD NEW                    compare two team lists or two roster slot folders

Options:
  -h, --help  show this help and exit

Run 'tolvane-roster COMMAND --help' for a command's details and exit status.
)";

const char* const kDumpHelp = R"(Usage: tolvane-roster dump [--csv | --json] LIST.tvp
Print every record of the team list file LIST.tvp, one row per record, with every
field by name; entries of nested lists are flattened as name[i].field. Record 0 is
the blank record every team list starts with. Values are exact: texts are decoded
from Windows-1252, numbers are written so that they read back to the same bits
(-0, inf, nan, and nan:0x... for other NaNs), dateOfBirth is a date (YYYY-MM-DD)
where it is a whole day, spare bytes are hex.

Options:
  --csv       CSV (RFC 4180, UTF-8, lines end in CR LF): a header row, then one
              row per record (the default)
  --json      JSON, as 'tolvane-roster build' reads it; it also keeps bytes found
              after the last record (trailingBytes), which CSV leaves out
  -h, --help  show this help and exit

A file that is not a team list is reported with the byte, the record and the field
where it stops making sense.

Exit status: 0 printed, 1 LIST.tvp is not a valid team list, 2 usage error or
LIST.tvp cannot be read.
)";

const char* const kBuildHelp = R"(Usage: tolvane-roster build IN.json OUT.tvp
Write the team list file OUT.tvp from IN.json, in the form 'tolvane-roster dump
--json' prints it: {"records": [{"firstName": "Sam", ...}, ...]}. OUT.tvp holds
the list header, then the records in their order, and nothing after the last
record unless IN.json has "trailingBytes" (dump puts there any bytes it found after
the last record). A dump built back gives the very bytes that were dumped.

A record may leave fields out: they are zero, texts empty, and nested lists never
created. Texts must be representable in Windows-1252. OUT.tvp is replaced whole, or
left as it was when anything fails.

Options:
  -h, --help  show this help and exit

Exit status: 0 written, 1 IN.json is not a valid team list (the message names the
record and the field), 2 usage error, IN.json cannot be read or OUT.tvp cannot be
written.
)";

const char* const kDiffHelp = R"(Usage: tolvane-roster diff OLD NEW
Compare two team list files, or two roster slot folders (lists/SLOT in a game
folder), and print one line per difference:
  removed NAME (record N)     a player only in OLD
  added NAME (record N)       a player only in NEW
  NAME: FIELD OLD -> NEW      a field that changed for a player in both
Players are matched by first and last name within a team; two of one name are
told apart by their order (NAME #2). For slot folders, each team's lines start
with the team, and every other file (team sheets, the database copy) is listed
when it differs or is only on one side. Nothing is printed when OLD and NEW are
equal.

Options:
  -h, --help  show this help and exit

Exit status: 0 no differences, 1 differences, 2 usage error, a file that cannot be
read, or a team list that is not valid (named with its byte, record and field).
)";

void say(QIODevice& err, const QString& text) {
    kTool.say(err, text);
}

int usage(QIODevice& err, const QString& text, const QString& command = QString()) {
    return kTool.usage(err, text, command);
}

using commandline::Command;

const Command kDump{"dump", kDumpHelp, 1, "one team list file"};
const Command kBuild{"build", kBuildHelp, 2, "a JSON file and a team list file"};
const Command kDiff{"diff", kDiffHelp, 2, "two team list files or two folders"};

std::optional<QStringList> parseCommand(const Command& command, QCommandLineParser& parser,
                                        const QStringList& arguments, QIODevice& out,
                                        QIODevice& err, int& status) {
    return kTool.parseCommand(command, parser, arguments, out, err, status);
}

// The whole of a file, or nothing after saying why it cannot be read.
std::optional<QByteArray> readInput(const QString& path, QIODevice& err) {
    if (QFileInfo(path).isDir()) {
        say(err, QStringLiteral("%1: is a folder, not a file").arg(path));
        return std::nullopt;
    }
    try {
        return fileops::readWholeFile(path);
    } catch (const PatchError& error) {
        say(err, QStringLiteral("%1: cannot read: %2").arg(path, error.cause()));
        return std::nullopt;
    }
}

int dump(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    QCommandLineParser parser;
    const QCommandLineOption csv(QStringLiteral("csv"));
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOptions({csv, json});
    int status = kOk;
    const std::optional<QStringList> files =
        parseCommand(kDump, parser, arguments, out, err, status);
    if (!files)
        return status;
    if (parser.isSet(csv) && parser.isSet(json))
        return usage(err, QStringLiteral("--csv and --json exclude each other"),
                     QLatin1String(kDump.name));

    const QString path = files->front();
    const std::optional<QByteArray> data = readInput(path, err);
    if (!data)
        return kTrouble;
    TeamListFile list;
    try {
        list = parseTeamListFile(*data);
    } catch (const PatchError& error) {
        say(err, QStringLiteral("%1: not a valid team list: %2").arg(path, error.cause()));
        return kInvalid;
    }
    if (parser.isSet(json)) {
        out.write(rosterformats::toJson(list));
        return kOk;
    }
    out.write(rosterformats::toCsv(list));
    if (!list.trailing.isEmpty())
        say(err, QStringLiteral("%1: %2 bytes after the last record (from byte %3) are not "
                                "part of the list; --json keeps them")
                     .arg(path)
                     .arg(list.trailing.size())
                     .arg(data->size() - list.trailing.size()));
    return kOk;
}

int build(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    QCommandLineParser parser;
    int status = kOk;
    const std::optional<QStringList> files =
        parseCommand(kBuild, parser, arguments, out, err, status);
    if (!files)
        return status;

    const QString input = (*files)[0];
    const QString output = (*files)[1];
    const std::optional<QByteArray> json = readInput(input, err);
    if (!json)
        return kTrouble;
    QByteArray bytes;
    try {
        bytes = serialiseTeamListFile(rosterformats::fromJson(*json));
    } catch (const PatchError& error) {
        const QString where = error.target().isEmpty() ? QString() : error.target() + ": ";
        say(err,
            QStringLiteral("%1: not a valid team list: %2%3").arg(input, where, error.cause()));
        return kInvalid;
    }
    try {
        fileops::writeFileAtomically(output, bytes);
    } catch (const PatchError& error) {
        say(err, QStringLiteral("%1: cannot write: %2").arg(output, error.cause()));
        return kTrouble;
    }
    return kOk;
}

int diff(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    QCommandLineParser parser;
    int status = kOk;
    const std::optional<QStringList> files =
        parseCommand(kDiff, parser, arguments, out, err, status);
    if (!files)
        return status;

    const QFileInfo oldInfo((*files)[0]);
    const QFileInfo newInfo((*files)[1]);
    for (const QFileInfo& info : {oldInfo, newInfo}) {
        if (!info.exists()) {
            say(err,
                QStringLiteral("%1: cannot read: no such file or folder").arg(info.filePath()));
            return kTrouble;
        }
    }
    if (oldInfo.isDir() != newInfo.isDir())
        return usage(err,
                     QStringLiteral("diff compares two files or two folders, not one of "
                                    "each"),
                     QLatin1String(kDiff.name));
    QStringList lines;
    try {
        lines = oldInfo.isDir()
                    ? rosterdiff::compareSlotFolders(oldInfo.filePath(), newInfo.filePath())
                    : rosterdiff::compareListFiles(oldInfo.filePath(), newInfo.filePath());
    } catch (const PatchError& error) {
        say(err, commandline::describe(error));
        return kTrouble;
    }
    // UTF-8 on every system, as the dumps are: the report is for files and pipes.
    for (const QString& line : lines)
        out.write((line + QLatin1Char('\n')).toUtf8());
    return lines.isEmpty() ? kOk : kInvalid;
}

} // namespace

int run(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    if (arguments.isEmpty())
        return usage(err, QStringLiteral("no command given"));
    const QString command = arguments.front();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("-h") || command == QLatin1String("--help")) {
        out.write(kMainHelp);
        return kOk;
    }
    if (command == QLatin1String("dump"))
        return dump(rest, out, err);
    if (command == QLatin1String("build"))
        return build(rest, out, err);
    if (command == QLatin1String("diff"))
        return diff(rest, out, err);
    return usage(err, QStringLiteral("unknown command '%1'").arg(command));
}

} // namespace rostertool

} // namespace tolvane
