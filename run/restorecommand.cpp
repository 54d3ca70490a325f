#include "run/restorecommand.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "run/checkcommand.h"
#include "run/findings.h"
#include "run/patchbackup.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>

#include <optional>

namespace tolvane::restorecommand {

namespace {

void say(QIODevice& device, const QString& text) {
    commandline::say(device, checkcommand::kProgram, text);
}

// A folder the restore writes in that refuses for want of rights, with what to do: on
// Windows, a game under Program Files, which only a program started as administrator may
// change. The update asks to start again so; the restore, run from a prompt or a command
// file, says how.
std::optional<QString> protectedFolder(const GameFolder& game) {
    for (const QString& folder : {game.path(), game.listsFolder(), game.schedulesFolder()}) {
        if (!QFileInfo(folder).isDir())
            continue;
        const std::optional<fileops::WriteRefusal> refusal = fileops::probeWritable(folder);
        if (!refusal || !refusal->accessDenied)
            continue;
#ifdef Q_OS_WIN
        const QString what = QLatin1String(kGameFolderProtected) +
                             QStringLiteral(" Right-click \"Restore previous roster.cmd\" and "
                                            "choose \"Run as administrator\".");
#else
        const QString what =
            QStringLiteral("Restore as a user who may change the files of the game's folder.");
#endif
        return QStringLiteral("%1: cannot restore: %2\nNothing was changed. %3")
            .arg(QDir::toNativeSeparators(folder), refusal->reason, what);
    }
    return std::nullopt;
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
        if (QFileInfo::exists(QFileInfo(backup.keptFolder()).path())) {
            if (const std::optional<QString> refused = protectedFolder(game)) {
                say(err, *refused);
                return kFailed;
            }
        }
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
