#include "kit/Kit.h"
#include "low/Low.h"
