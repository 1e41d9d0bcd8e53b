#include "platform/WinFormat.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace qz::platform;

namespace {

std::wstring ViaVaList(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring out = FormatWV(format, args);
    va_end(args);
    return out;
}

}  // namespace

TEST(WinFormatTest, WideFormatsReadAsWindowsDoes)
{
    // %s is wide in a wide format, %S and %hs narrow, %ls and %ws wide.
    EXPECT_EQ(FormatW(L"CUpdater::%s(): %s.", L"ThreadFileCheck", L"check was failed"),
              L"CUpdater::ThreadFileCheck(): check was failed.");
    EXPECT_EQ(FormatW(L"[%S|%hs|%ls|%ws]", "a", "b", L"c", L"d"), L"[a|b|c|d]");
    EXPECT_EQ(FormatW(L"%c%C%hc%lc", L'\u00E9', 'x', 'y', L'z'), L"\u00E9xyz");

    // Sizes: I64 is 64 bits, l is 32 bits, I is pointer-sized, I32 plain.
    EXPECT_EQ(FormatW(L"%I64u bytes", std::uint64_t{18446744073709551615ull}),
              L"18446744073709551615 bytes");
    EXPECT_EQ(FormatW(L"%I64d %I64x %I64X", std::int64_t{-5}, std::uint64_t{0xABCDEF012345ull},
                      std::uint64_t{0xABCull}),
              L"-5 abcdef012345 ABC");
    EXPECT_EQ(FormatW(L"0x%08.8lx", std::uint32_t{0x1F}), L"0x0000001f");
    EXPECT_EQ(FormatW(L"%lu %ld %08lX", std::uint32_t{4294967295u}, std::int32_t{-2},
                      std::uint32_t{0xBEEF}),
              L"4294967295 -2 0000BEEF");
    EXPECT_EQ(FormatW(L"%Iu %I32d", std::size_t{123456789012ull}, 7), L"123456789012 7");
    EXPECT_EQ(FormatW(L"%llu %hd %hhu", 1ull << 40, 70000, 300), L"1099511627776 4464 44");

    // Flags, width, precision, '*', percent signs.
    EXPECT_EQ(FormatW(L"%d%% [%5d] [%-5d] [%+d] [%05d]", 50, 42, 42, 7, -3),
              L"50% [   42] [42   ] [+7] [-0003]");
    EXPECT_EQ(FormatW(L"[%*d] [%-*d] [%.*s] [%*s]", 4, 1, 3, 2, 2, L"abcdef", -4, L"x"),
              L"[   1] [2  ] [ab] [x   ]");
    EXPECT_EQ(FormatW(L"[%6.2f] [%e] [%g]", 3.14159, 1.5, 0.0001), L"[  3.14] [1.500000e+00] [0.0001]");
    EXPECT_EQ(FormatW(L"[%8s|%-4S|%.3S]", L"abc", "d", "efghij"), L"[     abc|d   |efg]");
    EXPECT_EQ(FormatW(L"%#x %#o", 255u, 8u), L"0xff 010");

    // What Windows prints for null strings and pointers.
    EXPECT_EQ(FormatW(L"%s|%S", static_cast<const wchar_t*>(nullptr),
                      static_cast<const char*>(nullptr)),
              L"(null)|(null)");
    EXPECT_EQ(FormatW(L"%p", reinterpret_cast<void*>(std::uintptr_t{0xABC})),
              L"0000000000000ABC");

    // The va_list form, an empty format, and text around a dangling '%'.
    EXPECT_EQ(ViaVaList(L"%s=%u", L"key", 9u), L"key=9");
    EXPECT_EQ(FormatW(L""), L"");
    EXPECT_EQ(FormatW(L"100%"), L"100%");
}

TEST(WinFormatTest, NarrowFormatsAndNonAsciiText)
{
    EXPECT_EQ(FormatA("%s:%S:%ls:%hs", "a", L"b", L"c", "d"), "a:b:c:d");
    EXPECT_EQ(FormatA("%c%C", 'x', L'y'), "xy");
    EXPECT_EQ(FormatA("%I64u/%lu/%5.1f", std::uint64_t{1} << 33, std::uint32_t{3}, 2.26),
              "8589934592/3/  2.3");

    // Text crosses between narrow and wide through the ANSI code page,
    // whatever the C locale of the process is.
    SetAnsiCodePage(1252);
    EXPECT_EQ(FormatW(L"%S", "Gr\xF6\xDF" "e"), L"Gr\u00F6\u00DFe");
    EXPECT_EQ(FormatA("%S", L"Gr\u00F6\u00DFe"), "Gr\xF6\xDF" "e");
    SetAnsiCodePage(CP_UTF8);
    // A precision limits the bytes read from a narrow argument, and the
    // bytes written for a wide one, without cutting a character in half.
    EXPECT_EQ(FormatW(L"%S|%.2S", "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"), L"\u00E9t\u00E9|\u00E9");
    EXPECT_EQ(FormatA("[%.2S]", L"\u00E9\u00E9"), "[\xC3\xA9]");
    EXPECT_EQ(FormatW(L"[%4s]", L"\u00E9"), L"[   \u00E9]");
    SetAnsiCodePage(0);
}

TEST(WinFormatTest, LongResultsGrowAsNeeded)
{
    const std::wstring longText(5000, L'x');
    const std::wstring out = FormatW(L"<%s>%I64u", longText.c_str(), std::uint64_t{77});
    EXPECT_EQ(out, L"<" + longText + L">77");

    EXPECT_EQ(FormatW(L"%6000d", 1).size(), 6000u);
    const std::string narrow = FormatA("%s%s", std::string(3000, 'a').c_str(),
                                       std::string(3000, 'b').c_str());
    EXPECT_EQ(narrow, std::string(3000, 'a') + std::string(3000, 'b'));
}
