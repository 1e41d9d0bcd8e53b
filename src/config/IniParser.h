// The INI text parser. It reads text only; included files are asked of a
// loader, so the parser can be tested and fuzzed without a file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "config/IniDocument.h"

/// The text of an included file as the loader found it.
struct CQZIniIncludeText {
    std::wstring fullName;                     // identifies the file (cycle test, origins)
    std::shared_ptr<const std::wstring> text;  // null or empty: nothing to include
};

/// Finds an included file: (directory of the including file, ending in a
/// separator or empty; the name as written) -> its text. False when the file
/// cannot be read.
using CQZIniIncludeLoader =
    std::function<bool(const std::wstring& directory, const std::wstring& name, CQZIniIncludeText& out)>;

class CQZIniParser {
public:
    /// Includes nest at most this deep; a deeper include line stays a comment.
    static constexpr std::uint32_t kMaxIncludeDepth = 256;
    /// A hostile set of files that include each other many times over would
    /// otherwise take exponential time: no more includes are followed after
    /// this many, or after this much included text, in one parse.
    static constexpr std::uint32_t kMaxIncludes = 4096;
    static constexpr std::size_t kMaxIncludedChars = std::size_t{64} << 20;

    /// `loader` may be empty: then no include is followed.
    CQZIniParser(CQZIniDocument& document, bool stripQuotes, CQZIniIncludeLoader loader);

    /// Parses `text` into the document, adding to what it holds. `fileName`
    /// names the text's file (empty for text in memory); relative includes
    /// are resolved against its directory. The text ends at its first zero.
    void Parse(std::wstring_view text, const std::wstring& fileName);

    /// The directory part of a name, up to and including its last "/" or
    /// "\\"; empty when it has none.
    static std::wstring DirectoryOf(const std::wstring& fileName);

    /// In-line white space: blank, tab, backspace, form feed, vertical tab, bell.
    static bool IsInlineSpace(wchar_t c)
    {
        return c == L' ' || c == L'\t' || c == L'\b' || c == L'\f' || c == L'\v' || c == L'\a';
    }

private:
    struct Frame;
    bool FollowInclude(std::wstring_view line, Frame& frame, std::vector<Frame>& stack);
    void StoreComment(std::wstring_view line, std::uint32_t origin);

    CQZIniDocument& doc_;
    bool stripQuotes_;
    CQZIniIncludeLoader loader_;
    std::ptrdiff_t current_ = -1;  // position of the current section
    std::uint32_t includes_ = 0;
    std::size_t includedChars_ = 0;
};
