#include "platform/ORLFont.h"

int CORLFont::Initialize() { return 1; }

bool CORLFont::IsTavorFont(const wchar_t* /*faceName*/) { return false; }

bool CORLFont::IsTavorFontAvailable() { return false; }
