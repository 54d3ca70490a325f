#include "schedule/scheduleinstall.h"

#include "core/fileops.h"
#include "core/gamepaths.h"
#include "core/patcherror.h"

#include <QString>

namespace tolvane {

void installSchedule(const QString& programFolder) {
    const QString installed = gamepaths::gameFixture(programFolder);
    const QString kept = gamepaths::keptFixture(programFolder);
    const QString fresh = gamepaths::newFixture(programFolder);

    // The game's own fixture is kept once, by the first run; later runs leave it alone.
    if (!fileops::isOrdinaryFile(kept)) {
        if (!fileops::isOrdinaryFile(installed))
            throw PatchError(QStringLiteral("Cannot keep the game's fixture"), installed,
                             QStringLiteral("The file does not exist, and no kept copy (%1) is "
                                            "there either.")
                                 .arg(gamepaths::kKeptFixture));
        fileops::renameFile(installed, kept);
    }
    // Written to a temporary file and renamed over the old one, so the installed fixture
    // is never half-written.
    fileops::copyFileReplacing(fresh, installed);
}

} // namespace tolvane
