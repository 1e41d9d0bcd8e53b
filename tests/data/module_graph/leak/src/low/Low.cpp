// a tool's header, named from tools/, reached from below
#include "kit/Kit.h"
// a nested module, named from beside the file
#include "sub/Sub.h"
