// What an INI text parses into: header lines, sections of entries, and where
// each item came from when includes were followed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "config/QzStringMap.h"

/// A value with the include it was last set from (0: the main text).
struct CQZIniValue {
    std::wstring text;
    std::uint32_t origin = 0;
};

/// One section: its entries in order, and the include that created it.
struct CQZIniSection {
    CQzStringMap<CQZIniValue> entries;
    std::uint32_t origin = 0;
};

/// A line before the first section, kept as read.
struct CQZIniHeaderLine {
    std::wstring text;
    std::uint32_t origin = 0;
};

/// One followed include: every item read from it refers to this record.
struct CQZIniOrigin {
    std::uint32_t depth = 0;   // 1 for a file the main text includes
    std::wstring fileName;     // full name of the included file
    std::wstring includeName;  // the name as the include line wrote it
    std::uint32_t top = 0;     // the depth-1 include this one lies under
    // The section that was current where the include line stood: lines of
    // the included file before its own first section belong to it.
    bool inSection = false;
    std::wstring section;
    // For an include of the main text: every key it or its own includes set,
    // as TouchKey makes it, so that saving can keep later values in force.
    std::unordered_set<std::wstring> touched;
};

/// The name under which an include records a key it set.
std::wstring QzIniTouchKey(std::wstring_view section, std::wstring_view key);

/// The parsed maps of one reader. Comment lines inside sections are entries
/// "#n"; the origin table keeps origin 0 for the main text.
class CQZIniDocument {
public:
    CQZIniDocument() { Clear(); }

    /// Forgets everything, as a freshly opened reader has it.
    void Clear();

    /// True for the keys comment lines are stored under ("#" and digits).
    static bool IsCommentKey(std::wstring_view key);

    /// "#" + depth + "#" + file name for an item read from an include, empty
    /// for the main text.
    std::wstring OriginText(std::uint32_t origin) const;

    /// The origin of an entry (or, with an empty key, of the section) as
    /// OriginText gives it; empty when it is absent or from the main text.
    std::wstring OriginOf(std::wstring_view section, std::wstring_view key) const;

    /// Makes a fresh comment key "#n" with the next running number.
    std::wstring NextCommentKey();

    std::vector<CQZIniHeaderLine> header;
    CQzStringMap<CQZIniSection> sections;
    std::vector<CQZIniOrigin> origins;
    std::uint64_t nextComment = 0;
    bool hadIncludes = false;
};
