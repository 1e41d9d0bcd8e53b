// a tool's header, named from tools/, reached from below
#include "kit/Kit.h"
