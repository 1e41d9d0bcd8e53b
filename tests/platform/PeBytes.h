// Little-endian fields of PE images held in memory, and their parsing.
#pragma once

#include "platform/pe/ByteSource.h"
#include "platform/pe/PeImage.h"

#include <cstdint>
#include <optional>
#include <vector>

inline std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::optional<qz::platform::PeImage> ParseBytes(const std::vector<std::uint8_t>& bytes)
{
    qz::platform::MemoryByteSource source(bytes);
    return qz::platform::PeImage::Parse(source);
}
