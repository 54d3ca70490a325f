#pragma once

namespace tolvane {

class GameFolder;

// Installs the new fixture (schedule2009.dat in the program folder) as the game's
// data/schedules/schedule2008.dat, keeping the game's own fixture once as
// schedule2008_actual.dat.
void installSchedule(const GameFolder& game);

} // namespace tolvane
