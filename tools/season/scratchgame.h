#pragma once

#include "core/gamefolder.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <memory>

namespace tolvane {

class ConvertedSeason;
class Findings;
class InputCheck;
class SeasonDatabase;

namespace season {

// A game folder of its own for a season and a fixture, in a temporary folder that goes
// with the object: the season as seasonStats.mdb, the fixture as schedule2009.dat, and what
// else the update's check looks for (lists/, and data/schedules/ with the game's fixture).
// The check runs there as in a player's game folder, so that a season is judged as the
// update would judge it, with nothing written anywhere else. Neither copyable nor movable.
class ScratchGame {
public:
    // Makes the folder from the bytes of a season database and of a fixture; a failure
    // throws a PatchError that names the file it could not write.
    ScratchGame(const QByteArray& season, const QByteArray& fixture);
    ~ScratchGame();
    ScratchGame(const ScratchGame&) = delete;
    ScratchGame& operator=(const ScratchGame&) = delete;

    const GameFolder& game() const { return m_game; }

    // Runs the update's check, every problem and every warning kept, as tolvane-patch
    // --check finds them; returns true when the update would start. A fault the check did
    // not foresee throws.
    bool check();
    // After check(): what it found.
    const Findings& findings() const;
    // After a check() that returned true: the season database, still open, and every player
    // converted, as the update would write them.
    SeasonDatabase& database();
    const ConvertedSeason& season() const;

private:
    // Declared first, so that the check's open database goes before the folder.
    QTemporaryDir m_folder;
    GameFolder m_game;
    std::unique_ptr<InputCheck> m_check;
};

} // namespace season

} // namespace tolvane
