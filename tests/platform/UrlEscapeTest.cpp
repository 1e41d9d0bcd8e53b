#include "platform/UrlEscape.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qz::platform;

namespace {

// Runs UrlEscape or UrlUnescape with a buffer large enough for any result.
template <typename Function>
std::wstring Convert(Function function, const std::wstring& text, std::uint32_t flags,
                 HRESULT expected = S_OK)
{
    std::vector<wchar_t> buffer(text.size() * 12 + 1, L'#');
    auto size = static_cast<std::uint32_t>(buffer.size());
    EXPECT_EQ(function(text.c_str(), buffer.data(), &size, flags), expected) << "text: " << text;
    return expected == S_OK ? std::wstring(buffer.data(), size) : std::wstring();
}

std::wstring Escape(const std::wstring& text, std::uint32_t flags = URL_ESCAPE_SEGMENT_ONLY)
{
    return Convert(&UrlEscape, text, flags);
}

std::wstring Unescape(const std::wstring& text, std::uint32_t flags = 0)
{
    return Convert(&UrlUnescape, text, flags);
}

}  // namespace

TEST(UrlEscape, EscapeTableOfASegment)
{
    const std::pair<const wchar_t*, const wchar_t*> table[] = {
        {L" ", L"%20"}, {L"^", L"%5E"}, {L"&", L"%26"}, {L"`", L"%60"}, {L"{", L"%7B"},
        {L"}", L"%7D"}, {L"|", L"%7C"}, {L"]", L"%5D"}, {L"[", L"%5B"}, {L"\"", L"%22"},
        {L"<", L"%3C"}, {L">", L"%3E"}, {L"\\", L"%5C"}, {L"#", L"%23"}, {L"?", L"%3F"},
        {L"/", L"%2F"}, {L"\x01", L"%01"}, {L"\t", L"%09"}, {L"\x1F", L"%1F"}, {L"\x7F", L"%7F"},
    };
    for (const auto& [in, out] : table)
        EXPECT_EQ(Escape(in), out) << in;

    // What stays: letters, digits, the other punctuation, '%' and non-ASCII.
    const std::wstring safe = L"azAZ09-._~!$'()*+,;=:@%\u00E9\u4E2D\U0001F600";
    EXPECT_EQ(Escape(safe), safe);
    EXPECT_EQ(Escape(L"C:\\a b\\x?.html"), L"C:%5Ca%20b%5Cx%3F.html");
    EXPECT_EQ(Escape(L""), L"");
}

TEST(UrlEscape, FlagsChangeWhatIsEscaped)
{
    // A whole URL: '/' stays, and query and fragment are left alone.
    EXPECT_EQ(Escape(L"http://h/a b/c?d e&f#g h", 0), L"http://h/a%20b/c?d e&f#g h");
    EXPECT_EQ(Escape(L"a b#c d?e", 0), L"a%20b#c d?e");

    EXPECT_EQ(Escape(L"50% a", URL_ESCAPE_SEGMENT_ONLY | URL_ESCAPE_PERCENT), L"50%25%20a");
    EXPECT_EQ(Escape(L"a\u00E9\U0001F600/", URL_ESCAPE_SEGMENT_ONLY | URL_ESCAPE_AS_UTF8),
              L"a%C3%A9%F0%9F%98%80%2F");
    EXPECT_EQ(Escape(L"a b^c/", URL_ESCAPE_SPACES_ONLY), L"a%20b^c/");

    EXPECT_EQ(Convert(&UrlEscape, L"a", URL_ESCAPE_SPACES_ONLY | URL_ESCAPE_SEGMENT_ONLY, E_INVALIDARG),
              L"");
    EXPECT_EQ(Convert(&UrlEscape, L"a", 0x1, E_INVALIDARG), L"");
    EXPECT_EQ(Convert(&UrlUnescape, L"a", URL_ESCAPE_SEGMENT_ONLY, E_INVALIDARG), L"");
}

TEST(UrlEscape, SmallBufferReportsTheSizeNeededAndTheRetrySucceeds)
{
    const wchar_t* text = L"a b";  // "a%20b": 5 characters and a terminator
    wchar_t out[8] = {L'x', L'x', L'x', L'x', L'x', L'x', L'x', L'x'};
    std::uint32_t size = 4;
    EXPECT_EQ(UrlEscape(text, out, &size, URL_ESCAPE_SEGMENT_ONLY), E_POINTER);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(out[0], L'x');  // nothing written on failure

    size = 5;  // room for the text but not the terminator
    EXPECT_EQ(UrlEscape(text, out, &size, URL_ESCAPE_SEGMENT_ONLY), E_POINTER);
    EXPECT_EQ(size, 6u);

    size = 6;
    EXPECT_EQ(UrlEscape(text, out, &size, URL_ESCAPE_SEGMENT_ONLY), S_OK);
    EXPECT_EQ(size, 5u);
    EXPECT_STREQ(out, L"a%20b");

    size = 0;
    EXPECT_EQ(UrlEscape(text, nullptr, &size, URL_ESCAPE_SEGMENT_ONLY), E_POINTER);
    EXPECT_EQ(size, 6u);

    wchar_t buffer[4];
    size = 3;
    EXPECT_EQ(UrlUnescape(L"%41%42%43", buffer, &size, 0), E_POINTER);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(UrlUnescape(L"%41%42%43", buffer, &size, 0), S_OK);
    EXPECT_EQ(size, 3u);
    EXPECT_STREQ(buffer, L"ABC");

    // Missing arguments.
    size = 4;
    EXPECT_EQ(UrlEscape(nullptr, buffer, &size, 0), E_INVALIDARG);
    EXPECT_EQ(UrlEscape(L"a", buffer, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(UrlEscape(L"a", nullptr, &size, 0), E_INVALIDARG);
    EXPECT_EQ(UrlUnescape(nullptr, buffer, &size, 0), E_INVALIDARG);
    EXPECT_EQ(UrlUnescape(L"a", nullptr, &size, 0), E_INVALIDARG);
}

TEST(UrlEscape, UnescapeDecodesValidEscapesOnly)
{
    EXPECT_EQ(Unescape(L"a%20b%2f%2F%7e"), L"a b//~");
    EXPECT_EQ(Unescape(L"%FF%e9"), L"\u00FF\u00E9");  // one code unit per escape
    EXPECT_EQ(Unescape(L"%C3%A9"), L"\u00C3\u00A9");
    EXPECT_EQ(Unescape(L"%"), L"%");
    EXPECT_EQ(Unescape(L"%4"), L"%4");
    EXPECT_EQ(Unescape(L"x%G1%1G%"), L"x%G1%1G%");
    EXPECT_EQ(Unescape(L"%%41"), L"%A");
    EXPECT_EQ(Unescape(L"%2541"), L"%41");  // decoded once, not twice
    EXPECT_EQ(Unescape(L"%00x"), std::wstring(L"\0x", 2));

    // Without the flag the query and fragment are decoded as well.
    EXPECT_EQ(Unescape(L"a%20b?c%20d#e%20f"), L"a b?c d#e f");
    EXPECT_EQ(Unescape(L"a%20b?c%20d#e%20f", URL_DONT_UNESCAPE_EXTRA_INFO), L"a b?c%20d#e%20f");
    EXPECT_EQ(Unescape(L"a%20b#x?y%20", URL_DONT_UNESCAPE_EXTRA_INFO), L"a b#x?y%20");
    // An escaped '?' is data, not the start of the query.
    EXPECT_EQ(Unescape(L"a%3Fb%20?c%20", URL_DONT_UNESCAPE_EXTRA_INFO), L"a?b ?c%20");
}

TEST(UrlEscape, UnescapeUndoesASegmentEscape)
{
    std::wstring all;
    for (wchar_t c = 1; c < 0x80; ++c)
        all += c;
    all += L"\u00E9\u4E2D";
    const std::wstring escaped = Escape(all);
    EXPECT_EQ(escaped.find_first_of(L" #?/\\"), std::wstring::npos);
    // '%' itself is not escaped, so only texts without it survive the trip.
    std::wstring withoutPercent = all;
    withoutPercent.erase(withoutPercent.find(L'%'), 1);
    EXPECT_EQ(Unescape(Escape(withoutPercent)), withoutPercent);
    EXPECT_EQ(Unescape(Escape(all, URL_ESCAPE_SEGMENT_ONLY | URL_ESCAPE_PERCENT)), all);
}
