#include "schedule/scheduleinstall.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"

#include <QString>

namespace tolvane {

FixtureInstall stageFixtureInstall(const GameFolder& game, const GameFolder& staged,
                                   const GameFolder& replaced) {
    FixtureInstall install;
    install.replacesFixture = fileops::isOrdinaryFile(game.gameFixture());
    // The game's own fixture is kept once, by the first run; later runs leave it alone.
    install.keepsGameFixture = !fileops::isOrdinaryFile(game.keptFixture());
    if (install.keepsGameFixture && !install.replacesFixture)
        throw PatchError(QStringLiteral("Cannot keep the game's fixture"), game.gameFixture(),
                         QStringLiteral("The file does not exist, and no kept copy (%1) is "
                                        "there either.")
                             .arg(gamepaths::kKeptFixture));
    fileops::createFolders(staged.schedulesFolder());
    fileops::copyFile(game.newFixture(), staged.gameFixture());
    if (install.keepsGameFixture)
        fileops::linkOrCopy(game.gameFixture(), staged.keptFixture());
    if (install.replacesFixture) {
        fileops::createFolders(replaced.schedulesFolder());
        fileops::linkOrCopy(game.gameFixture(), replaced.gameFixture());
    }
    return install;
}

} // namespace tolvane
