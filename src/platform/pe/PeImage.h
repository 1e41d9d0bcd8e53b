// The headers of a PE32 or PE32+ image as far as signature checking and
// resource reading need them. Every size and offset in the file is treated as
// hostile: all arithmetic is done in 64 bits and bounded by the file size.
#pragma once

#include "platform/pe/ByteSource.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qz::platform {

/// One entry of the optional header's data directory table.
struct PeDataDirectory {
    std::uint32_t address = 0; ///< An RVA, except for the security directory (a file offset).
    std::uint32_t size = 0;
};

/// One entry of the section table.
struct PeSection {
    std::string name; ///< Up to eight bytes, without trailing zeros.
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t sizeOfRawData = 0;
    std::uint32_t pointerToRawData = 0;
};

class PeImage {
  public:
    static constexpr std::uint32_t kDirectoryResource = 2;
    static constexpr std::uint32_t kDirectorySecurity = 4;
    static constexpr std::uint32_t kMaxSections = 96; // the Windows loader's limit

    /// Reads and checks the DOS header, NT headers and section table; nothing
    /// when any of them is malformed or leaves the file.
    static std::optional<PeImage> Parse(const ByteSource& source);

    /// True for PE32+ (64-bit), false for PE32.
    bool Is64() const { return is64_; }
    std::uint64_t FileSize() const { return fileSize_; }
    /// File offset of the optional header's CheckSum field (4 bytes).
    std::uint64_t CheckSumOffset() const { return checkSumOffset_; }
    /// Number of data directory entries present (at most 16).
    std::uint32_t DirectoryCount() const { return directoryCount_; }
    /// File offset of data directory entry `index` (8 bytes); only meaningful
    /// when index < DirectoryCount().
    std::uint64_t DirectoryEntryOffset(std::uint32_t index) const
    {
        return directoriesOffset_ + 8ull * index;
    }
    /// Data directory entry `index`, or nothing when the table has no such entry.
    std::optional<PeDataDirectory> Directory(std::uint32_t index) const;
    /// The optional header's SizeOfHeaders.
    std::uint32_t SizeOfHeaders() const { return sizeOfHeaders_; }
    /// File offset just after the section table.
    std::uint64_t HeadersEnd() const { return headersEnd_; }
    const std::vector<PeSection>& Sections() const { return sections_; }

    /// The file offset of `length` bytes at `rva`, when they all lie in the
    /// headers or in the raw data of one section, and within the file.
    std::optional<std::uint64_t> RvaToOffset(std::uint32_t rva, std::uint32_t length) const;

  private:
    PeImage() = default;

    bool is64_ = false;
    std::uint64_t fileSize_ = 0;
    std::uint64_t checkSumOffset_ = 0;
    std::uint64_t directoriesOffset_ = 0;
    std::uint32_t directoryCount_ = 0;
    std::array<PeDataDirectory, 16> directories_{};
    std::uint32_t sizeOfHeaders_ = 0;
    std::uint64_t headersEnd_ = 0;
    std::vector<PeSection> sections_;
};

} // namespace qz::platform
