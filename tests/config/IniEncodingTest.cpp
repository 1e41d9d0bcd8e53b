// ANSI files written on Linux are UTF-8; bytes that are not survive every
// save and read in the chosen language's code page.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "config/IniFileText.h"
#include "config/ProfileFunctions.h"
#include "config/QZIniFileReader.h"
#include "IniTestUtil.h"
#include "platform/CodePage.h"

namespace {

using qz::platform::SetAnsiCodePage;
using qz::test::Got;
using qz::test::ScratchDir;

// Leaves the process as no language chosen.
struct AnsiPage {
    explicit AnsiPage(std::uint32_t page) { SetAnsiCodePage(page); }
    ~AnsiPage() { SetAnsiCodePage(0); }
};

const std::string kLatin1 = "; Kunde\r\n\r\n[crm]\r\nname=M\xFCller\r\ncity=Z\xFCrich\r\n\r\n";
const std::string kLatin1Added = "; Kunde\r\n\r\n[crm]\r\nname=M\xFCller\r\ncity=Z\xFCrich\r\nid=7\r\n\r\n";

TEST(IniEncoding, LatinOneBytesSurviveEverySave)
{
    ScratchDir dir;
    dir.Write("w.ini", kLatin1);
    const std::wstring file = dir.File("w.ini");
    EXPECT_TRUE(WritePrivateProfileStringW(L"crm", L"id", L"7", file.c_str()));
    EXPECT_EQ(dir.Read("w.ini"), kLatin1Added);

    // Read in the language's code page; new text is written as UTF-8.
    AnsiPage page(1252);
    wchar_t buf[32];
    EXPECT_EQ(Got(GetPrivateProfileStringW(L"crm", L"city", L"", buf, 32, file.c_str()), buf), L"6:Z\u00FCrich");
    EXPECT_TRUE(WritePrivateProfileStringW(L"crm", L"id", L"\u00E9", file.c_str()));
    EXPECT_EQ(dir.Read("w.ini"), "; Kunde\r\n\r\n[crm]\r\nname=M\xFCller\r\ncity=Z\xFCrich\r\nid=\xC3\xA9\r\n\r\n");

    const auto tool = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "qzskin";
    if (!std::filesystem::exists(tool))
        GTEST_SKIP() << "qzskin is not built";
    dir.Write("t.ini", kLatin1);
    const std::string command = "cd '" + dir.Path().string() + "' && '" + tool.string() + "' ini t.ini --save t2.ini";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(dir.Read("t2.ini"), kLatin1);
}

TEST(IniEncoding, ALanguageChosenBetweenReadAndSaveChangesNoByte)
{
    ScratchDir dir;
    dir.Write("l.ini", kLatin1);
    dir.Write("u.ini", "\xEF\xBB\xBF[crm]\r\nname=M\xC3\xBCller\r\n\r\n");
    CQZIniFileReader::ClearCache(true);
    CQZIniFileReader latin;
    CQZIniFileReader utf8;
    ASSERT_TRUE(latin.Open(dir.File("l.ini").c_str()));
    ASSERT_TRUE(utf8.Open(dir.File("u.ini").c_str()));

    AnsiPage page(932);
    wchar_t buf[32];
    EXPECT_EQ(Got(utf8.GetProfileString(L"crm", L"name", L"", buf, 32), buf), L"6:M\u00FCller");
    EXPECT_TRUE(latin.WriteProfileString(L"crm", L"id", L"7"));
    EXPECT_TRUE(latin.Save());
    EXPECT_EQ(dir.Read("l.ini"), kLatin1Added);
    EXPECT_TRUE(utf8.Save(nullptr, 0, nullptr, true));
    EXPECT_EQ(dir.Read("u.ini"), "\xEF\xBB\xBF[crm]\r\nname=M\xC3\xBCller\r\n\r\n");
}

TEST(IniEncoding, LineEndsInWrittenValuesAreRefused)
{
    ScratchDir dir;
    dir.Write("i.ini", "[s]\r\nk=1\r\n\r\n");
    const std::wstring file = dir.File("i.ini");
    EXPECT_FALSE(WritePrivateProfileStringW(L"s", L"k", L"a\r\nevil=1", file.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringW(L"s", L"x\nevil", L"1", file.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringW(L"s]\r\n[t", L"k", L"1", file.c_str()));
    EXPECT_EQ(dir.Read("i.ini"), "[s]\r\nk=1\r\n\r\n");

    CQZIniFileReader reader;
    ASSERT_TRUE(reader.Open(file.c_str()));
    EXPECT_FALSE(reader.WriteProfileString(L"s", L"k", L"a\r\nevil=1"));
    EXPECT_FALSE(reader.WriteProfileSection(L"s", L"k=a\revil=1\0"));
    EXPECT_FALSE(reader.IsModified());
    EXPECT_TRUE(reader.Save(nullptr, 0, nullptr, true));
    CQZIniFileReader back;
    ASSERT_TRUE(back.Open(file.c_str()));
    EXPECT_FALSE(back.HasKey(L"s", L"evil"));
    EXPECT_EQ(back.GetProfileInt(L"s", L"k", 0), 1);
}

TEST(IniEncoding, LoneSurrogateOfAWindowsToolSurvivesASave)
{
    ScratchDir dir;
    // "[s]\r\nk=a" U+D800 "b\r\n\r\n" in UTF-16LE, as a Windows tool writes it.
    std::string bytes = qz::test::Utf16Bytes("[s]\r\nk=a");
    bytes += std::string("\x00\xD8", 2);
    const std::string tail = qz::test::Utf16Bytes("b\r\n\r\n").substr(2);
    dir.Write("w.ini", bytes + tail);
    EXPECT_TRUE(WritePrivateProfileStringW(L"s", L"j", L"2", dir.File("w.ini").c_str()));
    EXPECT_EQ(dir.Read("w.ini"), bytes + qz::test::Utf16Bytes("b\r\nj=2\r\n\r\n").substr(2));

    dir.Write("r.ini", bytes + tail);
    CQZIniFileReader reader;
    ASSERT_TRUE(reader.Open(dir.File("r.ini").c_str()));
    EXPECT_TRUE(reader.Save(nullptr, 0, nullptr, true));
    EXPECT_EQ(dir.Read("r.ini"), bytes + tail);
}

TEST(IniEncoding, CarriedBytesThatLookLikeAMarkStayText)
{
    // Text whose carried bytes begin as a UTF-16 or UTF-8 mark would be read
    // back as another encoding, or lose its first character.
    for (const std::wstring& text : {std::wstring(L"\xDCFF\xDCFE[S]"), std::wstring(L"\xDCFE\xDCFFx=1"),
                                    std::wstring(L"\xFEFF[S]\r\n")}) {
        CQZIniFileBuffer again;
        ASSERT_TRUE(CQZIniFileText::Decode(CQZIniFileText::Encode(text, kQzIniEncodingAnsi), again));
        EXPECT_EQ(again.text, text);
        EXPECT_EQ(again.encoding, kQzIniEncodingAnsi);
    }
}

TEST(IniEncoding, RelativeNameInANonUtf8Folder)
{
    ScratchDir dir;
    const std::filesystem::path folder = dir.Path() / "caf\xE9";
    std::filesystem::create_directory(folder);
    dir.Write("caf\xE9/rel.ini", "[s]\nk=here\n");
    const std::filesystem::path before = std::filesystem::current_path();
    ASSERT_EQ(chdir(folder.c_str()), 0);
    wchar_t buf[16];
    const std::wstring got = Got(GetPrivateProfileStringW(L"s", L"k", L"none", buf, 16, L"rel.ini"), buf);
    CQZIniFileReader reader;
    const bool opened = reader.Open(L"rel.ini");
    std::filesystem::current_path(before);
    EXPECT_EQ(got, L"4:here");
    ASSERT_TRUE(opened);
    EXPECT_TRUE(reader.HasKey(L"s", L"k"));
}

}  // namespace
