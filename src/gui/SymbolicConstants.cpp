#include "gui/SymbolicConstants.h"

#include <algorithm>
#include <bit>
#include <vector>

const CQZSymbolicConstants& CQZSymbolicConstants::Instance()
{
    // Built on first use; static initialisation is thread-safe.
    static const CQZSymbolicConstants* table = new CQZSymbolicConstants;
    return *table;
}

CQZSymbolicConstants::CQZSymbolicConstants() : entries_(QzSymbolicConstantEntries())
{
    index_.reserve(entries_.size());
    // A repeated name keeps its first value; the repeats agree anyway.
    for (const QzSymbolicConstantEntry& entry : entries_)
        index_.emplace(std::wstring_view(entry.name), entry.value);
}

std::optional<std::uint32_t> CQZSymbolicConstants::Lookup(std::wstring_view name) const
{
    const auto it = index_.find(name);
    if (it == index_.end())
        return std::nullopt;
    return it->second;
}

void CQZSymbolicConstants::ForEachName(std::wstring_view text,
                                       const std::function<void(const std::wstring&)>& fn)
{
    if (text.size() > kFlagTextBufferSize - 1)
        text = text.substr(0, kFlagTextBufferSize - 1);
    std::wstring name;
    auto finish = [&] {
        if (!name.empty())
            fn(name);
        name.clear();
    };
    for (wchar_t c : text) {
        if (c == L'|')
            finish();
        else if (c != L' ' && c != L'\t' && c != L'\r' && c != L'\n')
            name.push_back(c);
    }
    finish();
}

bool CQZSymbolicConstants::ParseFlagText(std::wstring_view text, std::uint32_t& value) const
{
    value = 0;
    bool known = false;
    ForEachName(text, [&](const std::wstring& name) {
        if (const auto found = Lookup(name)) {
            value |= *found;
            known = true;
        }
    });
    return known;
}

std::vector<std::wstring> CQZSymbolicConstants::UnknownNames(std::wstring_view text) const
{
    std::vector<std::wstring> unknown;
    ForEachName(text, [&](const std::wstring& name) {
        if (!Lookup(name))
            unknown.push_back(name);
    });
    return unknown;
}

std::uint32_t CQZSymbolicConstants::ParseFlags(std::wstring_view text) const
{
    std::uint32_t value = 0;
    ParseFlagText(text, value);
    return value;
}

std::wstring CQZSymbolicConstants::FormatFlags(std::uint32_t value, std::wstring_view prefix) const
{
    return FormatFlags(value, [prefix](std::wstring_view name) { return name.starts_with(prefix); });
}

std::wstring CQZSymbolicConstants::FormatFlags(std::uint32_t value,
                                               const std::function<bool(std::wstring_view)>& accepts) const
{
    if (value == 0)
        return L"0";
    std::vector<const QzSymbolicConstantEntry*> candidates;
    for (const QzSymbolicConstantEntry& entry : entries_) {
        const std::wstring_view name(entry.name);
        if (entry.value != 0 && accepts(name) && (entry.value & value) == entry.value &&
            std::none_of(candidates.begin(), candidates.end(),
                         [&](const QzSymbolicConstantEntry* seen) { return name == seen->name; }))
            candidates.push_back(&entry);
    }
    // Masks of several bits first, so that a combined name stands for its bits.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const QzSymbolicConstantEntry* a, const QzSymbolicConstantEntry* b) {
                         return std::popcount(a->value) > std::popcount(b->value);
                     });
    std::wstring text;
    std::uint32_t covered = 0;
    for (const QzSymbolicConstantEntry* entry : candidates) {
        if ((entry->value & ~covered) == 0)
            continue;
        if (!text.empty())
            text += L"|";
        text += entry->name;
        covered |= entry->value;
    }
    return text.empty() ? std::wstring(L"0") : text;
}
