// The font services the maker's foundation library offered. On this platform
// the library answers them itself.
#pragma once

class CORLFont {
public:
    /// Prepares the font services; nothing needs preparing here, and the
    /// caller ignores the answer, which is always non-zero.
    static int Initialize();
};
