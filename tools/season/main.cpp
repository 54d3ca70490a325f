#include "core/commandline.h"
#include "tools/season/seasontool.h"

int main(int argc, char** argv) {
    return tolvane::commandline::main(argc, argv, tolvane::seasontool::tool());
}
