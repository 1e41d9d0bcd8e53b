#include <gtest/gtest.h>

#include "config/IniFile.h"
#include "config/ProfileFunctions.h"
#include "IniTestUtil.h"

namespace {

using qz::platform::POINT;
using qz::platform::RECT;
using qz::test::ScratchDir;

std::wstring ReadValue(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    wchar_t buf[128];
    GetPrivateProfileStringW(section, key, L"<none>", buf, 128, file.c_str());
    return buf;
}

TEST(IniFile, RectanglesWithFallbackAndMissingKeys)
{
    ScratchDir dir;
    dir.Write("skin.ini",
              "[Main]\ncommas=1,2,3,4\nblanks=1 2 3 4\nshort=5\ngap=1,,3,4\nmixed=7;8 9x10\n"
              "BtnOK=10,10,50,20\nSTATTitle=1,1,9,9\nhuge=99999999999,-99999999999,5,6\n[Default]\ndefCancel=2,2,4,4\n");
    dir.Write("fallback.ini", "[Main]\nonlyThere=4 3 2 1\n");
    CIniFile ini;
    ini.SetFile(dir.File("skin.ini"));
    RECT r;
    const std::pair<const wchar_t*, RECT> forms[] = {
        {L"commas", {1, 2, 3, 4}}, {L"blanks", {1, 2, 3, 4}}, {L"short", {5, 0, 0, 0}},
        {L"gap", {1, 0, 3, 4}}, {L"mixed", {7, 8, 9, 10}},
        // Out of range: the 32-bit limits, not the low bits of a 64-bit number.
        {L"huge", {2147483647, -2147483647 - 1, 5, 6}}};
    for (const auto& [key, rect] : forms) {
        EXPECT_TRUE(ini.GetRect(L"Main", key, r)) << key;
        EXPECT_EQ(r, rect) << key;
    }

    EXPECT_FALSE(ini.GetRect(L"Main", L"onlyThere", r));
    EXPECT_EQ(r, (RECT{0, 0, 1, 1}));
    ini.SetFallbackFile(dir.File("fallback.ini"));
    EXPECT_TRUE(ini.GetRect(L"Main", L"onlyThere", r));
    EXPECT_EQ(r, (RECT{4, 3, 2, 1}));

    // Missing keys are recorded only when that is switched on.
    ini.SetMissingKeysFile(dir.File("missing.ini"), false);
    EXPECT_FALSE(ini.GetRect(L"Main", L"absent", r));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing.ini"));
    ini.SetMissingKeysFile(dir.File("missing.ini"), true);
    EXPECT_FALSE(ini.GetRect(L"Main", L"absent", r));
    EXPECT_EQ(ReadValue(dir.File("missing.ini"), L"Main", L"absent"), L"not used");

    // Buttons: prefix + name, then "Btn" + name, then section "Default".
    EXPECT_TRUE(ini.GetButtonRect(L"Main", L"Pfx", L"OK", L"def", r));
    EXPECT_EQ(r, (RECT{10, 10, 50, 20}));
    EXPECT_TRUE(ini.GetButtonRect(L"Main", L"Btn", L"Cancel", L"def", r));
    EXPECT_EQ(r, (RECT{2, 2, 4, 4}));
    EXPECT_TRUE(ini.GetStaticRect(L"Main", L"x", L"Title", L"def", r));
    EXPECT_FALSE(ini.GetStaticRect(L"Main", L"x", L"Nothing", L"def", r));
    EXPECT_EQ(r, (RECT{0, 0, 1, 1}));
    EXPECT_EQ(ReadValue(dir.File("missing.ini"), L"Main", L"xNothing"), L"not used");
}

TEST(IniFile, FontsPointsSectionsAndDump)
{
    ScratchDir dir;
    dir.Write("skin.ini",
              "[Big]\nFont_Height=14,0,0,0\nFont_Name=  A face name that is longer than thirty-two characters\n"
              "[Huge]\nFont_Height=99999999999\n"
              "[Plain]\n[Shape]\npoly=1,2,3,4,5\nnums=0x10,010\nholes=1,,2\n");
    CIniFile ini;
    ini.SetFile(dir.File("skin.ini"));
    LOGFONTW font;
    ini.GetFont(L"Big", font, CIniFile::FontVariant::Normal, true);
    EXPECT_EQ(font.lfHeight, -14);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_STREQ(font.lfFaceName, L"A face name that is longer than");  // 31 characters
    ini.GetFont(L"Plain", font);
    EXPECT_EQ(font.lfHeight, -10);
    EXPECT_STREQ(font.lfFaceName, L"Arial");
    ini.GetFont(L"Plain", font, CIniFile::FontVariant::Large);
    EXPECT_EQ(font.lfHeight, -11);
    ini.GetFont(L"Huge", font);
    EXPECT_EQ(font.lfHeight, -2147483647);

    EXPECT_EQ(ini.GetPoints(L"Shape", L"poly"), (std::vector<POINT>{{1, 2}, {3, 4}}));
    EXPECT_EQ(ini.GetPoints(L"Shape", L"nums"), (std::vector<POINT>{{16, 8}}));
    EXPECT_EQ(ini.GetPoints(L"Shape", L"holes"), (std::vector<POINT>{{1, 2}}));
    EXPECT_TRUE(ini.GetPoints(L"Shape", L"none").empty());

    // With the debug switch on, every value looked up lands in skin_def.ini.
    EXPECT_EQ(ini.GetDumpFile().GetPath(), dir.File("skin_def.ini"));
    CIniFile::SetDebugDump(true);
    RECT r;
    ini.GetRect(L"Shape", L"rect", r);
    ini.GetString(L"Shape", L"poly", L"");
    ini.GetInt(L"Shape", L"count", 3);
    CIniFile::SetDebugDump(false);
    ini.GetString(L"Shape", L"nums", L"");
    const std::wstring dump = dir.File("skin_def.ini");
    EXPECT_EQ(ReadValue(dump, L"Shape", L"rect"), L"0,0,1,1");
    EXPECT_EQ(ReadValue(dump, L"Shape", L"poly"), L"1,2,3,4,5");
    EXPECT_EQ(ReadValue(dump, L"Shape", L"count"), L"3");
    EXPECT_EQ(ReadValue(dump, L"Shape", L"nums"), L"<none>");
}

}  // namespace
