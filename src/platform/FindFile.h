// The file system's record of a file and the search over a folder, shaped
// like FindFirstFileW / FindNextFileW / FindClose and their WIN32_FIND_DATAW.
//
// On Linux the record comes from statx(): times are FILETIME values (100 ns
// steps since 1601-01-01 UTC), the creation time is the birth time where the
// file system keeps one and the last write time otherwise; attributes are
// made from the file's type and mode (table in FindFile.cpp). A search whose
// last step holds "*" or "?" lists the matching entries of the folder ("."
// and ".." included, as on Windows); any other text names one file. Matching
// is case-sensitive, as Linux file names are. Separators are "/" only: "\" is
// an ordinary character of a Linux file name.
#pragma once

#include <cstdint>
#include <string>

namespace qz::platform {

// Attribute bits of a record; the values are those of Windows.
constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;

// Error codes of a search; the numbers are those of Windows.
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_NO_MORE_FILES = 18;
constexpr std::uint32_t ERROR_GEN_FAILURE = 31;

/// One entry as a search finds it; all zero (and empty) for no entry.
struct FindData {
    std::uint32_t attributes = 0;
    std::uint64_t creationTime = 0;   ///< FILETIME ticks.
    std::uint64_t lastAccessTime = 0; ///< FILETIME ticks.
    std::uint64_t lastWriteTime = 0;  ///< FILETIME ticks.
    std::uint64_t fileSize = 0;       ///< 0 for folders.
    std::wstring fileName;            ///< The last step of the entry's path.
    std::wstring alternateFileName;   ///< The short name; Linux has none, so always empty.
};

struct FindHandle;
/// An open search; null when a search could not be started.
using HFIND = FindHandle*;

/// Starts a search and fills `data` with its first entry. Null with `error`
/// set when nothing matches (ERROR_FILE_NOT_FOUND), the folder is missing
/// (ERROR_PATH_NOT_FOUND) or cannot be read (ERROR_ACCESS_DENIED).
HFIND FindFirstFile(const std::wstring& pattern, FindData& data, std::uint32_t& error);

/// Fills `data` with the next entry; false with ERROR_NO_MORE_FILES at the end.
bool FindNextFile(HFIND search, FindData& data, std::uint32_t& error);

/// Ends a search; null is ignored.
void FindClose(HFIND search);

/// Whether `name` matches `pattern`: "*" stands for any run of characters,
/// "?" for one; a pattern ending in ".*" also matches names without a dot.
bool MatchesFindPattern(const std::wstring& pattern, const std::wstring& name);

} // namespace qz::platform
