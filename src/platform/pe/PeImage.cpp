#include "platform/pe/PeImage.h"

#include <algorithm>

namespace qz::platform {

namespace {

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;
constexpr std::uint64_t kCoffHeaderSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;

} // namespace

std::optional<PeImage> PeImage::Parse(const ByteSource& source)
{
    PeImage image;
    image.fileSize_ = source.Size();

    std::uint8_t dos[64];
    if (!source.Read(0, dos) || dos[0] != 'M' || dos[1] != 'Z') {
        return std::nullopt;
    }
    const std::uint64_t ntOffset = Le32(dos + 0x3c);

    std::uint8_t nt[4 + kCoffHeaderSize];
    if (!source.Read(ntOffset, nt) || nt[0] != 'P' || nt[1] != 'E' || nt[2] != 0 || nt[3] != 0) {
        return std::nullopt;
    }
    const std::uint8_t* coff = nt + 4;
    const std::uint32_t sectionCount = Le16(coff + 2);
    const std::uint32_t optionalSize = Le16(coff + 16);
    if (sectionCount > kMaxSections) {
        return std::nullopt;
    }

    // The optional header is at most 0xffff bytes; read it whole.
    const std::uint64_t optOffset = ntOffset + 4 + kCoffHeaderSize;
    std::vector<std::uint8_t> opt(optionalSize);
    if (optionalSize < 2 || !source.Read(optOffset, opt)) {
        return std::nullopt;
    }
    const std::uint16_t magic = Le16(opt.data());
    std::uint64_t countField = 0;
    std::uint64_t directoriesField = 0;
    if (magic == kMagicPe32) {
        countField = 92;
        directoriesField = 96;
    } else if (magic == kMagicPe32Plus) {
        image.is64_ = true;
        countField = 108;
        directoriesField = 112;
    } else {
        return std::nullopt;
    }
    if (optionalSize < directoriesField) {
        return std::nullopt;
    }
    image.sizeOfHeaders_ = Le32(opt.data() + 60);
    image.checkSumOffset_ = optOffset + 64;
    image.directoriesOffset_ = optOffset + directoriesField;
    // Entries beyond 16 have no meaning; entries the header has no room for do not exist.
    const std::uint64_t declared = Le32(opt.data() + countField);
    const std::uint64_t room = (optionalSize - directoriesField) / 8;
    image.directoryCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>({declared, room, 16}));
    for (std::uint32_t i = 0; i < image.directoryCount_; ++i) {
        const std::uint8_t* entry = opt.data() + directoriesField + 8ull * i;
        image.directories_[i] = {Le32(entry), Le32(entry + 4)};
    }

    const std::uint64_t sectionsOffset = optOffset + optionalSize;
    std::vector<std::uint8_t> table(sectionCount * kSectionHeaderSize);
    if (!source.Read(sectionsOffset, table)) {
        return std::nullopt;
    }
    image.headersEnd_ = sectionsOffset + table.size();
    image.sections_.reserve(sectionCount);
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint8_t* s = table.data() + kSectionHeaderSize * i;
        PeSection section;
        const auto* nameEnd = std::find(s, s + 8, std::uint8_t{0});
        section.name.assign(s, nameEnd);
        section.virtualSize = Le32(s + 8);
        section.virtualAddress = Le32(s + 12);
        section.sizeOfRawData = Le32(s + 16);
        section.pointerToRawData = Le32(s + 20);
        image.sections_.push_back(std::move(section));
    }
    return image;
}

std::optional<PeDataDirectory> PeImage::Directory(std::uint32_t index) const
{
    if (index >= directoryCount_) {
        return std::nullopt;
    }
    return directories_[index];
}

std::optional<std::uint64_t> PeImage::RvaToOffset(std::uint32_t rva, std::uint32_t length) const
{
    const std::uint64_t end = static_cast<std::uint64_t>(rva) + length;
    if (end <= sizeOfHeaders_) {
        if (!RangeFits(rva, length, fileSize_)) {
            return std::nullopt;
        }
        return rva;
    }
    for (const PeSection& section : sections_) {
        if (rva < section.virtualAddress) {
            continue;
        }
        const std::uint64_t delta = rva - section.virtualAddress;
        // Only bytes backed by raw data exist in the file.
        const std::uint64_t mapped = section.virtualSize != 0
                                         ? std::min(section.virtualSize, section.sizeOfRawData)
                                         : section.sizeOfRawData;
        if (!RangeFits(delta, length, mapped)) {
            continue;
        }
        const std::uint64_t offset = section.pointerToRawData + delta;
        if (!RangeFits(offset, length, fileSize_)) {
            return std::nullopt;
        }
        return offset;
    }
    return std::nullopt;
}

} // namespace qz::platform
