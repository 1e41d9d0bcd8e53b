// A string-keyed map that keeps its entries in insertion order and finds keys
// without regard to letter case, through a hash index over the positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// Folds one character for case-insensitive comparison of section and key
/// names: the upper-case letters of ASCII, Latin-1, Greek and Cyrillic become
/// lower case; everything else stays. Independent of the process locale, so a
/// file means the same thing whatever the environment.
inline wchar_t QzFoldCase(wchar_t c)
{
    if (c < 0x80)
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return static_cast<wchar_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<wchar_t>(c + 80);
    return c;
}

/// Case-insensitive equality of two names, with the folding above.
inline bool QzEqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (QzFoldCase(a[i]) != QzFoldCase(b[i]))
            return false;
    }
    return true;
}

/// Hash of a name that agrees with QzEqualsNoCase.
inline std::uint32_t QzHashNoCase(std::wstring_view s)
{
    std::uint32_t h = 2166136261u;
    for (wchar_t c : s) {
        h ^= static_cast<std::uint32_t>(QzFoldCase(c));
        h *= 16777619u;
    }
    return h;
}

/// Insertion-ordered, case-insensitive map from names to values of type T.
/// A key keeps the letter case it was first inserted with. Lookups go
/// through an open-addressing table of positions, never a linear scan;
/// removal is rare (writes through the profile interface) and rebuilds it.
template <class T>
class CQzStringMap {
public:
    struct Item {
        std::wstring key;
        T value;
        std::uint32_t hash = 0;  // QzHashNoCase(key)
    };

    /// Position of the key, or -1 when absent.
    std::ptrdiff_t Lookup(std::wstring_view key) const
    {
        if (items_.empty())
            return -1;
        const std::uint32_t h = QzHashNoCase(key);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = h & mask;; i = (i + 1) & mask) {
            const std::uint32_t slot = slots_[i];
            if (slot == 0)
                return -1;
            const std::size_t pos = slot - 1;
            if (items_[pos].hash == h && QzEqualsNoCase(items_[pos].key, key))
                return static_cast<std::ptrdiff_t>(pos);
        }
    }

    /// Sets the value of an existing key (keeping the key's spelling) or
    /// appends a new entry; returns its position.
    std::size_t Set(std::wstring_view key, T value)
    {
        const std::ptrdiff_t pos = Lookup(key);
        if (pos >= 0) {
            items_[pos].value = std::move(value);
            return static_cast<std::size_t>(pos);
        }
        return Append(key, std::move(value));
    }

    /// Appends a key known to be absent; returns its position.
    std::size_t Append(std::wstring_view key, T value)
    {
        // Sections of a skin file hold a few dozen keys: growing in larger
        // steps saves most of the reallocations of a large file.
        if (items_.empty())
            items_.reserve(kFirstCapacity);
        if ((items_.size() + 1) * 2 > slots_.size())
            Rehash(slots_.empty() ? kFirstCapacity * 2 : slots_.size() * 2);
        const std::uint32_t h = QzHashNoCase(key);
        items_.push_back(Item{std::wstring(key), std::move(value), h});
        Place(h, items_.size() - 1);
        return items_.size() - 1;
    }

    /// Removes the entry at a position; later entries move up by one.
    void RemoveAt(std::size_t pos)
    {
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(pos));
        Rehash(slots_.size());
    }

    /// Removes a key; false when absent.
    bool Remove(std::wstring_view key)
    {
        const std::ptrdiff_t pos = Lookup(key);
        if (pos < 0)
            return false;
        RemoveAt(static_cast<std::size_t>(pos));
        return true;
    }

    void Clear()
    {
        items_.clear();
        slots_.clear();
    }

    std::size_t Size() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    Item& At(std::size_t pos) { return items_[pos]; }
    const Item& At(std::size_t pos) const { return items_[pos]; }
    const std::vector<Item>& Items() const { return items_; }

private:
    void Place(std::uint32_t h, std::size_t pos)
    {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = h & mask;
        while (slots_[i] != 0)
            i = (i + 1) & mask;
        slots_[i] = static_cast<std::uint32_t>(pos + 1);
    }

    void Rehash(std::size_t size)
    {
        if (size == 0)
            return;
        slots_.assign(size, 0);
        for (std::size_t pos = 0; pos < items_.size(); ++pos)
            Place(items_[pos].hash, pos);
    }

    static constexpr std::size_t kFirstCapacity = 8;

    std::vector<Item> items_;
    std::vector<std::uint32_t> slots_;  // position + 1, 0 for a free slot
};
