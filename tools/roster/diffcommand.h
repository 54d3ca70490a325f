#pragma once

#include "core/commandline.h"

namespace tolvane {

namespace rostertool {

// tolvane-roster diff: the differences between two team lists or two roster slots.
class DiffCommand : public commandline::Command {
public:
    DiffCommand();
    int execute(const commandline::Call& call) const override;
};

} // namespace rostertool

} // namespace tolvane
