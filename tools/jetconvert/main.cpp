#include "core/commandline.h"
#include "tools/jetconvert/jet2sqlitetool.h"

int main(int argc, char** argv) {
    return tolvane::commandline::main(argc, argv, tolvane::jet2sqlitetool::tool());
}
