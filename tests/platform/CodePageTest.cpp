#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace qz::platform;

namespace {

std::wstring ToWide(std::uint32_t cp, std::string_view bytes, std::uint32_t flags = 0)
{
    auto r = MultiByteToWide(cp, bytes, flags);
    EXPECT_TRUE(r.has_value()) << "code page " << cp;
    return r.value_or(L"<none>");
}

std::string ToNarrow(std::uint32_t cp, std::wstring_view text, bool* usedDefault = nullptr)
{
    auto r = WideToMultiByte(cp, text, 0, usedDefault);
    EXPECT_TRUE(r.has_value()) << "code page " << cp;
    return r.value_or("<none>");
}

// Restores the ANSI code page a test changed.
struct AnsiOverride {
    explicit AnsiOverride(std::uint32_t cp) { SetAnsiCodePage(cp); }
    ~AnsiOverride() { SetAnsiCodePage(0); }
};

}  // namespace

TEST(CodePageTest, RoundTripsThroughWindowsCodePages)
{
    // 1252, including the euro sign at 0x80 and the five bytes the code
    // page leaves undefined, which Windows carries as U+0081 and friends.
    const std::string latin = "Gr\xF6\xDF" "e \x80 \x81\x8D\x8F\x90\x9D";
    const std::wstring latinWide = L"Gr\u00F6\u00DFe \u20AC \u0081\u008D\u008F\u0090\u009D";
    EXPECT_EQ(ToWide(1252, latin), latinWide);
    EXPECT_EQ(ToNarrow(1252, latinWide), latin);

    // 932 is double-byte.
    const std::string japanese = "\x93\xFA\x96\x7B\x8C\xEA" "A";
    EXPECT_EQ(ToWide(932, japanese), L"\u65E5\u672C\u8A9E" L"A");
    EXPECT_EQ(ToNarrow(932, L"\u65E5\u672C\u8A9E" L"A"), japanese);

    // 65001, up to four-byte sequences.
    const std::wstring mixed = L"e\u00E9\u20AC\U0001F600";
    const std::string utf8 = "e\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(ToNarrow(CP_UTF8, mixed), utf8);
    EXPECT_EQ(ToWide(CP_UTF8, utf8), mixed);

    // 65002 keeps 7-bit text and turns everything else into '?', one per unit.
    bool usedDefault = false;
    EXPECT_EQ(ToNarrow(CP_QZ7BIT, L"Gr\u00F6\u00DFe", &usedDefault), "Gr??e");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(ToWide(CP_QZ7BIT, "ab\x80\xFF" "c"), L"ab??c");

    // Stateful UTF-7 must close its shift sequence at the end.
    EXPECT_EQ(ToNarrow(CP_UTF7, L"A\u20AC"), "A+IKw-");
    EXPECT_EQ(ToWide(CP_UTF7, "A+IKw-B"), L"A\u20ACB");

    // UTF-16 and UTF-32 as bytes.
    EXPECT_EQ(ToNarrow(1200, L"A\U0001F600"), std::string("A\0\x3D\xD8\x00\xDE", 6));
    EXPECT_EQ(ToWide(1201, std::string("\0A\xD8\x3D\xDE\x00", 6)), L"A\U0001F600");
    EXPECT_EQ(ToWide(12000, ToNarrow(12000, mixed)), mixed);

    // Embedded zeros are ordinary characters; empty input is empty output.
    EXPECT_EQ(ToWide(1252, std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    EXPECT_EQ(ToWide(932, ""), L"");
    EXPECT_EQ(ToNarrow(1252, L""), "");
}

TEST(CodePageTest, InvalidInputBecomesReplacementCharacter)
{
    // A stray byte, a truncated sequence (one replacement for the maximal
    // subpart), an encoded surrogate and an overlong form.
    EXPECT_EQ(ToWide(CP_UTF8, "a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(ToWide(CP_UTF8, "a\xE2\x82"), L"a\uFFFD");
    EXPECT_EQ(ToWide(CP_UTF8, "\xE2\x82" "b"), L"\uFFFDb");
    EXPECT_EQ(ToWide(CP_UTF8, "\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(ToWide(CP_UTF8, "\xC0\xAF"), L"\uFFFD\uFFFD");
    EXPECT_EQ(ToWide(CP_UTF8, "\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");
    // A lead byte of 932 without its trail byte.
    EXPECT_EQ(ToWide(932, "A\x93"), L"A\uFFFD");
    // Odd UTF-16 tails and lone surrogates.
    EXPECT_EQ(ToWide(1200, std::string("A\0B", 3)), L"A\uFFFD");
    EXPECT_EQ(ToWide(1200, std::string("\x00\xD8" "A\0", 4)), L"\uFFFDA");

    // Under the strict flag all of them fail instead.
    EXPECT_FALSE(MultiByteToWide(CP_UTF8, "a\xFF", MB_ERR_INVALID_CHARS));
    EXPECT_FALSE(MultiByteToWide(CP_UTF8, "a\xE2\x82", MB_ERR_INVALID_CHARS));
    EXPECT_FALSE(MultiByteToWide(932, "A\x93", MB_ERR_INVALID_CHARS));
    EXPECT_FALSE(MultiByteToWide(1200, std::string("\x00\xD8", 2), MB_ERR_INVALID_CHARS));
    EXPECT_TRUE(MultiByteToWide(CP_UTF8, "\xC3\xA9", MB_ERR_INVALID_CHARS));
}

TEST(CodePageTest, UnmappableCharactersBecomeDefaultCharacter)
{
    bool usedDefault = false;
    EXPECT_EQ(ToNarrow(1252, L"a\u20AC\u65E5b", &usedDefault), "a\x80?b");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(ToNarrow(1252, L"plain", &usedDefault), "plain");
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ(ToNarrow(932, L"\u00F6\u65E5"), "?\x93\xFA");
    EXPECT_EQ(ToNarrow(20127, L"\u00E9t\u00E9"), "?t?");

    // Values that are no characters: '?' in a legacy page, U+FFFD in UTF-8.
    const std::wstring bad = {L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000)};
    EXPECT_EQ(ToNarrow(1252, bad), "a??");
    EXPECT_EQ(ToNarrow(CP_UTF8, bad), "a\xEF\xBF\xBD\xEF\xBF\xBD");

    EXPECT_FALSE(WideToMultiByte(1252, L"\u65E5", WC_ERR_INVALID_CHARS));
    EXPECT_FALSE(WideToMultiByte(CP_UTF8, bad, WC_ERR_INVALID_CHARS));
    EXPECT_FALSE(WideToMultiByte(CP_QZ7BIT, L"\u00E9", WC_ERR_INVALID_CHARS));
}

TEST(CodePageTest, CodePageNumbersAndTheAnsiCodePage)
{
    for (std::uint32_t cp : {437u, 850u, 866u, 874u, 932u, 936u, 949u, 950u, 1250u, 1251u, 1252u,
                             1258u, 10000u, 20127u, 20866u, 21866u, 28591u, 28605u, 54936u,
                             65000u, 65001u, 65002u, 1200u, 1201u, 12000u}) {
        EXPECT_TRUE(IsValidCodePage(cp)) << cp;
    }
    EXPECT_EQ(CodePageToIconvName(1252), "CP1252");
    EXPECT_EQ(CodePageToIconvName(28595), "ISO-8859-5");
    EXPECT_EQ(CodePageToIconvName(65002), "");

    // An unknown code page fails every conversion, even of empty text.
    EXPECT_FALSE(IsValidCodePage(12345));
    EXPECT_FALSE(MultiByteToWide(12345, "abc"));
    EXPECT_FALSE(MultiByteToWide(12345, ""));
    EXPECT_FALSE(WideToMultiByte(12345, L"abc"));

    // The locale's character set always names a usable code page.
    EXPECT_TRUE(IsValidCodePage(GetAnsiCodePage()));
    {
        AnsiOverride ansi(1251);
        EXPECT_EQ(GetAnsiCodePage(), 1251u);
        EXPECT_EQ(ToWide(CP_ACP, "\xC4\xE0"), L"\u0414\u0430");
        EXPECT_EQ(ToNarrow(CP_ACP, L"\u0414\u0430"), "\xC4\xE0");
        EXPECT_EQ(ToWide(CP_THREAD_ACP, "\xC4"), L"\u0414");
    }
    EXPECT_NE(GetAnsiCodePage(), 1251u);
}

TEST(CodePageTest, Utf16EdgeJoinsAndSplitsSurrogates)
{
    const std::u16string utf16 = {u'A', 0xD83D, 0xDE00, u'B'};
    EXPECT_EQ(Utf16ToWide(utf16), L"A\U0001F600B");
    EXPECT_EQ(WideToUtf16(L"A\U0001F600B"), utf16);
    EXPECT_EQ(WideToUtf16(L"\U0010FFFF"), (std::u16string{0xDBFF, 0xDFFF}));

    // Lone and reversed surrogates, and values that are no characters.
    EXPECT_EQ(Utf16ToWide(std::u16string{0xD83D, u'x'}), L"\uFFFDx");
    EXPECT_EQ(Utf16ToWide(std::u16string{0xDE00, 0xD83D}), L"\uFFFD\uFFFD");
    EXPECT_EQ(Utf16ToWide(std::u16string{u'x', 0xD83D}), L"x\uFFFD");
    const std::wstring bad = {static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0x110000)};
    EXPECT_EQ(WideToUtf16(bad), (std::u16string{0xFFFD, 0xFFFD}));
}
