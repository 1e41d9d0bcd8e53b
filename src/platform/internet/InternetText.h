// Text conversions at the edge between the wide strings of the Internet
// functions and the bytes that go on the wire.
#pragma once

#include <string>
#include <string_view>

namespace qz::platform::internet {

/// UTF-8 bytes of a wide string; characters that are not Unicode scalar
/// values become U+FFFD.
std::string ToUtf8(std::wstring_view text);

/// Wide text of bytes: valid UTF-8 is decoded, any other byte stands for the
/// character of the same number, so no byte is lost.
std::wstring FromBytes(std::string_view bytes);

/// Decodes %XX escapes; a "%" not followed by two hex digits stays as it is.
std::wstring PercentDecode(std::wstring_view text);

/// Makes a request target carriable in a request line: UTF-8, with spaces,
/// controls, non-ASCII bytes and the characters URLs exclude escaped as %XX;
/// a "%" that does not start an escape becomes "%25".
std::string EscapeRequestTarget(std::wstring_view target);

/// ASCII lower case.
std::string AsciiLower(std::string_view text);

} // namespace qz::platform::internet
