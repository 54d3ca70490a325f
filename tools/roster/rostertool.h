#pragma once

#include <QStringList>

class QIODevice;

namespace tolvane {

namespace commandline {
class Tool;
}

// The command line of tolvane-roster: dump, build and diff of team list files, for the
// authors of patches. Exit status 0 on success (diff: no differences), 1 for an input that
// is no team list (diff: differences), 2 for a usage error or a file that cannot be read
// or written (diff: also a team list that is not valid).
namespace rostertool {

// The tool and its commands: a new command is a class of its own (see dumpcommand.h) and
// an entry in the list that tool() makes.
const commandline::Tool& tool();

// Runs one command; arguments come without the program's name. The report goes to out,
// messages to err.
int run(const QStringList& arguments, QIODevice& out, QIODevice& err);

} // namespace rostertool

} // namespace tolvane
