// Compiled resources and their look-up by (type, ID, language), with the
// Windows search order and string tables stored as blocks of 16 entries.
#pragma once

#include "platform/RcDialogTemplate.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qz::platform {

using LANGID = std::uint16_t;

/// Builds a language ID from a primary language and a sub-language.
inline constexpr LANGID MAKELANGID(unsigned primary, unsigned sub)
{
    return static_cast<LANGID>((sub << 10) | primary);
}
/// The primary language of a language ID.
inline constexpr unsigned PRIMARYLANGID(LANGID lang)
{
    return lang & 0x3FFu;
}
/// English (United Kingdom): the language every look-up falls back to.
inline constexpr LANGID kFallbackLanguage = 2057;

/// One resource: its bytes are not owned and must outlive the table.
struct ResourceView {
    ResName type;
    ResName id;
    LANGID language = 0;
    std::span<const std::uint8_t> data;
};

/// A set of resources, searched as Windows searches a module's resources.
class ResourceTable {
  public:
    /// Adds a resource; a later one with the same type, ID and language
    /// replaces the earlier one.
    void Add(ResourceView resource);

    /// The resource in exactly this language, or null.
    const ResourceView* FindExact(const ResName& type, const ResName& id, LANGID lang) const;

    /// The resource in any language (the lowest language ID), or null.
    const ResourceView* FindAnyLanguage(const ResName& type, const ResName& id) const;

    /// Windows search order: the exact language, then its primary language
    /// with the neutral sub-language, then English (United Kingdom), then any.
    const ResourceView* Find(const ResName& type, const ResName& id, LANGID lang) const;

    /// String `id` from the block id / 16 + 1, searched with Find. An entry
    /// of length zero in a present block is an empty string; a missing block
    /// gives no result.
    std::optional<std::wstring> LoadString(std::uint32_t id, LANGID lang) const;

    /// Every resource, in insertion order.
    const std::vector<ResourceView>& Entries() const { return entries_; }

  private:
    std::vector<ResourceView> entries_;
};

/// The resources compiled into this program (the generated sources of
/// qz_add_resources add theirs during static initialisation), as the
/// current resource module of the window system.
ResourceTable& ModuleResources();

/// Looks a resource up in ModuleResources with the Windows search order.
const ResourceView* FindResourceEx(const ResName& type, const ResName& id, LANGID lang);

/// Loads a string from ModuleResources with the Windows search order.
std::optional<std::wstring> LoadResourceString(std::uint32_t id, LANGID lang);

/// Entry `index` (0-15) of a string block: a 16-bit length followed by that
/// many UTF-16 units per entry. Truncated blocks give no result.
std::optional<std::wstring> StringFromBlock(std::span<const std::uint8_t> block, unsigned index);

} // namespace qz::platform
