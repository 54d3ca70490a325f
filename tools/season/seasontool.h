#pragma once

#include <QStringList>

class QIODevice;

namespace tolvane {

namespace commandline {
class Tool;
}

// The command line of tolvane-season: new, export and import of season databases, so that
// the authors of patches can make a season in a spreadsheet, without Microsoft Access, and
// a report of what the update makes of one. Exit
// status 0 on success, 1 for an input that is not valid, 2 for a usage error or a file that
// cannot be read or written.
namespace seasontool {

// The tool and its commands: a new command is a class of its own (see newcommand.h) and
// an entry in the list that tool() makes.
const commandline::Tool& tool();

// Runs one command; arguments come without the program's name. Reports go to out,
// messages and problems to err.
int run(const QStringList& arguments, QIODevice& out, QIODevice& err);

} // namespace seasontool

} // namespace tolvane
