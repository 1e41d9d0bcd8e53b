// Percent-escaping of URL text in place of the shell's UrlEscapeW and
// UrlUnescapeW, with their buffer contract.
//
// Both take a zero-terminated text, an output buffer and an in/out size in
// characters. On entry the size is the buffer's capacity (terminator
// included). On success (S_OK) the text and its terminator are written and the
// size becomes the number of characters written, without the terminator.
// When the buffer is too small (or null with a size of 0) nothing is written,
// E_POINTER is returned and the size becomes the capacity needed, terminator
// included, so that one retry with that size succeeds. A null text, a null
// size, a null buffer with a non-zero size or an unsupported flag give
// E_INVALIDARG.
//
// Implemented flags of UrlEscape:
//   0                        the text is a URL: everything up to the first
//                            '#' or '?' is escaped, the rest is copied
//                            unchanged; '/' stays as it is
//   URL_ESCAPE_SEGMENT_ONLY  the whole text is one segment: '#', '?' and '/'
//                            are escaped too, and nothing is left unescaped
//   URL_ESCAPE_PERCENT       '%' is escaped as well (otherwise it is kept)
//   URL_ESCAPE_AS_UTF8       characters above 0x7F become the %XX escapes of
//                            their UTF-8 bytes (otherwise they are kept)
//   URL_ESCAPE_SPACES_ONLY   only spaces are escaped; not combinable with
//                            URL_ESCAPE_SEGMENT_ONLY or URL_ESCAPE_PERCENT
// Escaped always: space, control characters (below 0x20 and 0x7F) and
// ^ & ` { } | ] [ " < > \ ; escapes use upper-case hex digits.
//
// Implemented flags of UrlUnescape:
//   0                             every valid %XX becomes the one code unit
//                                 of that value
//   URL_DONT_UNESCAPE_EXTRA_INFO  decoding stops at the first '#' or '?'; the
//                                 rest is copied unchanged
// A '%' not followed by two hex digits is kept as it stands.
#pragma once

#include <cstdint>

namespace qz::platform {

/// A COM-style result code.
using HRESULT = std::int32_t;

inline constexpr HRESULT S_OK = 0;
/// The output buffer is too small; the size names the capacity needed.
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
/// A null argument or an unsupported flag.
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

inline constexpr std::uint32_t URL_ESCAPE_SEGMENT_ONLY = 0x00002000;
inline constexpr std::uint32_t URL_ESCAPE_PERCENT = 0x00001000;
inline constexpr std::uint32_t URL_ESCAPE_AS_UTF8 = 0x00040000;
inline constexpr std::uint32_t URL_ESCAPE_SPACES_ONLY = 0x04000000;
inline constexpr std::uint32_t URL_DONT_UNESCAPE_EXTRA_INFO = 0x02000000;

/// Replaces the unsafe characters of `url` by %XX escapes into `escaped`.
HRESULT UrlEscape(const wchar_t* url, wchar_t* escaped, std::uint32_t* escapedSize,
                  std::uint32_t flags);

/// Decodes the %XX escapes of `url` into `unescaped`.
HRESULT UrlUnescape(const wchar_t* url, wchar_t* unescaped, std::uint32_t* unescapedSize,
                    std::uint32_t flags);

}  // namespace qz::platform
