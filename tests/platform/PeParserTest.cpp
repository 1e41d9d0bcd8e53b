#include "PeBytes.h"
#include "support/PeWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <unistd.h>

using namespace qz::platform;
using qz::test::PeWriter;

TEST(PeParser, ReadsHeadersOfBothFormats)
{
    for (bool is64 : {true, false}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        PeWriter writer(is64);
        writer.AddSection(".extra", std::vector<std::uint8_t>(0x1234, 0xab));
        const auto bytes = writer.Build();
        const auto image = ParseBytes(bytes);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->Is64(), is64);
        EXPECT_EQ(image->FileSize(), bytes.size());
        // The writer puts the NT headers at 0x80; CheckSum is 64 bytes into the optional header.
        EXPECT_EQ(image->CheckSumOffset(), 0x80u + 24 + 64);
        EXPECT_EQ(image->DirectoryCount(), 16u);
        EXPECT_EQ(image->DirectoryEntryOffset(4), 0x80u + 24 + (is64 ? 112 : 96) + 32);
        ASSERT_EQ(image->Sections().size(), 3u);
        EXPECT_EQ(image->Sections()[0].name, ".text");
        EXPECT_EQ(image->Sections()[2].name, ".extra");
        EXPECT_EQ(image->SizeOfHeaders(), 0x200u);
        EXPECT_EQ(image->HeadersEnd(), 0x80u + 24 + (is64 ? 240 : 224) + 3 * 40);

        // Headers map to themselves, sections through their raw data, the rest nowhere.
        EXPECT_EQ(image->RvaToOffset(0x10, 16), 0x10u);
        EXPECT_EQ(image->RvaToOffset(0x3000 + 0x1000, 4), image->Sections()[2].pointerToRawData + 0x1000);
        EXPECT_EQ(bytes[*image->RvaToOffset(0x3000 + 0x1000, 1)], 0xab);
        EXPECT_FALSE(image->RvaToOffset(0x3000 + 0x1233, 2)); // runs past the section's data
        EXPECT_FALSE(image->RvaToOffset(0x900, 4));           // between headers and the first section
        EXPECT_FALSE(image->RvaToOffset(0xfffffff0, 0x20));
    }
}

TEST(PeParser, RejectsMalformedHeaders)
{
    const auto good = PeWriter().Build();
    ASSERT_TRUE(ParseBytes(good));
    const std::size_t coff = 0x84;
    const std::size_t opt = coff + 20;

    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"no MZ", [](auto& b) { b[0] = 'Z'; }},
        {"NT headers past the end",
         [](auto& b) { Put32(b, 0x3c, static_cast<std::uint32_t>(b.size() - 10)); }},
        {"NT offset overflows", [](auto& b) { Put32(b, 0x3c, 0xfffffffc); }},
        {"no PE signature", [&](auto& b) { b[0x81] = 'X'; }},
        {"unknown magic", [&](auto& b) { b[opt] = 0x0c; }},
        {"too many sections", [&](auto& b) { b[coff + 2] = 97; }},
        {"optional header too small for its directories",
         [&](auto& b) {
             b[coff + 16] = 100;
             b[coff + 17] = 0;
         }},
        {"section table past the end",
         [&](auto& b) {
             b[coff + 2] = 90;
             b.resize(0x300);
         }},
        {"truncated optional header", [](auto& b) { b.resize(0xa0); }},
        {"empty", [](auto& b) { b.clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = good;
        c.damage(bytes);
        EXPECT_FALSE(ParseBytes(bytes));
    }

    // A directory count beyond 16 is clamped; one below 5 has no security entry.
    auto bytes = good;
    Put32(bytes, opt + 108, 0xffffffff);
    ASSERT_TRUE(ParseBytes(bytes));
    EXPECT_EQ(ParseBytes(bytes)->DirectoryCount(), 16u);
    Put32(bytes, opt + 108, 3);
    EXPECT_FALSE(ParseBytes(bytes)->Directory(PeImage::kDirectorySecurity));
    EXPECT_TRUE(ParseBytes(bytes)->Directory(2));

    // Section fields that overflow map nothing.
    bytes = good;
    const std::size_t section = opt + 240;
    Put32(bytes, section + 16, 0xffffffff); // SizeOfRawData
    Put32(bytes, section + 20, 0xfffffff0); // PointerToRawData
    const auto image = ParseBytes(bytes);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->RvaToOffset(0x1000, 4));
}

TEST(PeParser, FileSourceReadsRangesWithinTheFile)
{
    const auto path = std::filesystem::temp_directory_path() / ("qz-pe-source-" + std::to_string(::getpid()));
    const auto bytes = PeWriter(false).Build();
    qz::test::WriteFileBytes(path, bytes);
    auto source = FileByteSource::Open(path);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->Size(), bytes.size());
    std::uint8_t two[2];
    EXPECT_TRUE(source->Read(bytes.size() - 2, two));
    EXPECT_FALSE(source->Read(bytes.size() - 1, two));
    EXPECT_FALSE(source->Read(~0ull, two));
    std::filesystem::remove(path);
}
