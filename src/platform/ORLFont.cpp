#include "platform/ORLFont.h"

int CORLFont::Initialize() { return 1; }
