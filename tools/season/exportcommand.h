#pragma once

#include "core/commandline.h"

namespace tolvane {

namespace seasontool {

// tolvane-season export: the two tables of a season database as CSV files.
class ExportCommand : public commandline::Command {
public:
    ExportCommand();
    int execute(const commandline::Call& call) const override;
};

} // namespace seasontool

} // namespace tolvane
