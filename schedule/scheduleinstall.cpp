#include "schedule/scheduleinstall.h"

#include "core/fileops.h"
#include "core/patcherror.h"

#include <QString>

void installSchedule(const QString& programFolder) {
    const QString folder = programFolder + QStringLiteral("/data/schedules");
    const QString installed = folder + QStringLiteral("/schedule2008.dat");
    const QString kept = folder + QStringLiteral("/schedule2008_actual.dat");
    const QString fresh = programFolder + QStringLiteral("/schedule2009.dat");

    // The game's own fixture is kept once, by the first run; later runs leave it alone.
    if (!fileops::isOrdinaryFile(kept)) {
        if (!fileops::isOrdinaryFile(installed))
            throw PatchError(QStringLiteral("Cannot keep the game's fixture"), installed,
                             QStringLiteral("The file does not exist, and no kept copy "
                                            "(schedule2008_actual.dat) is there either."));
        fileops::renameFile(installed, kept);
    }
    // Written to a temporary file and renamed over the old one, so the installed fixture
    // is never half-written.
    fileops::copyFileReplacing(fresh, installed);
}
