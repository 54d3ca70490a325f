#include "run/restorecommand.h"

#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "run/checkcommand.h"
#include "run/patchbackup.h"

#include <QDir>
#include <QIODevice>

namespace tolvane::restorecommand {

namespace {

void say(QIODevice& device, const QString& text) {
    commandline::say(device, checkcommand::kProgram, text);
}

} // namespace

int run(const GameFolder& game, QIODevice& out, QIODevice& err) {
    const GameLock lock(game);
    if (!lock.held()) {
        say(err, QStringLiteral("another copy of the patch is changing %1; wait until it has "
                                "finished, then restore again")
                     .arg(QDir::toNativeSeparators(game.path())));
        return kFailed;
    }
    try {
        PatchBackup backup(game);
        if (const QString settled = backup.settle(); !settled.isEmpty())
            say(out, settled);
        const std::optional<std::vector<Swap::Entry>> restored = backup.restore();
        if (!restored) {
            say(err, QStringLiteral("%1 holds no backup of an update to restore")
                         .arg(QDir::toNativeSeparators(game.path())));
            return kNothing;
        }
        QString text = QStringLiteral("Restored the game's files as they were before the last "
                                      "update:\n");
        for (const Swap::Entry& entry : *restored)
            text += (entry.staged ? QStringLiteral("  put back: %1\n")
                                  : QStringLiteral("  removed, as the update made it: %1\n"))
                        .arg(QDir::toNativeSeparators(entry.path));
        commandline::writeLine(out, text.chopped(1));
        return kRestored;
    } catch (const PatchError& e) {
        say(err, commandline::describe(e));
        return kFailed;
    }
}

} // namespace tolvane::restorecommand
