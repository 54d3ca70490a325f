// Converts a Jet 4 season database (Access 2000 to 2003) into the SQLite form, which has
// none of the limits of writing into a Jet file: jet2sqlite seasonStats.mdb new.sqlite
#include "core/patcherror.h"
#include "db/jetimport.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

using namespace tolvane;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr,
                     "Usage: jet2sqlite JET_FILE SQLITE_FILE\n"
                     "Copies every table of a Microsoft Jet 4 database (.mdb, Access 2000 to "
                     "2003)\ninto a new SQLite database. Rename the result to seasonStats.mdb to "
                     "use it.\n");
        return 2;
    }
    try {
        jet::convertJetToSqlite(args[1], args[2]);
    } catch (const PatchError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
