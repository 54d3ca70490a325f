#include "tools/roster/buildcommand.h"

#include "core/fileops.h"
#include "core/patcherror.h"
#include "tools/roster/rosterfiles.h"
#include "tools/roster/rosterformats.h"
#include "tools/roster/teamlistfile.h"

namespace tolvane {

namespace rostertool {

namespace {

const char* const kDescription =
    R"(Write the team list file OUT.tvp from IN.json, in the form 'tolvane-roster dump
--json' prints it: {"records": [{"firstName": "Sam", ...}, ...]}. OUT.tvp holds
the list header, then the records in their order, and nothing after the last
record unless IN.json has "trailingBytes" (dump puts there any bytes it found after
the last record). A dump built back gives the very bytes that were dumped.

A record may leave fields out: they are zero, texts empty, and nested lists never
created. Texts must be representable in Windows-1252. OUT.tvp is replaced whole, or
left as it was when anything fails.)";

const char* const kExitStatus =
    R"(0 written, 1 IN.json is not a valid team list (the message names the
record and the field), 2 usage error, IN.json cannot be read or OUT.tvp cannot be
written.)";

} // namespace

BuildCommand::BuildCommand()
    : Command({
          .name = QStringLiteral("build"),
          .arguments = QStringLiteral("IN.json OUT.tvp"),
          .summary = QStringLiteral("write a team list from the JSON of dump --json"),
          .description = QLatin1String(kDescription),
          .exitStatus = QLatin1String(kExitStatus),
          .files = 2,
          .filesInWords = QStringLiteral("a JSON file and a team list file"),
      }) {}

int BuildCommand::execute(const commandline::Call& call) const {
    const QString input = call.files()[0];
    const QString output = call.files()[1];
    const std::optional<QByteArray> json = readInput(call, input);
    if (!json)
        return commandline::kTrouble;
    QByteArray bytes;
    try {
        bytes = serialiseTeamListFile(rosterformats::fromJson(*json));
    } catch (const PatchError& error) {
        const QString where = error.target().isEmpty() ? QString() : error.target() + ": ";
        call.say(
            QStringLiteral("%1: not a valid team list: %2%3").arg(input, where, error.cause()));
        return commandline::kInvalid;
    }
    try {
        fileops::writeFileAtomically(output, bytes);
    } catch (const PatchError& error) {
        call.say(QStringLiteral("%1: cannot write: %2").arg(output, error.cause()));
        return commandline::kTrouble;
    }
    return commandline::kOk;
}

} // namespace rostertool

} // namespace tolvane
