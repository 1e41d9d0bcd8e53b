#include "platform/pe/FileVersion.h"
#include "platform/pe/VersionInfo.h"

#include "support/PeWriter.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace qz::platform;
using qz::test::PeWriter;
using qz::test::VersionResourceContents;

namespace {

class VersionResource : public ::testing::Test {
  protected:
    std::filesystem::path Write(const std::string& name, const VersionResourceContents* contents,
                                bool is64 = true)
    {
        PeWriter writer(is64);
        if (contents) {
            writer.SetVersionResource(*contents);
        }
        const auto path = dir_ / name;
        writer.WriteTo(path);
        return path;
    }

    qz::test::TempFolder folder_{"qz-version"};
    const std::filesystem::path& dir_ = folder_.path();
};

std::wstring W(const std::filesystem::path& path)
{
    return path.wstring();
}

VersionResourceContents Product()
{
    VersionResourceContents contents;
    contents.tables = {{L"040904b0",
                        {{L"CompanyName", L"Qz Test Company"},
                         {L"ProductVersion", L"4.2.0.17"},
                         {L"Comments", L"Gr\u00fc\u00dfe \u4e16\u754c \U0001F600"},
                         {L"Empty", L""}}}};
    return contents;
}

} // namespace

TEST_F(VersionResource, AnswersStringsOfTheFirstTranslation)
{
    const VersionResourceContents contents = Product();
    for (bool is64 : {true, false}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        const auto path = Write(is64 ? "app64.exe" : "app32.exe", &contents, is64);
        EXPECT_EQ(GetFileVersionString(path.wstring(), L"ProductVersion"), L"4.2.0.17");
        EXPECT_EQ(GetFileVersionString(path.wstring(), L"companyname"), L"Qz Test Company");
        EXPECT_EQ(GetFileVersionString(path.wstring(), L"Comments"),
                  L"Gr\u00fc\u00dfe \u4e16\u754c \U0001F600");
        EXPECT_EQ(GetFileVersionString(path.wstring(), L"Empty"), L"");
        EXPECT_EQ(GetFileVersionString(path.wstring(), L"FileDescription"), L"");
    }

    // The first translation picks the table, even when another table comes first.
    VersionResourceContents two;
    two.translations = {{0x0407, 0x04e4}, {0x0409, 0x04b0}};
    two.tables = {{L"040904b0", {{L"ProductName", L"English"}}},
                  {L"040704E4", {{L"ProductName", L"Deutsch"}}}};
    EXPECT_EQ(GetFileVersionString(W(Write("two.exe", &two)), L"ProductName"), L"Deutsch");

    // Without a translation there is no table to look in.
    VersionResourceContents none = Product();
    none.translations.clear();
    EXPECT_EQ(GetFileVersionString(W(Write("none.exe", &none)), L"ProductVersion"), L"");

    // A translation whose table is missing.
    VersionResourceContents other = Product();
    other.translations = {{0x0411, 0x03a4}};
    EXPECT_EQ(GetFileVersionString(W(Write("other.exe", &other)), L"ProductVersion"), L"");

    // Wide paths name files by their UTF-8 spelling.
    Write("n\xc3\xa4me \xe2\x82\xac.exe", &contents);
    EXPECT_EQ(GetFileVersionString(dir_.wstring() + L"/n\u00e4me \u20ac.exe", L"ProductVersion"),
              L"4.2.0.17");
}

TEST_F(VersionResource, MissingOrBrokenInputGivesEmpty)
{
    EXPECT_EQ(GetFileVersionString(W(Write("plain.exe", nullptr)), L"ProductVersion"), L"");
    EXPECT_EQ(GetFileVersionString(W(dir_ / "missing.exe"), L"ProductVersion"), L"");
    EXPECT_EQ(GetFileVersionString(dir_.wstring(), L"ProductVersion"), L"");
    qz::test::WriteFileBytes(dir_ / "text.exe", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(GetFileVersionString(W(dir_ / "text.exe"), L"ProductVersion"), L"");

    // Every truncation of a version block parses or fails without reading past its end.
    const auto block = PeWriter::BuildVersionInfo(Product());
    for (std::size_t n = 0; n <= block.size(); ++n) {
        std::vector<std::uint8_t> cut(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
        const auto info = VersionInfo::Parse(cut);
        if (n < block.size()) {
            EXPECT_FALSE(info) << n; // the root's length no longer fits
        } else {
            ASSERT_TRUE(info);
            EXPECT_EQ(info->QueryString(L"\\StringFileInfo\\040904B0\\ProductVersion"), L"4.2.0.17");
            EXPECT_EQ(info->QueryValue(L"\\")->size(), 52u);
            ASSERT_EQ(info->Translations().size(), 1u);
            EXPECT_EQ(info->Translations()[0].language, 0x0409);
        }
    }

    // A child whose length runs past its parent ends the parent's children.
    auto broken = block;
    const std::size_t firstChild = 6 + 32 + 2 + 52; // header, "VS_VERSION_INFO", padding, fixed info
    broken[firstChild] = 0xff;
    broken[firstChild + 1] = 0xff;
    const auto info = VersionInfo::Parse(broken);
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->QueryString(L"\\StringFileInfo\\040904b0\\ProductVersion"));
    EXPECT_TRUE(info->Translations().empty());
}
