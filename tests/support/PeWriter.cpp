#include "PeWriter.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace qz::test {

namespace {

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kNtOffset = 0x80;

std::uint32_t AlignUp(std::uint32_t n, std::uint32_t a)
{
    return (n + a - 1) / a * a;
}

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    Put16(b, at, static_cast<std::uint16_t>(v));
    Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

void Put64(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v)
{
    Put32(b, at, static_cast<std::uint32_t>(v));
    Put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}

void Append16(std::vector<std::uint8_t>& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void AppendUtf16(std::vector<std::uint8_t>& b, const std::wstring& text)
{
    for (wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c >= 0x10000) {
            Append16(b, static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
            Append16(b, static_cast<std::uint16_t>(0xDC00 + ((c - 0x10000) & 0x3ff)));
        } else {
            Append16(b, static_cast<std::uint16_t>(c));
        }
    }
    Append16(b, 0);
}

void Pad4(std::vector<std::uint8_t>& b)
{
    while (b.size() % 4 != 0) {
        b.push_back(0);
    }
}

// One version block: header, key, value, children; the length excludes trailing padding.
std::vector<std::uint8_t> VersionBlock(const std::wstring& key, bool text,
                                       const std::vector<std::uint8_t>& value, std::uint16_t valueLength,
                                       const std::vector<std::vector<std::uint8_t>>& children)
{
    std::vector<std::uint8_t> b(6, 0);
    AppendUtf16(b, key);
    Pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const auto& child : children) {
        Pad4(b);
        b.insert(b.end(), child.begin(), child.end());
    }
    Put16(b, 0, static_cast<std::uint16_t>(b.size()));
    Put16(b, 2, valueLength);
    Put16(b, 4, text ? 1 : 0);
    return b;
}

} // namespace

PeWriter::PeWriter(bool is64) : is64_(is64)
{
    // xor eax, eax; ret - then recognisable filler.
    std::vector<std::uint8_t> code = {0x31, 0xc0, 0xc3};
    for (int i = 0; i < 300; ++i) {
        code.push_back(static_cast<std::uint8_t>(0x90 + i % 7));
    }
    AddSection(".text", code);
    std::vector<std::uint8_t> data;
    const char text[] = "test image data";
    for (int i = 0; i < 40; ++i) {
        data.insert(data.end(), text, text + sizeof text);
    }
    AddSection(".rdata", data);
}

void PeWriter::AddSection(std::string name, std::vector<std::uint8_t> data)
{
    sections_.push_back({std::move(name), std::move(data), false});
}

void PeWriter::SetVersionResource(const VersionResourceContents& contents)
{
    version_ = contents;
    if (!hasVersion_) {
        sections_.push_back({".rsrc", {}, true});
    }
    hasVersion_ = true;
}

std::vector<std::uint8_t> PeWriter::BuildVersionInfo(const VersionResourceContents& contents)
{
    std::vector<std::uint8_t> fixed(52, 0);
    Put32(fixed, 0, 0xFEEF04BD);
    Put32(fixed, 4, 0x00010000);
    Put32(fixed, 8, 0x00010002);  // 1.2
    Put32(fixed, 12, 0x00030004); // .3.4
    Put32(fixed, 16, 0x00010002);
    Put32(fixed, 20, 0x00030004);
    Put32(fixed, 36, 0x00040004); // VOS_NT_WINDOWS32
    Put32(fixed, 40, 1);          // VFT_APP

    std::vector<std::vector<std::uint8_t>> top;
    if (!contents.tables.empty()) {
        std::vector<std::vector<std::uint8_t>> tables;
        for (const auto& [tableKey, strings] : contents.tables) {
            std::vector<std::vector<std::uint8_t>> entries;
            for (const auto& [key, value] : strings) {
                std::vector<std::uint8_t> text;
                AppendUtf16(text, value);
                entries.push_back(
                    VersionBlock(key, true, text, static_cast<std::uint16_t>(text.size() / 2), {}));
            }
            tables.push_back(VersionBlock(tableKey, true, {}, 0, entries));
        }
        top.push_back(VersionBlock(L"StringFileInfo", true, {}, 0, tables));
    }
    if (!contents.translations.empty()) {
        std::vector<std::uint8_t> pairs;
        for (const auto& [language, codePage] : contents.translations) {
            Append16(pairs, language);
            Append16(pairs, codePage);
        }
        top.push_back(VersionBlock(
            L"VarFileInfo", true, {}, 0,
            {VersionBlock(L"Translation", false, pairs, static_cast<std::uint16_t>(pairs.size()), {})}));
    }
    return VersionBlock(L"VS_VERSION_INFO", false, fixed, 52, top);
}

std::vector<std::uint8_t> PeWriter::Build() const
{
    const std::uint32_t optionalSize = is64_ ? 240 : 224;
    const std::uint32_t count = static_cast<std::uint32_t>(sections_.size());
    const std::uint32_t sectionTable = kNtOffset + 4 + 20 + optionalSize;
    const std::uint32_t headersSize = AlignUp(sectionTable + 40 * count, kFileAlignment);

    // Lay out the sections, building the resource section once its RVA is known.
    std::vector<std::vector<std::uint8_t>> contents;
    std::vector<std::uint32_t> rvas, offsets;
    std::uint32_t rva = kSectionAlignment, offset = headersSize;
    std::uint32_t resourceRva = 0, resourceSize = 0;
    for (const Section& section : sections_) {
        std::vector<std::uint8_t> data = section.data;
        if (section.resource) {
            const std::vector<std::uint8_t> info = BuildVersionInfo(version_);
            data.assign(88, 0);
            // type 16 -> name 1 -> language -> data entry, each directory with one ID entry.
            const std::uint32_t languages =
                version_.translations.empty() ? 0 : version_.translations[0].first;
            const std::uint32_t levels[3][2] = {
                {16, 0x80000000u | 24}, {1, 0x80000000u | 48}, {languages, 72}};
            for (int level = 0; level < 3; ++level) {
                Put16(data, 24 * level + 14, 1);
                Put32(data, 24 * level + 16, levels[level][0]);
                Put32(data, 24 * level + 20, levels[level][1]);
            }
            Put32(data, 72, rva + 88);
            Put32(data, 76, static_cast<std::uint32_t>(info.size()));
            data.insert(data.end(), info.begin(), info.end());
            resourceRva = rva;
            resourceSize = static_cast<std::uint32_t>(data.size());
        }
        rvas.push_back(rva);
        offsets.push_back(offset);
        rva += AlignUp(static_cast<std::uint32_t>(data.size()), kSectionAlignment);
        offset += AlignUp(static_cast<std::uint32_t>(data.size()), kFileAlignment);
        contents.push_back(std::move(data));
    }

    std::vector<std::uint8_t> image(offset, 0);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3c, kNtOffset);
    std::memcpy(image.data() + kNtOffset, "PE\0\0", 4);
    const std::size_t coff = kNtOffset + 4;
    Put16(image, coff, is64_ ? 0x8664 : 0x14c);
    Put16(image, coff + 2, static_cast<std::uint16_t>(count));
    Put16(image, coff + 16, static_cast<std::uint16_t>(optionalSize));
    Put16(image, coff + 18, is64_ ? 0x0022 : 0x0102);

    const std::size_t opt = coff + 20;
    Put16(image, opt, is64_ ? 0x20b : 0x10b);
    image[opt + 2] = 14;
    Put32(image, opt + 4, AlignUp(static_cast<std::uint32_t>(contents[0].size()), kFileAlignment));
    Put32(image, opt + 16, rvas[0]); // entry point
    Put32(image, opt + 20, rvas[0]); // base of code
    if (is64_) {
        Put64(image, opt + 24, 0x140000000ull);
    } else {
        Put32(image, opt + 24, rvas.size() > 1 ? rvas[1] : rvas[0]);
        Put32(image, opt + 28, 0x400000);
    }
    Put32(image, opt + 32, kSectionAlignment);
    Put32(image, opt + 36, kFileAlignment);
    Put16(image, opt + 40, 6);
    Put16(image, opt + 48, 6);
    Put32(image, opt + 56, rva); // SizeOfImage
    Put32(image, opt + 60, headersSize);
    Put16(image, opt + 68, 3); // console
    Put16(image, opt + 70, 0x8140);
    const std::size_t sizes = 72;
    if (is64_) {
        Put64(image, opt + sizes, 0x100000);
        Put64(image, opt + sizes + 8, 0x1000);
        Put64(image, opt + sizes + 16, 0x100000);
        Put64(image, opt + sizes + 24, 0x1000);
    } else {
        Put32(image, opt + sizes, 0x100000);
        Put32(image, opt + sizes + 4, 0x1000);
        Put32(image, opt + sizes + 8, 0x100000);
        Put32(image, opt + sizes + 12, 0x1000);
    }
    const std::size_t dirs = opt + (is64_ ? 112 : 96);
    Put32(image, dirs - 4, 16);
    if (resourceRva != 0) {
        Put32(image, dirs + 8 * 2, resourceRva);
        Put32(image, dirs + 8 * 2 + 4, resourceSize);
    }

    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t h = sectionTable + 40 * i;
        std::memcpy(image.data() + h, sections_[i].name.data(),
                    std::min<std::size_t>(8, sections_[i].name.size()));
        Put32(image, h + 8, static_cast<std::uint32_t>(contents[i].size()));
        Put32(image, h + 12, rvas[i]);
        Put32(image, h + 16, AlignUp(static_cast<std::uint32_t>(contents[i].size()), kFileAlignment));
        Put32(image, h + 20, offsets[i]);
        Put32(image, h + 36, i == 0 ? 0x60000020u : 0x40000040u); // code+exec+read, or initialised data+read
        std::memcpy(image.data() + offsets[i], contents[i].data(), contents[i].size());
    }
    return image;
}

void PeWriter::WriteTo(const std::filesystem::path& path) const
{
    WriteFileBytes(path, Build());
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<std::uint8_t> bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace qz::test
