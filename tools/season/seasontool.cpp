#include "tools/season/seasontool.h"

#include "core/commandline.h"
#include "tools/season/exportcommand.h"
#include "tools/season/importcommand.h"
#include "tools/season/newcommand.h"
#include "tools/season/packcommand.h"
#include "tools/season/reportcommand.h"
#include "tools/season/seasonfiles.h"

#include <memory>

namespace tolvane {

namespace seasontool {

namespace {

const char* const kDescription =
    R"(Makes season databases (seasonStats.mdb) without Microsoft Access, for the
authors of season patches: an empty one, or one built from CSV files of its two
tables, which any spreadsheet program opens and saves; and the CSV files of any
season; a report of what the update makes of a season, as one HTML page; and
the zip that players unpack into the game's folder, once the update's check
passes the season and its fixture.)";

} // namespace

const commandline::Tool& tool() {
    static const commandline::Tool tool(kProgram, QLatin1String(kDescription),
                                        {
                                            std::make_shared<NewCommand>(),
                                            std::make_shared<ExportCommand>(),
                                            std::make_shared<ImportCommand>(),
                                            std::make_shared<PackCommand>(),
                                            std::make_shared<ReportCommand>(),
                                        });
    return tool;
}

int run(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    return tool().run(arguments, out, err);
}

} // namespace seasontool

} // namespace tolvane
