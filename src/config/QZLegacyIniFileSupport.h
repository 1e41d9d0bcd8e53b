// Typed skin values in the older per-control style: a key is looked up in a
// section, then in a fallback section, else the caller's default applies.
// Skinned controls and dialogs read their integers, colours, rectangles,
// fonts and paths through this mix-in.
#pragma once

#include <cstdint>
#include <functional>

#include "config/LogFont.h"
#include "platform/WinUser.h"

class CQZIniFileReader;

/// A Windows colour value: red in the low byte, then green, then blue.
using QzColorRef = std::uint32_t;

class CQZLegacyIniFileSupport {
public:
    /// Size of every text field and value buffer, in characters.
    static constexpr std::size_t kBufferSize = 260;

    CQZLegacyIniFileSupport();
    virtual ~CQZLegacyIniFileSupport();

    /// The folder text GetPath puts before values when given no prefix.
    virtual void SetPathPrefix(const wchar_t* prefix);
    /// Copies the path prefix into `out` (kBufferSize characters).
    virtual void GetPathPrefix(wchar_t* out) const;
    /// The file and section used when a getter is given empty ones.
    virtual void SetDefaults(const wchar_t* fileName, const wchar_t* section);
    /// `prefix` (the stored prefix when empty) followed by the value or the
    /// default, into `out` (kBufferSize characters); true when found.
    virtual bool GetPath(wchar_t* out, const wchar_t* prefix, const wchar_t* defaultValue, const wchar_t* key,
                         const wchar_t* section, const wchar_t* fileName, const wchar_t* fallbackSection);
    /// "left top right bottom" (commas or blanks); true only when found and
    /// four numbers were read. The rectangle is written either way.
    virtual bool GetRect(qz::platform::RECT* rect, const wchar_t* defaultValue, const wchar_t* key,
                         const wchar_t* section, const wchar_t* fileName, const wchar_t* fallbackSection);
    /// A face (face key) and a description "size weight italic underline
    /// no-antialiasing charset quality" (description key). A face of the
    /// maker's family that cannot be used sends the lookup to the keys with
    /// ".alternative" appended. False (font untouched) when nothing fits.
    virtual bool GetFont(LOGFONTW* font, const wchar_t* defaultFace, const wchar_t* defaultDescription,
                         const wchar_t* faceKey, const wchar_t* descriptionKey, const wchar_t* section,
                         const wchar_t* fileName, const wchar_t* fallbackSection);
    /// "red green blue" as a colour value; true only when found and three
    /// numbers were read.
    virtual bool GetColor(QzColorRef* color, const wchar_t* defaultValue, const wchar_t* key,
                          const wchar_t* section, const wchar_t* fileName, const wchar_t* fallbackSection);
    /// An integer as _wtol reads it; true when found.
    virtual bool GetInt(std::int32_t* value, std::int32_t defaultValue, const wchar_t* key, const wchar_t* section,
                        const wchar_t* fileName, const wchar_t* fallbackSection);

    /// Reads through `reader` (not owned; null: through the profile
    /// functions on the file); returns the reader attached before.
    CQZIniFileReader* AttachReader(CQZIniFileReader* reader);

    /// The character set a description without one gets; the host sets it
    /// at initialisation (1, the default character set, until then).
    static void SetDefaultCharSet(std::uint8_t charSet);
    static std::uint8_t GetDefaultCharSet();
    /// Switches the maker's fonts off process-wide: their faces then always
    /// go to the ".alternative" keys.
    static void SetTavorFontsEnabled(bool enabled);

    /// Replaces the two questions about the maker's fonts (is this face one
    /// of them; are they available); empty functions restore the answers of
    /// CORLFont. For tests and hosts that ship those fonts.
    static void SetTavorFontQueries(std::function<bool(const wchar_t*)> isTavorFont,
                                    std::function<bool()> isAvailable);

private:
    bool Lookup(wchar_t* value, const wchar_t* defaultValue, const wchar_t* key, const wchar_t* section,
                const wchar_t* fileName, const wchar_t* fallbackSection);
    bool ReadFont(LOGFONTW& font, const wchar_t* defaultFace, const wchar_t* defaultDescription,
                  const wchar_t* faceKey, const wchar_t* descriptionKey, const wchar_t* section,
                  const wchar_t* fileName, const wchar_t* fallbackSection);

    wchar_t defaultFile_[kBufferSize] = {};
    wchar_t defaultSection_[kBufferSize] = {};
    wchar_t pathPrefix_[kBufferSize] = {};
    CQZIniFileReader* reader_ = nullptr;
};
