// uses nothing, yet reaches up
#include "aside/Aside.h"
#include "high/High.h"
