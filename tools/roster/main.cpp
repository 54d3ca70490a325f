#include "core/commandline.h"
#include "tools/roster/rostertool.h"

int main(int argc, char** argv) {
    return tolvane::commandline::main(argc, argv, tolvane::rostertool::tool());
}
