#pragma once

#include "core/gamefolder.h"
#include "run/swap.h"

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace tolvane {

// The patch's folder "2009 Patch backup" in the game's folder. It holds, once, the game's
// files as they were before the last update (the roster slot, the fixture, the season
// database), which a restore puts back; and an update or restore while it is under way. It
// exists only while it holds something.
class PatchBackup {
public:
    explicit PatchBackup(GameFolder game);

    const GameFolder& game() const { return m_game; }
    // The backup of the state before the last update, laid out as the game's folder.
    QString keptFolder() const;
    // Where an update or restore prepares its change (see Swap).
    QString workFolder() const;
    bool hasKept() const;

    // Finishes or undoes what an update or restore cut short left in the work folder, and
    // removes what it left behind: after it, the game's folder is as before that change or
    // as after it. Returns one line for the user saying what it settled, or an empty text
    // when there was nothing. A failure throws.
    QString settle();

    // Writes into a folder laid out as the game's (an update's Swap::replaced()) what a
    // restore of it puts in place: each entry staged (the folder holds it) or removed (the
    // game had none before the update).
    static void writeRestorePlan(const GameFolder& backup, const std::vector<Swap::Entry>& plan);

    // What a finished update's swap replaced becomes the backup kept, in place of an older
    // one; the work folder goes.
    void keep(Swap& swap);

    // Puts the kept backup back in place, all or nothing, and removes it. Returns what it put
    // back, and removed where the game had nothing before the update; nothing when there is
    // no backup. A failure throws, with the game's folder as it was.
    std::optional<std::vector<Swap::Entry>> restore();

    // Removes the backup folder if it holds nothing.
    void removeIfEmpty();

private:
    GameFolder m_game;
};

// Keeps two programs from changing the same game's folder at once: held by an update, a
// restore or a settling for the time they take.
class GameLock {
public:
    explicit GameLock(const GameFolder& game);
    // Whether this program holds the lock; false when another does.
    bool held() const { return m_held; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};

} // namespace tolvane
