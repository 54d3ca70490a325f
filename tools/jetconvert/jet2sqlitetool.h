#pragma once

#include <QStringList>

class QIODevice;

namespace tolvane {

namespace commandline {
class Tool;
}

// The command line of jet2sqlite, which converts an Access season database (Access 97 to
// 2019: Jet 3, Jet 4 or ACE) into the SQLite form, which has none of the limits of writing
// into an Access file. Exit status 0 converted, 1 for an input that is no readable Access
// file or is damaged, 2 for a usage error or a file that cannot be read or written.
namespace jet2sqlitetool {

// The tool, one command.
const commandline::Tool& tool();

// Runs it; arguments come without the program's name. Messages go to err.
int run(const QStringList& arguments, QIODevice& out, QIODevice& err);

} // namespace jet2sqlitetool

} // namespace tolvane
