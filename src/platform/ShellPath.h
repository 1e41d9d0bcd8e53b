// Path tests and transformations of the Windows shell, on std::wstring, for
// paths as this library meets them on Linux: both "/" and "\" separate steps
// on input, results are written with the native "/", and drive letters and
// network (UNC) roots still parse so that paths written for Windows keep
// their structure.
#pragma once

#include <cstddef>
#include <string>

namespace qz::platform {

/// The separator this platform writes.
inline constexpr wchar_t kPathSeparator = L'/';

/// Whether `c` separates path steps on input ("/" or "\").
constexpr bool IsPathSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

/// Whether `path` starts with a well-formed URL scheme: at least two
/// characters of letters, digits, "+", "-" and ".", beginning with a letter,
/// followed by ":". A drive such as "C:/x" is therefore not a URL.
bool PathIsURL(const std::wstring& path);

/// Whether `path` is a network path: two separators followed by a server
/// name ("//server/share/f.ini", "\\server\share\f.ini"). A Linux path that
/// starts with two slashes is thereby read as a network path, as on Windows.
bool PathIsUNC(const std::wstring& path);

/// Whether `path` is a bare network server name ("//server"), with no
/// separator after the server.
bool PathIsUNCServer(const std::wstring& path);

/// Whether `path` is exactly a server and share ("//server/share"), with no
/// separator after the share.
bool PathIsUNCServerShare(const std::wstring& path);

/// The index just past the root of `path`, where its first step below the
/// root begins: past "X:/" for a drive root, past "//server/share/" for a
/// network path, past the leading "/" of an absolute Linux path.
/// std::wstring::npos when the path has no such root (a relative path, a
/// drive without separator, a network path without a separator after the
/// share).
std::size_t PathSkipRoot(const std::wstring& path);

/// Removes "." and ".." steps from `path` as the shell does: a ".." step
/// removes the step before it, a ".." above the root (or above the start of
/// a relative path) is dropped, and separators are otherwise kept as they
/// stand (doubled ones too), written as "/". A network root keeps its server
/// and share. A path that collapses to nothing gives "" when relative (never
/// the root, unlike the shell) and its root when rooted. No length limit
/// applies. The result is its own canonical form.
std::wstring PathCanonicalize(const std::wstring& path);

/// The four parts of a path as the C run-time's path splitter divides it.
struct PathParts {
    std::wstring drive;      ///< "X:" when the second character is ":", else empty.
    std::wstring directory;  ///< Up to and including the last separator, written with "/".
    std::wstring fileName;   ///< The last step up to its last ".".
    std::wstring extension;  ///< From the last "." of the last step, with the ".".
};

/// Splits `path` into drive, directory, file name and extension. Separators
/// in the directory are written as "/"; nothing else is changed, and no part
/// is truncated.
PathParts SplitPath(const std::wstring& path);

/// Splits `path` as SplitPath does but never takes a drive: for the part of
/// a path below a root that has already been taken off.
PathParts SplitDirectoryAndName(const std::wstring& path);

}  // namespace qz::platform
