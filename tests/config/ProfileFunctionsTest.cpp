#include <gtest/gtest.h>

#include "config/ProfileFunctions.h"
#include "config/QZIniFileReader.h"
#include "IniTestUtil.h"

namespace {

using qz::test::Got;
using qz::test::ScratchDir;

TEST(ProfileFunctions, ReadsFollowTheWindowsContract)
{
    ScratchDir dir;
    const std::wstring file = dir.File("p.ini");
    wchar_t buf[64];

    // Missing file: defaults, with trailing blanks of the default removed.
    EXPECT_EQ(Got(GetPrivateProfileStringW(L"S", L"k", L"def  ", buf, 64, file.c_str()), buf), L"3:def");
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"k", nullptr, buf, 64, file.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntW(L"S", L"k", -3, file.c_str()), static_cast<std::uint32_t>(-3));
    buf[0] = buf[1] = L'x';
    EXPECT_EQ(GetPrivateProfileSectionNamesW(buf, 64, file.c_str()), 0u);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], 0);

    dir.Write("p.ini", "[S]\r\nk = \"quoted\"\r\nn=-7\r\nh=0x10\r\n; c\r\nlong=abcdefgh\r\n[T]\r\na=1\r\n");
    EXPECT_EQ(Got(GetPrivateProfileStringW(L"s", L"K", L"d", buf, 64, file.c_str()), buf), L"6:quoted");
    EXPECT_EQ(Got(GetPrivateProfileStringW(L"S", L"long", L"d", buf, 5, file.c_str()), buf), L"4:abcd");
    EXPECT_EQ(GetPrivateProfileIntW(L"S", L"n", 0, file.c_str()), static_cast<std::uint32_t>(-7));
    EXPECT_EQ(GetPrivateProfileIntW(L"S", L"h", 5, file.c_str()), 0u);

    // The lists follow the reader's buffer rules; here only that each call reaches them.
    EXPECT_EQ(std::wstring(buf, GetPrivateProfileStringW(L"S", nullptr, nullptr, buf, 64, file.c_str())),
              std::wstring(L"k\0n\0h\0long\0", 11));
    EXPECT_EQ(GetPrivateProfileSectionNamesW(buf, 3, file.c_str()), 1u);
    EXPECT_EQ(std::wstring(buf, GetPrivateProfileSectionW(L"T", buf, 64, file.c_str())), std::wstring(L"a=1\0", 4));

    // Every call reads the file afresh.
    dir.Write("p.ini", "[S]\nk=changed\n");
    EXPECT_EQ(Got(GetPrivateProfileStringW(L"S", L"k", L"d", buf, 64, file.c_str()), buf), L"7:changed");
}

TEST(ProfileFunctions, WritesKeepTheFileAndItsEncoding)
{
    ScratchDir dir;
    const std::wstring file = dir.File("w.ini");
    wchar_t buf[64];
    EXPECT_FALSE(WritePrivateProfileStringW(nullptr, L"k", L"v", file.c_str()));
    // Removing from a missing file succeeds without creating it.
    EXPECT_TRUE(WritePrivateProfileStringW(L"S", nullptr, nullptr, file.c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "w.ini"));

    EXPECT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"v", file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(L"S", L"j", L"2", file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(L"T", L"x", L"1", file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(L"s", L"K", L"w", file.c_str()));
    EXPECT_EQ(dir.Read("w.ini"), "[S]\r\nk=w\r\nj=2\r\n\r\n[T]\r\nx=1\r\n\r\n");
    EXPECT_TRUE(WritePrivateProfileStringW(L"S", L"j", nullptr, file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(L"T", nullptr, L"ignored", file.c_str()));
    EXPECT_EQ(dir.Read("w.ini"), "[S]\r\nk=w\r\n\r\n");

    // A UTF-16 file stays UTF-16; comments and header lines stay.
    dir.Write("u.ini", qz::test::Utf16Bytes(";h\n[A]\n"));
    const std::wstring utf16 = dir.File("u.ini");
    EXPECT_TRUE(WritePrivateProfileStringW(L"A", L"k", L"\u00e9", utf16.c_str()));
    EXPECT_EQ(dir.Read("u.ini"), qz::test::Utf16Bytes(";h\r\n\r\n[A]\r\nk=\xE9\r\n\r\n"));
    EXPECT_EQ(Got(GetPrivateProfileStringW(L"A", L"k", L"", buf, 64, utf16.c_str()), buf), L"1:\u00e9");

    // A write is seen by readers that opened the file before it was cached.
    {
        CQZIniFileReader cached;
        ASSERT_TRUE(cached.Open(file.c_str()));
    }
    EXPECT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"fresh", file.c_str()));
    CQZIniFileReader reader;
    ASSERT_TRUE(reader.Open(file.c_str()));
    EXPECT_EQ(reader.GetProfileString(L"S", L"k", L"", buf, 64), 5u);

    // A file that cannot be decoded is not overwritten.
    dir.Write("bad.ini", "\xFE\xFF");
    EXPECT_FALSE(WritePrivateProfileStringW(L"A", L"k", L"v", dir.File("bad.ini").c_str()));
    EXPECT_EQ(dir.Read("bad.ini"), "\xFE\xFF");
}

}  // namespace
