#pragma once

#include "core/commandline.h"

namespace tolvane {

namespace seasontool {

// tolvane-season pack: the zip that players unpack into the game's folder, made only of a
// season and a fixture that the update would take.
class PackCommand : public commandline::Command {
public:
    PackCommand();
    int execute(const commandline::Call& call) const override;
};

} // namespace seasontool

} // namespace tolvane
