// The headers of a large PE32+ image for the benchmarks: one initialised-data
// section of `payload` bytes from 0x400, and a certificate table of
// `tableSize` bytes right after it when tableSize is not 0.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

inline std::vector<std::uint8_t> BigImageHeaders(std::uint64_t payload, std::uint32_t tableSize = 0)
{
    const auto put32 = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v) {
        const auto value = static_cast<std::uint32_t>(v);
        std::memcpy(b.data() + at, &value, 4); // little-endian host
    };
    std::vector<std::uint8_t> header(0x400, 0);
    header[0] = 'M';
    header[1] = 'Z';
    put32(header, 0x3c, 0x80);
    std::memcpy(header.data() + 0x80, "PE\0\0", 4);
    const std::size_t coff = 0x84, opt = coff + 20;
    header[coff] = 0x64;
    header[coff + 1] = 0x86;
    header[coff + 2] = 1;
    header[coff + 16] = 240;
    header[coff + 18] = 0x22;
    header[opt] = 0x0b;
    header[opt + 1] = 0x02;
    put32(header, opt + 32, 0x1000);
    put32(header, opt + 36, 0x200);
    put32(header, opt + 56, 0x1000 + payload);
    put32(header, opt + 60, 0x400);
    header[opt + 68] = 3;
    put32(header, opt + 108, 16);
    if (tableSize != 0) {
        put32(header, opt + 112 + 4 * 8, 0x400 + payload);
        put32(header, opt + 112 + 4 * 8 + 4, tableSize);
    }
    const std::size_t section = opt + 240;
    std::memcpy(header.data() + section, ".data", 5);
    put32(header, section + 8, payload);
    put32(header, section + 12, 0x1000);
    put32(header, section + 16, payload);
    put32(header, section + 20, 0x400);
    put32(header, section + 36, 0x40000040);
    return header;
}
