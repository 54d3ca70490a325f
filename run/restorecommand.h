#pragma once

#include "core/commandline.h"

class QIODevice;

namespace tolvane {

class GameFolder;

// tolvane-patch --restore: puts the game's roster slot, fixture and season database back as
// they were before the last update, all or nothing, with no window.
namespace restorecommand {

// Exit statuses.
constexpr int kRestored = commandline::kOk;
constexpr int kNothing = commandline::kInvalid; // there is no backup to restore
constexpr int kFailed = commandline::kTrouble;  // the restore failed, and changed nothing

// Restores the game's folder, saying on out what it put back and on err why it could not.
int run(const GameFolder& game, QIODevice& out, QIODevice& err);

} // namespace restorecommand

} // namespace tolvane
