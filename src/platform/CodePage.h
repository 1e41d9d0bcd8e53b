// Code-page conversions in place of MultiByteToWideChar / WideCharToMultiByte.
//
// Code pages are Windows code-page numbers. On Linux they are carried out by
// iconv; the number is mapped to an iconv name:
//
//   0, 3       the ANSI code page (see GetAnsiCodePage)
//   1          437 (OEM)           2   MACINTOSH
//   437, 850, 852, 866, 874, 1250-1258       CP<n>
//   932        CP932               936       GBK (CP936)
//   949        CP949               950       BIG5 (CP950)
//   1200       UTF-16LE            1201      UTF-16BE
//   12000      UTF-32LE            12001     UTF-32BE
//   10000      MACINTOSH           20127     ASCII
//   20866      KOI8-R              21866     KOI8-U
//   28591-28605 ISO-8859-1 .. ISO-8859-15
//   54936      GB18030             65000     UTF-7
//   65001      UTF-8
//   65002      the library's own 7-bit page: bytes and code units below 0x80
//              pass unchanged, everything else becomes '?'
//   other      CP<n>, if iconv knows it; otherwise the code page is unknown
//
// Wide text is wchar_t, which is UTF-32 on Linux; the UTF-16 helpers at the
// end convert at the edges where files or resources are UTF-16.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qz::platform {

/// The ANSI code page: the locale's character set unless overridden.
inline constexpr std::uint32_t CP_ACP = 0;
/// The OEM code page.
inline constexpr std::uint32_t CP_OEMCP = 1;
/// The current thread's ANSI code page; the same as CP_ACP here.
inline constexpr std::uint32_t CP_THREAD_ACP = 3;
inline constexpr std::uint32_t CP_UTF7 = 65000;
inline constexpr std::uint32_t CP_UTF8 = 65001;
/// The library's own 7-bit pseudo code page (no Windows code page).
inline constexpr std::uint32_t CP_QZ7BIT = 65002;

/// Flag for MultiByteToWide: fail on invalid input instead of writing U+FFFD.
inline constexpr std::uint32_t MB_ERR_INVALID_CHARS = 0x00000008;
/// Flag for WideToMultiByte: fail on characters the code page cannot hold
/// (and on invalid code points) instead of writing the default character.
inline constexpr std::uint32_t WC_ERR_INVALID_CHARS = 0x00000080;

/// Converts narrow text in `codePage` into wide text, as MultiByteToWideChar
/// does. Without flags invalid input bytes become U+FFFD. An unknown code
/// page, or invalid input under MB_ERR_INVALID_CHARS, gives no result.
/// Embedded zero bytes are converted like any other byte; empty input gives
/// an empty result (for a known code page). Thread-safe.
std::optional<std::wstring> MultiByteToWide(std::uint32_t codePage, std::string_view text,
                                            std::uint32_t flags = 0);

/// Converts wide text into narrow text in `codePage`, as WideCharToMultiByte
/// does. Without flags a character the code page cannot hold becomes '?'
/// (the default character) and `*usedDefaultChar` is set to true; code points
/// that are no Unicode scalar values (surrogates, above U+10FFFF) count as
/// unmappable, except for UTF-8/UTF-7/UTF-16/UTF-32, where they become U+FFFD.
/// An unknown code page, or an unmappable character under
/// WC_ERR_INVALID_CHARS, gives no result. Thread-safe.
std::optional<std::string> WideToMultiByte(std::uint32_t codePage, std::wstring_view text,
                                           std::uint32_t flags = 0,
                                           bool* usedDefaultChar = nullptr);

/// True when conversions in `codePage` are possible (IsValidCodePage).
bool IsValidCodePage(std::uint32_t codePage);

/// The Windows number of the ANSI code page (GetACP): the override when one
/// is set, otherwise the number of the locale's character set, and 65001 when
/// the locale is plain ASCII (the C locale) or its character set has no
/// Windows number.
std::uint32_t GetAnsiCodePage();

/// Makes `codePage` the ANSI code page of the process, as the language
/// settings choose it; 0 returns to the locale's character set. Thread-safe.
void SetAnsiCodePage(std::uint32_t codePage);

/// The iconv name that `codePage` converts with, or an empty string for an
/// unknown code page (65002 has no iconv name and also gives empty).
std::string CodePageToIconvName(std::uint32_t codePage);

/// "ANSI" text read on Linux, without loss: valid UTF-8 is UTF-8, and every
/// byte that is not becomes U+DC80..U+DCFF (as in file names), so that
/// AnsiBytesFromWide gives the same bytes back.
std::wstring WideFromAnsiBytes(std::string_view bytes);

/// "ANSI" text to write on Linux: U+DC80..U+DCFF become the bytes they carry,
/// everything else is UTF-8.
std::string AnsiBytesFromWide(std::wstring_view text);

/// Text of WideFromAnsiBytes as it is shown: a line that carries bytes that
/// were not UTF-8 is decoded whole in the ANSI code page (the chosen
/// language's legacy page); other lines stay as they are.
std::wstring AnsiDisplayText(std::wstring_view text);

/// Joins UTF-16 (surrogate pairs become one character); a lone surrogate
/// becomes U+FFFD.
std::wstring Utf16ToWide(std::u16string_view text);

/// Splits wide text into UTF-16 (characters above U+FFFF become surrogate
/// pairs); surrogates and values above U+10FFFF become U+FFFD.
std::u16string WideToUtf16(std::wstring_view text);

}  // namespace qz::platform
