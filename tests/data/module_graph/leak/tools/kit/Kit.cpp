#include "kit/Kit.h"
#include "low/Low.h"
// a path out of the folder and back into the tree
#include "../../src/high/High.h"
