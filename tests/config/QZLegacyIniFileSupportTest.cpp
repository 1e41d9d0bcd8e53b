#include <gtest/gtest.h>

#include <cstring>

#include "config/QZLegacyIniFileSupport.h"
#include "platform/ORLFont.h"
#include "IniTestUtil.h"
#include "support/CommaLocale.h"

namespace {

using qz::platform::RECT;
using qz::test::ScratchDir;

class LegacyIni : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_.Write("skin.ini",
                   "[Ctl]\ncolor=255, 128, 0\nshort=1 2\nrect=10 20 30\nfull=1,2,3,4\nnum=12,5\nimg=pic.png\n"
                   "face=\t Tavor Sans\nfont=-12.7, 700, 1\nface.alternative=Sans\nfont.alternative=9,400\n"
                   "quality=10,400,0,0,0,0,5\nplain=10 400 0 0 0 186\n[Base]\nbase=7\n");
        file_ = dir_.File("skin.ini");
    }
    void TearDown() override
    {
        CQZLegacyIniFileSupport::SetTavorFontQueries({}, {});
        CQZLegacyIniFileSupport::SetTavorFontsEnabled(true);
    }
    bool Font(LOGFONTW& font, const wchar_t* descKey, const wchar_t* defaultDesc = L"")
    {
        return ini_.GetFont(&font, L"", defaultDesc, L"face", descKey, L"Ctl", file_.c_str(), L"");
    }

    ScratchDir dir_;
    std::wstring file_;
    CQZLegacyIniFileSupport ini_;
};

TEST_F(LegacyIni, ValueFormsAndFallbackSection)
{
    QzColorRef color = 0;
    EXPECT_TRUE(ini_.GetColor(&color, L"0 0 0", L"color", L"Ctl", file_.c_str(), L""));
    EXPECT_EQ(color, 33023u);
    EXPECT_FALSE(ini_.GetColor(&color, L"0 0 0", L"short", L"Ctl", file_.c_str(), L""));
    EXPECT_EQ(color, 1u + 2u * 256u);

    RECT r;
    EXPECT_FALSE(ini_.GetRect(&r, L"", L"rect", L"Ctl", file_.c_str(), L""));
    EXPECT_EQ(r, (RECT{10, 20, 30, 0}));
    EXPECT_TRUE(ini_.GetRect(&r, L"", L"full", L"Ctl", file_.c_str(), L""));
    EXPECT_EQ(r, (RECT{1, 2, 3, 4}));

    std::int32_t n = 0;
    EXPECT_TRUE(ini_.GetInt(&n, 3, L"num", L"Ctl", file_.c_str(), L""));
    EXPECT_EQ(n, 12);
    EXPECT_FALSE(ini_.GetInt(&n, -4, L"none", L"Ctl", file_.c_str(), L"Base"));
    EXPECT_EQ(n, -4);
    EXPECT_TRUE(ini_.GetInt(&n, -4, L"base", L"Ctl", file_.c_str(), L"Base"));
    EXPECT_EQ(n, 7);

    wchar_t path[CQZLegacyIniFileSupport::kBufferSize];
    EXPECT_TRUE(ini_.GetPath(path, L"/skin/", L"x.png", L"img", L"Ctl", file_.c_str(), L""));
    EXPECT_STREQ(path, L"/skin/pic.png");
    ini_.SetPathPrefix(L"/stored/");
    EXPECT_FALSE(ini_.GetPath(path, L"", L"x.png", L"nope", L"Ctl", file_.c_str(), L""));
    EXPECT_STREQ(path, L"/stored/x.png");

    // Missing arguments: nothing found, nothing written.
    n = 99;
    EXPECT_FALSE(ini_.GetInt(&n, 1, nullptr, L"Ctl", file_.c_str(), L""));
    EXPECT_FALSE(ini_.GetInt(&n, 1, L"num", L"Ctl", file_.c_str(), nullptr));
    EXPECT_EQ(n, 99);
    EXPECT_FALSE(ini_.GetInt(&n, 1, L"", L"Ctl", file_.c_str(), L""));
    EXPECT_EQ(n, 1);
    // No file at all: not found; the stored defaults fill empty file and section.
    EXPECT_FALSE(ini_.GetInt(&n, 1, L"num", L"", L"", L""));
    ini_.SetDefaults(file_.c_str(), L"Ctl");
    EXPECT_TRUE(ini_.GetInt(&n, 1, L"num", L"", L"", L""));
    EXPECT_EQ(n, 12);
}

TEST_F(LegacyIni, FontsAndTheirAlternatives)
{
    LOGFONTW font;
    std::memset(&font, 0x5A, sizeof font);
    // The library's own answer: no face belongs to the maker's family.
    EXPECT_FALSE(CORLFont::IsTavorFont(L"Tavor Sans"));
    EXPECT_FALSE(CORLFont::IsTavorFontAvailable());
    ASSERT_TRUE(Font(font, L"font"));
    EXPECT_STREQ(font.lfFaceName, L"Tavor Sans");
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfItalic, 1);
    EXPECT_EQ(font.lfQuality, 3);
    EXPECT_EQ(font.lfCharSet, 1);

    ASSERT_TRUE(Font(font, L"quality"));
    EXPECT_EQ(font.lfQuality, 5);
    CQZLegacyIniFileSupport::SetDefaultCharSet(0);
    ASSERT_TRUE(Font(font, L"plain"));
    EXPECT_EQ(font.lfQuality, 0);
    EXPECT_EQ(font.lfCharSet, 186);
    CQZLegacyIniFileSupport::SetDefaultCharSet(1);

    // Face found but no description: not accepted, font untouched.
    std::memset(&font, 0x5A, sizeof font);
    LOGFONTW before = font;
    EXPECT_FALSE(Font(font, L"nodesc", L"9"));
    EXPECT_EQ(std::memcmp(&font, &before, sizeof font), 0);

    // A maker font that is unavailable sends the lookup to the alternative keys.
    const auto isTavor = [](const wchar_t* face) { return std::wcsstr(face, L"Tavor") != nullptr; };
    CQZLegacyIniFileSupport::SetTavorFontQueries(isTavor, [] { return false; });
    ASSERT_TRUE(Font(font, L"font"));
    EXPECT_STREQ(font.lfFaceName, L"Sans");
    EXPECT_EQ(font.lfHeight, 9);
    // No alternative keys: nothing accepted.
    std::memset(&font, 0x5A, sizeof font);
    EXPECT_FALSE(Font(font, L"quality"));
    EXPECT_EQ(std::memcmp(&font, &before, sizeof font), 0);
    // Available maker fonts are used, unless switched off process-wide.
    CQZLegacyIniFileSupport::SetTavorFontQueries(isTavor, [] { return true; });
    ASSERT_TRUE(Font(font, L"font"));
    EXPECT_STREQ(font.lfFaceName, L"Tavor Sans");
    CQZLegacyIniFileSupport::SetTavorFontsEnabled(false);
    ASSERT_TRUE(Font(font, L"font"));
    EXPECT_STREQ(font.lfFaceName, L"Sans");
}

TEST_F(LegacyIni, FontSizesReadAlikeUnderADecimalCommaLocale)
{
    qz::test::ScopedCommaLocale comma;
    ASSERT_EQ(comma.Error(), "");
    LOGFONTW font;
    ASSERT_TRUE(Font(font, L"font"));
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfItalic, 1);
}

}  // namespace
