#include "schedule/scheduleinstall.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"

#include <QString>

namespace tolvane {

void installSchedule(const GameFolder& game) {
    const QString installed = game.gameFixture();
    const QString kept = game.keptFixture();
    const QString fresh = game.newFixture();

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
