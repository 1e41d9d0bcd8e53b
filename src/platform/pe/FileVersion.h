// The version-resource reader in place of GetFileVersionInfoW and
// VerQueryValueW.
#pragma once

#include <string>

namespace qz::platform {

/// The string-table value `key` of a file's version resource, looked up in the
/// table of the first "\\VarFileInfo\\Translation" pair ("%04x%04x"), or the
/// empty string when the file, the resource, the translation or the key is
/// missing or malformed. The path is stored on disk as UTF-8.
std::wstring GetFileVersionString(const std::wstring& file, const std::wstring& key);

} // namespace qz::platform
