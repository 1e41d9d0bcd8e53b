// A version resource (VS_VERSIONINFO) as a tree of keyed blocks, queried by
// path the way VerQueryValueW does, and the walk of an image's resource tree
// that finds it.
#pragma once

#include "platform/pe/ByteSource.h"
#include "platform/pe/PeImage.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qz::platform {

/// One language and code page pair of "\\VarFileInfo\\Translation".
struct VersionTranslation {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
};

class VersionInfo {
  public:
    /// Largest block a version resource can describe (its length field is 16 bits).
    static constexpr std::size_t kMaxSize = 0xffff;

    /// Parses a raw RT_VERSION resource; nothing when the root block is
    /// malformed. Malformed children end their parent's child list.
    static std::optional<VersionInfo> Parse(std::span<const std::uint8_t> bytes);

    /// The value bytes of the block at `path` ("\\StringFileInfo\\040904b0\\Key",
    /// "\\" for the root); keys compare without regard to ASCII case, empty
    /// path components are skipped. Nothing when no block matches.
    std::optional<std::span<const std::uint8_t>> QueryValue(std::wstring_view path) const;

    /// The value at `path` taken as zero-terminated UTF-16 text.
    std::optional<std::wstring> QueryString(std::wstring_view path) const;

    /// The pairs of "\\VarFileInfo\\Translation", in file order.
    std::vector<VersionTranslation> Translations() const;

  private:
    struct Block {
        std::u16string key;
        std::size_t valueOffset = 0;
        std::size_t valueSize = 0;
        std::vector<Block> children;
    };

    static std::optional<Block> ParseBlock(std::span<const std::uint8_t> bytes, std::size_t offset,
                                           std::size_t end, int depth);
    const Block* Find(std::wstring_view path) const;

    std::vector<std::uint8_t> bytes_;
    Block root_;
};

/// Reads the raw version resource of an image (resource type 16, name 1 or the
/// first name, first language); nothing when there is none or the resource
/// tree leaves the file. At most VersionInfo::kMaxSize bytes are read.
std::optional<std::vector<std::uint8_t>> ReadVersionResource(const PeImage& image, const ByteSource& source);

} // namespace qz::platform
