// File names between the library's wide strings and the bytes Linux uses.
//
// Linux file names are byte strings, by convention UTF-8. Wide names are
// encoded as UTF-8; bytes of a name read from disk that are not valid UTF-8
// are carried as the code points U+DC80..U+DCFF and turned back into the same
// bytes, so a name survives the round trip whatever it holds.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qz::platform {

/// The bytes to hand to open(), stat() and friends for a wide file name.
std::string NativeFileName(std::wstring_view name);

/// A wide file name for bytes the file system gave us.
std::wstring WideFileName(std::string_view bytes);

/// The whole content of the file at `nativePath`; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& nativePath);

}  // namespace qz::platform
