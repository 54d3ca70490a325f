// Converts an Access season database (Access 97 to 2019: Jet 3, Jet 4 or ACE) into the
// SQLite form, which has none of the limits of writing into an Access file:
// jet2sqlite seasonStats.mdb new.sqlite
#include "core/patcherror.h"
#include "db/accesscopy.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

using namespace tolvane;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr,
                     "Usage: jet2sqlite ACCESS_FILE SQLITE_FILE\n"
                     "Copies every table of a Microsoft Access database (.mdb or .accdb, Access "
                     "97 to\n2019) into a new SQLite database. Rename the result to "
                     "seasonStats.mdb to use it.\n");
        return 2;
    }
    try {
        std::vector<jet::RawBytesOfTable> rawBytes;
        for (const jet::LeftOutOfTable& left : jet::convertToSqlite(args[1], args[2], &rawBytes))
            std::fprintf(stderr, "Left out of table %s: column \"%s\", %s.\n",
                         left.table.toUtf8().constData(), left.column.name.toUtf8().constData(),
                         left.column.reason.toUtf8().constData());
        for (const jet::RawBytesOfTable& raw : rawBytes)
            std::fprintf(stderr, "Copied as raw bytes in table %s: column \"%s\": %s.\n",
                         raw.table.toUtf8().constData(), raw.column.name.toUtf8().constData(),
                         raw.column.reason.toUtf8().constData());
    } catch (const PatchError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
