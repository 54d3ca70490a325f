#pragma once

#include "core/commandline.h"

namespace tolvane {

namespace seasontool {

// tolvane-season report: one HTML page of what the update would make of a season, for its
// author: the check's findings, every team's players as the game will hold them, the
// league's balance, and what changed against an earlier roster.
class ReportCommand : public commandline::Command {
public:
    ReportCommand();
    int execute(const commandline::Call& call) const override;
};

} // namespace seasontool

} // namespace tolvane
