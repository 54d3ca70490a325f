#pragma once

#include "core/commandline.h"

class QIODevice;

namespace tolvane {

class Findings;
class GameFolder;
struct InputFinding;

// tolvane-patch --check: every check of an update run on a game folder, for the authors of
// season patches, with nothing written.
namespace checkcommand {

// The program's name in its messages.
constexpr const char* kProgram = "tolvane-patch";

// Exit statuses.
constexpr int kImports = commandline::kOk;         // the season would import
constexpr int kRefused = commandline::kInvalid;    // the update would not start
constexpr int kUnreadable = commandline::kTrouble; // the folder cannot be read, or the command
                                                   // line is wrong

// Checks the game's folder and writes the report to out, in UTF-8 on every
// system: every problem as "team / player / column: reason", then every warning, then a
// summary line; or, with json, one JSON document of them. Messages about the folder itself go to
// err. Returns the exit status.
int run(const GameFolder& game, bool json, QIODevice& out, QIODevice& err);

// The report's line of a problem or warning: "team / player / column: reason", the parts
// that do not apply left out, on one line.
QString line(const InputFinding& finding);
// The report's last line: "1 problem, 99 warnings: the season would not import."
QString summary(const Findings& findings, bool imports);

} // namespace checkcommand

} // namespace tolvane
