// The font services the maker's foundation library offered. On this platform
// the library answers them itself.
#pragma once

class CORLFont {
public:
    /// Prepares the font services; nothing needs preparing here, and the
    /// caller ignores the answer, which is always non-zero.
    static int Initialize();

    /// Whether a face name belongs to the maker's own font family. None of
    /// those fonts ships with this library, so no face does.
    static bool IsTavorFont(const wchar_t* faceName);

    /// Whether the maker's fonts are installed and usable: never here.
    static bool IsTavorFontAvailable();
};
