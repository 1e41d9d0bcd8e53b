// The older skin value reader: rectangles, fonts and point lists read
// straight through the private-profile functions, with a fallback file, a
// dump of every value looked up (debug switch) and a record of missing keys.
#pragma once

#include <string>
#include <vector>

#include "config/LogFont.h"
#include "osal/QzPath.h"
#include "platform/WinUser.h"

class CIniFile {
public:
    /// Font presets: the normal one (height 10) and the larger one (height 11).
    enum class FontVariant { Normal, Large };

    CIniFile();
    virtual ~CIniFile();

    /// The skin file; the defaults-dump file becomes its name with "_def"
    /// added to the base name, in the same folder.
    void SetFile(const std::wstring& skinFile);
    /// A second file asked when the skin file lacks a value; empty for none.
    void SetFallbackFile(const std::wstring& fallbackFile);
    /// Where missing rectangles are recorded as "not used", and whether to.
    void SetMissingKeysFile(const std::wstring& missingKeysFile, bool enabled);
    const QzOSAL::QzPath& GetFile() const { return skinFile_; }
    const QzOSAL::QzPath& GetDumpFile() const { return dumpFile_; }

    /// Process-wide switch: every value looked up is also written to the
    /// defaults-dump file of the reader that looked it up.
    static void SetDebugDump(bool on);
    static bool IsDebugDump();

    /// A text value (skin file, then fallback file), or the default.
    std::wstring GetString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue);
    /// An integer value (skin file, then fallback file), or the default.
    int GetInt(const wchar_t* section, const wchar_t* key, int defaultValue);
    /// A rectangle "l t r b" (any one separator between the numbers; missing
    /// numbers are 0). A missing key gives 0, 0, 1, 1, recorded in the
    /// missing-keys file when enabled; the result says whether it was found.
    bool GetRect(const wchar_t* section, const wchar_t* key, qz::platform::RECT& rect);
    /// A button's rectangle: prefix + name, then "Btn" + name in the section,
    /// then default prefix + name in section "Default".
    bool GetButtonRect(const wchar_t* section, const wchar_t* prefix, const wchar_t* name,
                       const wchar_t* defaultPrefix, qz::platform::RECT& rect);
    /// A static control's rectangle: as a button's, with "STAT" for "Btn".
    bool GetStaticRect(const wchar_t* section, const wchar_t* prefix, const wchar_t* name,
                       const wchar_t* defaultPrefix, qz::platform::RECT& rect);
    /// The section's font from "Font_Height" (first number, negated) and
    /// "Font_Name" (at most 32 characters; "Arial" by default).
    void GetFont(const wchar_t* section, LOGFONTW& font, FontVariant variant = FontVariant::Normal,
                 bool bold = false);
    /// A point list "x1,y1,x2,y2,...": (commas + 1) / 2 points, each number
    /// read as C reads "%i" (decimal, 0x hexadecimal, 0 octal).
    std::vector<qz::platform::POINT> GetPoints(const wchar_t* section, const wchar_t* key);
    /// Whether the skin file has the section (letter case ignored).
    bool SectionExists(const wchar_t* section);

private:
    bool Read(const wchar_t* section, const wchar_t* key, std::wstring& value, std::size_t bufferSize);
    bool FindRect(const wchar_t* section, const std::wstring& key, qz::platform::RECT& rect);
    bool GetControlRect(const wchar_t* section, const wchar_t* prefix, const wchar_t* name,
                        const wchar_t* kindPrefix, const wchar_t* defaultPrefix, qz::platform::RECT& rect);
    void MarkMissing(const wchar_t* section, const wchar_t* key);
    void Dump(const wchar_t* section, const wchar_t* key, const std::wstring& value);

    QzOSAL::QzPath skinFile_;
    QzOSAL::QzPath fallbackFile_;
    QzOSAL::QzPath dumpFile_;
    QzOSAL::QzPath missingKeysFile_;
    bool missingKeysEnabled_ = false;
};
