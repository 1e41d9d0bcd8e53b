// Large PE32+ images for the benchmarks, and the keys to sign them with.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The headers: one initialised-data section of `payload` bytes from 0x400,
// and a certificate table of `tableSize` bytes right after it when
// tableSize is not 0.
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

// Runs `command` in `dir`, its output thrown away.
inline bool ShellIn(const std::filesystem::path& dir, const std::string& command)
{
    return std::system(("cd '" + dir.string() + "' && " + command + " > /dev/null 2>&1").c_str()) == 0;
}

// A PE32+ image with one initialised-data section of `payload` bytes (a
// multiple of 1 MiB) of pseudo-random content.
inline bool WriteBigImage(const std::filesystem::path& path, std::uint64_t payload)
{
    const std::vector<std::uint8_t> header = BigImageHeaders(payload);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    std::vector<std::uint64_t> block((1u << 20) / 8);
    std::uint64_t state = 0x9e3779b97f4a7c15ull;
    for (std::uint64_t written = 0; written < payload; written += block.size() * 8) {
        for (auto& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * 8));
    }
    return static_cast<bool>(out);
}

// In `dir`: a root (root.pem, root.key) and a code signer it issued
// (leaf.pem, leaf.key), both made now.
inline bool MakeSigningKeys(const std::filesystem::path& dir)
{
    std::ofstream(dir / "leaf.ext") << "keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n";
    return ShellIn(dir, "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout root.key "
                        "-subj '/CN=Bench Root' -days 2 -addext basicConstraints=critical,CA:true "
                        "-addext keyUsage=critical,keyCertSign -out root.pem") &&
           ShellIn(dir, "openssl req -new -newkey rsa:2048 -nodes -keyout leaf.key -subj '/CN=Bench Signer' -out "
                        "leaf.csr") &&
           ShellIn(dir, "openssl x509 -req -in leaf.csr -CA root.pem -CAkey root.key -CAcreateserial -days 2 "
                        "-extfile leaf.ext -out leaf.pem");
}

// `out` in `dir`: a signed image of `payload` bytes, by the keys of MakeSigningKeys.
inline bool MakeSignedImage(const std::filesystem::path& dir, const std::string& out, std::uint64_t payload)
{
    const std::filesystem::path unsigned_ = dir / (out + ".unsigned");
    const bool ok = WriteBigImage(unsigned_, payload) &&
                    ShellIn(dir, "osslsigncode sign -certs leaf.pem -key leaf.key -h sha256 -in '" +
                                     unsigned_.filename().string() + "' -out '" + out + "'");
    std::filesystem::remove(unsigned_);
    return ok;
}
