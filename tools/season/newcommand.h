#pragma once

#include "core/commandline.h"

namespace tolvane {

namespace seasontool {

// tolvane-season new: an empty season database.
class NewCommand : public commandline::Command {
public:
    NewCommand();
    int execute(const commandline::Call& call) const override;
};

} // namespace seasontool

} // namespace tolvane
