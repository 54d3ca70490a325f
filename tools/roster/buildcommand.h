#pragma once

#include "core/commandline.h"

namespace tolvane {

namespace rostertool {

// tolvane-roster build: a team list file from the JSON of a dump.
class BuildCommand : public commandline::Command {
public:
    BuildCommand();
    int execute(const commandline::Call& call) const override;
};

} // namespace rostertool

} // namespace tolvane
