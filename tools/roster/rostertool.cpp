#include "tools/roster/rostertool.h"

#include "core/commandline.h"
#include "tools/roster/buildcommand.h"
#include "tools/roster/diffcommand.h"
#include "tools/roster/dumpcommand.h"
#include "tools/roster/rosterfiles.h"

#include <memory>

namespace tolvane {

namespace rostertool {

const commandline::Tool& tool() {
    static const commandline::Tool tool(
        kProgram,
        QStringLiteral("Reads, writes and compares team list files (TEAM_List.tvp, the player "
                       "lists of a\nroster slot) for the authors of season patches."),
        {
            std::make_shared<DumpCommand>(),
            std::make_shared<BuildCommand>(),
            std::make_shared<DiffCommand>(),
        });
    return tool;
}

int run(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    return tool().run(arguments, out, err);
}

} // namespace rostertool

} // namespace tolvane
