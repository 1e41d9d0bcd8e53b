// The font description of the Windows graphics interface, as skin files
// describe fonts. Plain data; the window system turns it into a real font.
#pragma once

#include <cstdint>

#ifndef QZ_HAVE_LOGFONTW
#define QZ_HAVE_LOGFONTW

/// A logical font with the Windows fields and meanings.
struct LOGFONTW {
    std::int32_t lfHeight;
    std::int32_t lfWidth;
    std::int32_t lfEscapement;
    std::int32_t lfOrientation;
    std::int32_t lfWeight;
    std::uint8_t lfItalic;
    std::uint8_t lfUnderline;
    std::uint8_t lfStrikeOut;
    std::uint8_t lfCharSet;
    std::uint8_t lfOutPrecision;
    std::uint8_t lfClipPrecision;
    std::uint8_t lfQuality;
    std::uint8_t lfPitchAndFamily;
    wchar_t lfFaceName[32];
};

/// Field values the skin readers use.
inline constexpr std::int32_t FW_NORMAL = 400;
inline constexpr std::int32_t FW_BOLD = 700;
inline constexpr std::uint8_t DEFAULT_CHARSET = 1;
inline constexpr std::uint8_t OUT_TT_ONLY_PRECIS = 7;
inline constexpr std::uint8_t NONANTIALIASED_QUALITY = 3;
inline constexpr std::uint8_t ANTIALIASED_QUALITY = 4;
inline constexpr std::uint8_t CLEARTYPE_QUALITY = 5;
inline constexpr std::uint8_t DEFAULT_PITCH = 0;
inline constexpr std::uint8_t VARIABLE_PITCH = 2;
inline constexpr std::uint8_t FF_SWISS = 0x20;

#endif
