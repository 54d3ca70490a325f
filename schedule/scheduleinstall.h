#pragma once

namespace tolvane {

class GameFolder;

// What installing the new fixture changes, prepared in folders laid out as the game's, for
// an update to put in place: the new fixture (schedule2009.dat of the game's folder) as the
// game's data/schedules/schedule2008.dat, and, the first time, the game's own fixture kept
// as schedule2008_actual.dat.
struct FixtureInstall {
    // The game has no kept fixture yet: this install keeps the game's own.
    bool keepsGameFixture = false;
    // The game has a fixture installed, which the new one replaces.
    bool replacesFixture = false;
};

// Stages the install: the new fixture is copied into staged, the game's own linked there as
// the kept fixture the first time, and the installed fixture's bytes linked into replaced,
// which keeps the game's folder as it was. A game with neither fixture throws.
FixtureInstall stageFixtureInstall(const GameFolder& game, const GameFolder& staged,
                                   const GameFolder& replaced);

} // namespace tolvane
