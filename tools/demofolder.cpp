#include "tools/demofolder.h"
// Being written.
