#pragma once

#include "core/commandline.h"

namespace tolvane {

namespace seasontool {

// tolvane-season import: a season database built from the CSV files of its two tables.
class ImportCommand : public commandline::Command {
public:
    ImportCommand();
    int execute(const commandline::Call& call) const override;
};

} // namespace seasontool

} // namespace tolvane
