#include "platform/pe/VersionInfo.h"

#include "platform/CodePage.h"

#include <algorithm>

namespace qz::platform {

namespace {

constexpr int kMaxDepth = 8; // a real resource nests four levels deep
constexpr std::size_t kBlockHeader = 6;
constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(Le16(p)) | (static_cast<std::uint32_t>(Le16(p + 2)) << 16);
}

std::size_t Align4(std::size_t n)
{
    return (n + 3) & ~std::size_t{3};
}

char32_t FoldAscii(char32_t c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

bool KeyEquals(const std::u16string& key, std::wstring_view component)
{
    return std::equal(key.begin(), key.end(), component.begin(), component.end(), [](char16_t a, wchar_t b) {
        return FoldAscii(a) == FoldAscii(static_cast<char32_t>(b));
    });
}

} // namespace

std::optional<VersionInfo::Block> VersionInfo::ParseBlock(std::span<const std::uint8_t> bytes,
                                                          std::size_t offset, std::size_t end, int depth)
{
    if (depth > kMaxDepth || end - offset < kBlockHeader) {
        return std::nullopt;
    }
    const std::size_t length = Le16(bytes.data() + offset);
    const std::size_t valueLength = Le16(bytes.data() + offset + 2);
    const std::uint16_t type = Le16(bytes.data() + offset + 4);
    if (length < kBlockHeader || length > end - offset) {
        return std::nullopt;
    }
    const std::size_t blockEnd = offset + length;

    Block block;
    std::size_t pos = offset + kBlockHeader;
    for (;;) {
        if (blockEnd - pos < 2) {
            return std::nullopt; // key without terminator
        }
        const char16_t c = Le16(bytes.data() + pos);
        pos += 2;
        if (c == 0) {
            break;
        }
        block.key.push_back(c);
    }
    pos = std::min(Align4(pos), blockEnd);
    // Text values count characters, binary values bytes.
    const std::size_t valueBytes = type == 1 ? 2 * valueLength : valueLength;
    block.valueOffset = pos;
    block.valueSize = std::min(valueBytes, blockEnd - pos);
    pos = std::min(Align4(pos + block.valueSize), blockEnd);

    while (blockEnd - pos >= kBlockHeader) {
        if (Le16(bytes.data() + pos) == 0) {
            break; // zero padding ends the list
        }
        auto child = ParseBlock(bytes, pos, blockEnd, depth + 1);
        if (!child) {
            break;
        }
        pos = std::min(Align4(pos + Le16(bytes.data() + pos)), blockEnd);
        block.children.push_back(std::move(*child));
    }
    return block;
}

std::optional<VersionInfo> VersionInfo::Parse(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > kMaxSize) {
        bytes = bytes.first(kMaxSize);
    }
    VersionInfo info;
    info.bytes_.assign(bytes.begin(), bytes.end());
    auto root = ParseBlock(info.bytes_, 0, info.bytes_.size(), 0);
    if (!root) {
        return std::nullopt;
    }
    info.root_ = std::move(*root);
    return info;
}

const VersionInfo::Block* VersionInfo::Find(std::wstring_view path) const
{
    const Block* block = &root_;
    while (!path.empty()) {
        const std::size_t cut = path.find(L'\\');
        const std::wstring_view component = path.substr(0, cut);
        path = cut == std::wstring_view::npos ? std::wstring_view{} : path.substr(cut + 1);
        if (component.empty()) {
            continue;
        }
        const auto it = std::find_if(block->children.begin(), block->children.end(),
                                     [&](const Block& child) { return KeyEquals(child.key, component); });
        if (it == block->children.end()) {
            return nullptr;
        }
        block = &*it;
    }
    return block;
}

std::optional<std::span<const std::uint8_t>> VersionInfo::QueryValue(std::wstring_view path) const
{
    const Block* block = Find(path);
    if (!block) {
        return std::nullopt;
    }
    return std::span<const std::uint8_t>(bytes_).subspan(block->valueOffset, block->valueSize);
}

std::optional<std::wstring> VersionInfo::QueryString(std::wstring_view path) const
{
    const auto value = QueryValue(path);
    if (!value) {
        return std::nullopt;
    }
    std::u16string text;
    for (std::size_t i = 0; i + 1 < value->size(); i += 2) {
        const char16_t c = Le16(value->data() + i);
        if (c == 0) {
            break;
        }
        text.push_back(c);
    }
    return Utf16ToWide(text);
}

std::vector<VersionTranslation> VersionInfo::Translations() const
{
    std::vector<VersionTranslation> pairs;
    const auto value = QueryValue(L"\\VarFileInfo\\Translation");
    if (value) {
        for (std::size_t i = 0; i + 4 <= value->size(); i += 4) {
            pairs.push_back({Le16(value->data() + i), Le16(value->data() + i + 2)});
        }
    }
    return pairs;
}

namespace {

struct ResourceEntry {
    std::uint32_t name = 0;
    std::uint32_t target = 0;
};

// The named and ID entries of the resource directory at `offset` from the
// resource section's RVA `base`; nothing when it is empty or leaves the file.
std::optional<std::vector<ResourceEntry>> ReadResourceDirectory(const PeImage& image,
                                                                const ByteSource& source, std::uint32_t base,
                                                                std::uint32_t offset)
{
    const std::uint64_t rva = static_cast<std::uint64_t>(base) + offset;
    if (rva > 0xffffffffu) {
        return std::nullopt;
    }
    std::uint8_t header[16];
    const auto at = image.RvaToOffset(static_cast<std::uint32_t>(rva), sizeof header);
    if (!at || !source.Read(*at, header)) {
        return std::nullopt;
    }
    const std::uint32_t count = static_cast<std::uint32_t>(Le16(header + 12)) + Le16(header + 14);
    const std::uint64_t entriesRva = rva + sizeof header;
    if (count == 0 || entriesRva + 8ull * count > 0xffffffffu) {
        return std::nullopt;
    }
    const auto entriesAt = image.RvaToOffset(static_cast<std::uint32_t>(entriesRva), 8 * count);
    std::vector<std::uint8_t> raw(8ull * count);
    if (!entriesAt || !source.Read(*entriesAt, raw)) {
        return std::nullopt;
    }
    std::vector<ResourceEntry> entries(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        entries[i] = {Le32(raw.data() + 8ull * i), Le32(raw.data() + 8ull * i + 4)};
    }
    return entries;
}

// The subdirectory an entry points to, or nothing when it points to data.
std::optional<std::uint32_t> Subdirectory(const ResourceEntry& entry)
{
    if ((entry.target & kHighBit) == 0) {
        return std::nullopt;
    }
    return entry.target & ~kHighBit;
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadVersionResource(const PeImage& image, const ByteSource& source)
{
    const auto directory = image.Directory(PeImage::kDirectoryResource);
    if (!directory || directory->address == 0 || directory->size == 0) {
        return std::nullopt;
    }
    const std::uint32_t base = directory->address;

    const auto types = ReadResourceDirectory(image, source, base, 0);
    if (!types) {
        return std::nullopt;
    }
    const auto type = std::find_if(types->begin(), types->end(), [](const ResourceEntry& e) {
        return e.name == kResourceTypeVersion && Subdirectory(e);
    });
    if (type == types->end()) {
        return std::nullopt;
    }
    const auto names = ReadResourceDirectory(image, source, base, *Subdirectory(*type));
    if (!names) {
        return std::nullopt;
    }
    auto name =
        std::find_if(names->begin(), names->end(), [](const ResourceEntry& e) { return e.name == 1; });
    if (name == names->end()) {
        name = names->begin();
    }
    const auto nameDirectory = Subdirectory(*name);
    if (!nameDirectory) {
        return std::nullopt;
    }
    const auto languages = ReadResourceDirectory(image, source, base, *nameDirectory);
    if (!languages || Subdirectory(languages->front())) {
        return std::nullopt;
    }

    const std::uint64_t dataEntryRva = static_cast<std::uint64_t>(base) + languages->front().target;
    std::uint8_t dataEntry[16];
    if (dataEntryRva > 0xffffffffu) {
        return std::nullopt;
    }
    const auto dataEntryAt = image.RvaToOffset(static_cast<std::uint32_t>(dataEntryRva), sizeof dataEntry);
    if (!dataEntryAt || !source.Read(*dataEntryAt, dataEntry)) {
        return std::nullopt;
    }
    const std::uint32_t dataRva = Le32(dataEntry);
    const std::uint32_t size = std::min<std::uint32_t>(Le32(dataEntry + 4), VersionInfo::kMaxSize);
    const auto dataAt = image.RvaToOffset(dataRva, size);
    std::vector<std::uint8_t> data(size);
    if (!dataAt || !source.Read(*dataAt, data)) {
        return std::nullopt;
    }
    return data;
}

} // namespace qz::platform
