#pragma once

#include <QStringList>

class QIODevice;

namespace tolvane {

// The command line of tolvane-season: new, export and import of season databases, so that
// the authors of patches can make a season in a spreadsheet, without Microsoft Access. Exit
// status 0 on success, 1 for an input that is not valid, 2 for a usage error or a file that
// cannot be read or written.
namespace seasontool {

// Runs one command; arguments come without the program's name. Reports go to out,
// messages and problems to err.
int run(const QStringList& arguments, QIODevice& out, QIODevice& err);

} // namespace seasontool

} // namespace tolvane
