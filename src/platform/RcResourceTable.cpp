#include "platform/RcResourceTable.h"

#include "platform/WinUser.h"

namespace qz::platform {

void ResourceTable::Add(ResourceView resource)
{
    for (ResourceView& e : entries_) {
        if (e.type == resource.type && e.id == resource.id && e.language == resource.language) {
            e = std::move(resource);
            return;
        }
    }
    entries_.push_back(std::move(resource));
}

const ResourceView* ResourceTable::FindExact(const ResName& type, const ResName& id, LANGID lang) const
{
    for (const ResourceView& e : entries_) {
        if (e.language == lang && e.type == type && e.id == id) {
            return &e;
        }
    }
    return nullptr;
}

const ResourceView* ResourceTable::FindAnyLanguage(const ResName& type, const ResName& id) const
{
    const ResourceView* best = nullptr;
    for (const ResourceView& e : entries_) {
        if (e.type == type && e.id == id && (!best || e.language < best->language)) {
            best = &e;
        }
    }
    return best;
}

const ResourceView* ResourceTable::Find(const ResName& type, const ResName& id, LANGID lang) const
{
    if (const ResourceView* r = FindExact(type, id, lang)) {
        return r;
    }
    if (const ResourceView* r = FindExact(type, id, MAKELANGID(PRIMARYLANGID(lang), 0))) {
        return r;
    }
    if (const ResourceView* r = FindExact(type, id, kFallbackLanguage)) {
        return r;
    }
    return FindAnyLanguage(type, id);
}

std::optional<std::wstring> ResourceTable::LoadString(std::uint32_t id, LANGID lang) const
{
    if (id > 0xFFFF) {
        return std::nullopt;
    }
    const auto block = static_cast<std::uint16_t>(id / 16 + 1);
    const ResourceView* r = Find(ResName::Ordinal(RT_STRING), ResName::Ordinal(block), lang);
    if (!r) {
        return std::nullopt;
    }
    return StringFromBlock(r->data, id % 16);
}

ResourceTable& ModuleResources()
{
    static ResourceTable table;
    return table;
}

const ResourceView* FindResourceEx(const ResName& type, const ResName& id, LANGID lang)
{
    return ModuleResources().Find(type, id, lang);
}

std::optional<std::wstring> LoadResourceString(std::uint32_t id, LANGID lang)
{
    return ModuleResources().LoadString(id, lang);
}

std::optional<std::wstring> StringFromBlock(std::span<const std::uint8_t> block, unsigned index)
{
    if (index >= 16) {
        return std::nullopt;
    }
    std::size_t pos = 0;
    for (unsigned i = 0;; ++i) {
        if (pos + 2 > block.size()) {
            return std::nullopt;
        }
        std::size_t len = block[pos] | (block[pos + 1] << 8);
        pos += 2;
        if (pos + 2 * len > block.size()) {
            return std::nullopt;
        }
        if (i == index) {
            return DecodeUtf16(block.subspan(pos, 2 * len));
        }
        pos += 2 * len;
    }
}

} // namespace qz::platform
