#include "osal/QzString.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

using QzOSAL::QzAString;
using QzOSAL::QzWString;

TEST(QzStringTest, NarrowTextConvertsBetweenCodePages)
{
    // Wide text into a code page: both code pages become that one.
    QzAString utf8(L"caf\u00E9", 65001u);
    EXPECT_STREQ(utf8.GetString(), "caf\xC3\xA9");
    EXPECT_EQ(utf8.GetLength(), 5u);  // the e with acute accent is two bytes
    EXPECT_EQ(utf8.GetSourceCodePage(), 65001u);

    QzAString seven(L"Gr\u00F6\u00DFe", 65002u);
    EXPECT_STREQ(seven.GetString(), "Gr??e");

    // Narrow to narrow: converted between different pages, copied otherwise.
    QzAString fromLatin("Gr\xF6\xDF" "e", 65001u, 1252u);
    EXPECT_STREQ(fromLatin.GetString(), "Gr\xC3\xB6\xC3\x9F" "e");
    QzAString same("\xFF\xFE raw", 1252u, 1252u);
    EXPECT_STREQ(same.GetString(), "\xFF\xFE raw");
    QzAString japanese("\x93\xFA\x96\x7B", 65001u, 932u);
    EXPECT_STREQ(japanese.GetString(), "\xE6\x97\xA5\xE6\x9C\xAC");

    // From another QzAString: its text read in its own code page.
    QzAString latin(&fromLatin, 1252u);
    EXPECT_STREQ(latin.GetString(), "Gr\xF6\xDF" "e");
    EXPECT_EQ(latin.GetSourceCodePage(), 1252u);

    // Assignment of wide text goes into the code page, of narrow text from the source page.
    QzAString target(65001u, 1252u);
    target = L"\u20AC1";
    EXPECT_STREQ(target.GetString(), "\xE2\x82\xAC" "1");
    target = "\x80" "2";
    EXPECT_STREQ(target.GetString(), "\xE2\x82\xAC" "2");

    // Wide strings from narrow text keep the code page for later assignments.
    QzWString wide("\x93\xFA", 932u);
    EXPECT_STREQ(wide.GetString(), L"\u65E5");
    EXPECT_EQ(wide.GetCodePage(), 932u);
    wide = "\x96\x7B";
    EXPECT_STREQ(wide.GetString(), L"\u672C");
    QzWString fromA(&japanese);
    EXPECT_STREQ(fromA.GetString(), L"\u65E5\u672C");
    EXPECT_STREQ(QzWString("a\xFF" "b", 65001u).GetString(), L"a\uFFFDb");
    EXPECT_STREQ(QzWString("x\x80y", 65002u).GetString(), L"x?y");
}

TEST(QzStringTest, NoTextReadsAsEmptyString)
{
    // Null input, a failed conversion and an unknown code page all give no text.
    EXPECT_STREQ(QzAString(static_cast<const wchar_t*>(nullptr), 65001u).GetString(), "");
    EXPECT_STREQ(QzAString(L"abc", 12345u).GetString(), "");
    EXPECT_STREQ(QzAString("abc", 12345u, 1252u).GetString(), "");
    EXPECT_STREQ(QzWString("abc", 12345u).GetString(), L"");
    EXPECT_STREQ(QzWString(static_cast<const QzAString*>(nullptr)).GetString(), L"");
    EXPECT_FALSE(QzAString(1252u, 1252u).LooksLikeUtf8());

    // Conversions stop at the first zero.
    EXPECT_STREQ(QzAString(std::wstring(L"ab\0cd", 5), 65001u).GetString(), "ab");

    // Assigning text to itself keeps it.
    QzAString self(L"keep", 65001u);
    self = self.GetString();
    EXPECT_STREQ(self.GetString(), "keep");
}

TEST(QzStringTest, LooksLikeUtf8)
{
    EXPECT_TRUE(QzAString(L"caf\u00E9", 65001u).LooksLikeUtf8());
    EXPECT_FALSE(QzAString(L"caf\u00E9", 1252u).LooksLikeUtf8());
    EXPECT_FALSE(QzAString(L"plain ascii", 65001u).LooksLikeUtf8());
    // Only a lead byte followed by a continuation byte counts; a lead byte at the end does not.
    EXPECT_TRUE(QzAString("x\xC0\x80", 1252u, 1252u).LooksLikeUtf8());
    EXPECT_FALSE(QzAString("x\xC0", 1252u, 1252u).LooksLikeUtf8());
    EXPECT_FALSE(QzAString("\x80\x80\xBF", 1252u, 1252u).LooksLikeUtf8());
    EXPECT_FALSE(QzAString("\xC3" "A", 1252u, 1252u).LooksLikeUtf8());
}

TEST(QzStringTest, WriteBufferRules)
{
    QzAString a("abcdef", 1252u, 1252u);
    char* buffer = a.GetBuffer(4);
    ASSERT_NE(buffer, nullptr);
    EXPECT_STREQ(buffer, "abcd");
    // While pending, the same buffer comes back whatever the length asked for.
    EXPECT_EQ(a.GetBuffer(100), buffer);
    EXPECT_STREQ(a.GetString(), "abcdef");  // the text changes only on release
    a.ReleaseBuffer();
    EXPECT_STREQ(a.GetString(), "abcd");
    a.ReleaseBuffer();  // nothing pending: no change
    EXPECT_STREQ(a.GetString(), "abcd");

    // A longer buffer is zero-padded.
    buffer = a.GetBuffer(8);
    for (int i = 4; i <= 8; ++i)
        EXPECT_EQ(buffer[i], '\0') << i;
    std::memcpy(buffer + 4, "efgh", 4);
    a.ReleaseBuffer();
    EXPECT_STREQ(a.GetString(), "abcdefgh");

    // Text written into the buffer is in the source code page.
    QzAString converted(65001u, 1252u);
    std::strcpy(converted.GetBuffer(3), "\xE9t\xE9");
    converted.ReleaseBuffer();
    EXPECT_STREQ(converted.GetString(), "\xC3\xA9t\xC3\xA9");

    // A length that cannot be allocated gives no buffer and leaves the text.
    QzAString huge("abc", 1252u, 1252u);
    EXPECT_EQ(huge.GetBuffer(SIZE_MAX), nullptr);
    huge.ReleaseBuffer();
    EXPECT_STREQ(huge.GetString(), "abc");

    // The wide string follows the same rules in wide characters.
    QzWString w(L"abcdef");
    wchar_t* wb = w.GetBuffer(4);
    EXPECT_STREQ(wb, L"abcd");
    wb[3] = L'\u00E9';
    w.ReleaseBuffer();
    EXPECT_STREQ(w.GetString(), L"abc\u00E9");
}

TEST(QzStringTest, CopiesAreIndependent)
{
    QzWString original("\x93\xFA", 932u);
    QzWString copy(original);
    original = L"changed";
    EXPECT_STREQ(copy.GetString(), L"\u65E5");

    // Copy assignment drops a pending write buffer and takes the code page.
    QzWString target(L"x");
    target.GetBuffer(10);
    target = copy;
    EXPECT_EQ(target.GetCodePage(), 932u);
    target.ReleaseBuffer();  // nothing pending any more
    EXPECT_STREQ(target.GetString(), L"\u65E5");

    QzAString a(L"abc", 65001u);
    QzAString c(1252u, 1252u);
    c = a;
    EXPECT_EQ(c.GetCodePage(), 65001u);
    a = L"xyz";
    EXPECT_STREQ(c.GetString(), "abc");
}
