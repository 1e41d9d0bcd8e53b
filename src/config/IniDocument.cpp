#include "config/IniDocument.h"

std::wstring QzIniTouchKey(std::wstring_view section, std::wstring_view key)
{
    std::wstring text;
    text.reserve(section.size() + key.size() + 1);
    for (wchar_t c : section)
        text += QzFoldCase(c);
    text += L'\x1F';  // a rare clash only makes saving write an entry later
    for (wchar_t c : key)
        text += QzFoldCase(c);
    return text;
}

void CQZIniDocument::Clear()
{
    header.clear();
    sections.Clear();
    origins.assign(1, CQZIniOrigin{});
    nextComment = 0;
    hadIncludes = false;
}

std::wstring CQZIniDocument::NextCommentKey()
{
    wchar_t digits[24];
    std::size_t n = 0;
    std::uint64_t value = nextComment++;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::wstring key(n + 1, L'#');
    for (std::size_t i = 0; i < n; ++i)
        key[i + 1] = digits[n - 1 - i];
    return key;
}

bool CQZIniDocument::IsCommentKey(std::wstring_view key)
{
    if (key.size() < 2 || key[0] != L'#')
        return false;
    for (std::size_t i = 1; i < key.size(); ++i) {
        if (key[i] < L'0' || key[i] > L'9')
            return false;
    }
    return true;
}

std::wstring CQZIniDocument::OriginText(std::uint32_t origin) const
{
    if (origin == 0 || origin >= origins.size())
        return std::wstring();
    const CQZIniOrigin& o = origins[origin];
    return L"#" + std::to_wstring(o.depth) + L"#" + o.fileName;
}

std::wstring CQZIniDocument::OriginOf(std::wstring_view section, std::wstring_view key) const
{
    const std::ptrdiff_t s = sections.Lookup(section);
    if (s < 0)
        return std::wstring();
    const CQZIniSection& sec = sections.At(static_cast<std::size_t>(s)).value;
    if (key.empty())
        return OriginText(sec.origin);
    const std::ptrdiff_t k = sec.entries.Lookup(key);
    return k < 0 ? std::wstring() : OriginText(sec.entries.At(static_cast<std::size_t>(k)).value.origin);
}
