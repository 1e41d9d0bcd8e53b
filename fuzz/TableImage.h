// A minimal PE32+ image around a certificate table, so that table bytes can
// be checked as a signed file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline std::vector<std::uint8_t> WrapTableInImage(const std::uint8_t* table, std::size_t size)
{
    std::vector<std::uint8_t> image(0x200, 0);
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3c] = 0x40;
    std::memcpy(image.data() + 0x40, "PE\0\0", 4);
    image[0x40 + 4 + 16] = 240; // SizeOfOptionalHeader
    const std::size_t opt = 0x40 + 24;
    image[opt] = 0x0b;
    image[opt + 1] = 0x02;
    image[opt + 108] = 16;
    const std::size_t entry = opt + 112 + 4 * 8;
    const std::uint32_t offset = 0x200, length = static_cast<std::uint32_t>(size);
    std::memcpy(image.data() + entry, &offset, 4);
    std::memcpy(image.data() + entry + 4, &length, 4);
    image.insert(image.end(), table, table + size);
    return image;
}
