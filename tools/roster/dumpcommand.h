#pragma once

#include "core/commandline.h"

namespace tolvane {

namespace rostertool {

// tolvane-roster dump: every record of a team list, as CSV or JSON.
class DumpCommand : public commandline::Command {
public:
    DumpCommand();
    int execute(const commandline::Call& call) const override;
};

} // namespace rostertool

} // namespace tolvane
