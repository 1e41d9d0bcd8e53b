// Splitting a wide text at a separator, by the rule the version and URL
// parsers rely on.
#pragma once

#include <string>
#include <vector>

namespace QzOSAL {

/// Clears `list` and fills it with the pieces of `text` between occurrences
/// of `separator`. A separator at position 0 makes no piece; two separators in
/// a row elsewhere make an empty piece; the rest after the last separator is a
/// piece only when not empty. The search resumes one code unit past the start
/// of each found separator, whatever its length. Always returns true.
bool SplitString(const std::wstring& text, const std::wstring& separator,
                 std::vector<std::wstring>& list);

}  // namespace QzOSAL
