#include "osal/QzURL.h"

#include "osal/QzPath.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using QzOSAL::QzURL;

namespace {

using P = std::vector<std::pair<std::wstring, std::wstring>>;

// The parameters in map order.
P Params(const QzURL& url)
{
    P params;
    std::wstring name, value;
    for (int i = 0; url.GetParam(i, name, value); ++i)
        params.emplace_back(name, value);
    EXPECT_EQ(static_cast<int>(params.size()), url.GetParamCount());
    return params;
}

// Scheme|user|password|sub-domain|domain|top-level domain|port|path|fragment, to check a parse in one line.
std::wstring Parts(const QzURL& u)
{
    return std::to_wstring(static_cast<int>(u.GetScheme())) + L"|" + u.GetUser() + L"|" + u.GetPassword() +
           L"|" + u.GetSubDomain() + L"|" + u.GetDomain() + L"|" + u.GetTopLevelDomain() + L"|" +
           std::to_wstring(u.GetPort()) + L"|" + u.GetPath() + L"|" + u.GetFragment();
}

}  // namespace

TEST(QzURL, ParsesEveryPartAndRewritesInMapOrder)
{
    QzURL url(L"https://a.b.c.d/x?k=1#f");
    EXPECT_EQ(url.GetScheme(), QzURL::SchemeHttps);
    EXPECT_EQ(Parts(url), L"3|||a.b|c|d|0|x|f");
    EXPECT_EQ(url.GetHost(), L"a.b.c.d");
    EXPECT_EQ(Params(url), (P{{L"k", L"1"}}));
    EXPECT_EQ(url.GetText(), L"https://a.b.c.d/x?k=1#f");  // parsing does not rewrite

    url.AddParam(L"a", L"2");
    EXPECT_EQ(url.GetText(), L"https://a.b.c.d/x?a=2&k=1#f");

    QzURL full(L"http://u:p@www.example.org:8080/dir/f.html?b=2&a=1#top");
    EXPECT_EQ(Parts(full), L"4|u|p|www|example|org|8080|dir/f.html|top");
    full.SetFragment(L"end");
    EXPECT_EQ(full.GetText(), L"http://u:p@www.example.org:8080/dir/f.html?a=1&b=2#end");
    full.SetUser(L"");
    full.SetPassword(L"");
    full.SetSubDomain(L"ftp");
    full.SetDomain(L"");
    full.SetPath(L"");
    full.SetFragment(L"");
    EXPECT_EQ(full.GetText(), L"http://ftp.org:8080?a=1&b=2");
    full.SetTopLevelDomain(L"");
    EXPECT_EQ(full.GetHost(), L"ftp");

    EXPECT_EQ(Parts(QzURL(L"http://me@h/p")), L"4|me||h|||0|p|");
}

TEST(QzURL, HostAndPortRules)
{
    EXPECT_EQ(Parts(QzURL(L"http://localhost/p")), L"4|||localhost|||0|p|");
    EXPECT_EQ(Parts(QzURL(L"http://example.com/")), L"4|||example||com|0||");
    QzURL withPath(L"http://host:8080/p");
    EXPECT_EQ(Parts(withPath), L"4|||host|||8080|p|");
    withPath.AddParam(L"k", L"v");
    EXPECT_EQ(withPath.GetText(), L"http://host:8080/p?k=v");

    // A port at the very end is not read; it is lost on rewriting.
    QzURL atEnd(L"http://host:8080");
    EXPECT_EQ(Parts(atEnd), L"4|||host|||0||");
    atEnd.AddParam(L"k", L"v");
    EXPECT_EQ(atEnd.GetText(), L"http://host?k=v");

    // Ports are read as an unsigned long of 32 bits and kept in 16.
    const std::pair<const wchar_t*, int> ports[] = {
        {L"http://h:99999/", 99999 & 0xFFFF}, {L"http://h:-1/", 0xFFFF}, {L"http://h:4294967296/", 0xFFFF},
        {L"http://h:65536/", 0}, {L"http://h::: 81x/", 81}, {L"http://h:abc/", 0}, {L"http://h/a:b", 0},
    };
    for (const auto& [text, port] : ports)
        EXPECT_EQ(QzURL(text).GetPort(), port) << text;
    QzURL wrapped(L"http://h:99999/x");
    wrapped.SetFragment(L"f");
    EXPECT_EQ(wrapped.GetText(), L"http://h:34463/x#f");
}

TEST(QzURL, PathQueryAndFragmentRules)
{
    EXPECT_EQ(QzURL(L"http://h///p/q").GetPath(), L"p/q");
    EXPECT_EQ(QzURL(L"http://h//p?x=1").GetPath(), L"/p");  // only one "/" dropped before a query

    // A query piece without "=" disappears when the text is rewritten.
    QzURL pieces(L"http://h/p?a&b=1&&c=x=y");
    EXPECT_EQ(Params(pieces), (P{{L"b", L"1"}, {L"c", L"x=y"}}));
    pieces.SetFragment(L"f");
    EXPECT_EQ(pieces.GetText(), L"http://h/p?b=1&c=x=y#f");

    // The first occurrence of a name wins, in the text and through AddParam.
    QzURL first(L"http://h/p?k=1&k=2");
    EXPECT_EQ(Params(first), (P{{L"k", L"1"}}));
    first.AddParam(L"k", L"3");
    EXPECT_EQ(Params(first), (P{{L"k", L"1"}}));
    EXPECT_EQ(first.GetText(), L"http://h/p?k=1");

    // Empty names and values are parameters like any other.
    QzURL empty(L"http://h/p?=v&k=&=w");
    EXPECT_EQ(Params(empty), (P{{L"", L"v"}, {L"k", L""}}));
    empty.AddParam(L"", L"x");
    EXPECT_EQ(empty.GetText(), L"http://h/p?=v&k=");

    // Nothing is unescaped.
    QzURL escaped(L"http://h/a%20b?n%3D=v%26w#x%20y");
    EXPECT_EQ(escaped.GetPath(), L"a%20b");
    EXPECT_EQ(Params(escaped), (P{{L"n%3D", L"v%26w"}}));
    EXPECT_EQ(escaped.GetFragment(), L"x%20y");
}

TEST(QzURL, ParametersByIndex)
{
    // Ordinal order of code units: upper case first, and UTF-16 order beyond
    // the BMP (a surrogate pair sorts before U+E000..U+FFFF).
    QzURL url(L"http://h/?b=1&a=2&B=3&\uFFFD=4&\U0001F600=5&\u00E9=6");
    EXPECT_EQ(Params(url), (P{{L"B", L"3"}, {L"a", L"2"}, {L"b", L"1"}, {L"\u00E9", L"6"},
                              {L"\U0001F600", L"5"}, {L"\uFFFD", L"4"}}));

    const std::wstring text = url.GetText();
    std::wstring name = L"unchanged";
    std::wstring value = L"unchanged";
    EXPECT_FALSE(url.GetParam(-1, name, value));
    EXPECT_FALSE(url.GetParam(6, name, value));
    EXPECT_EQ(name, L"unchanged");
    url.RemoveParam(6);
    url.RemoveParam(1);
    EXPECT_EQ(url.GetParamCount(), 5);
    EXPECT_TRUE(url.GetParam(1, name, value));
    EXPECT_EQ(name, L"b");
    EXPECT_EQ(url.GetText(), text);  // removing does not rewrite
    url.AddParam(L"z", L"9");
    EXPECT_EQ(url.GetText(), L"http://h?B=3&b=1&z=9&\u00E9=6&\U0001F600=5&\uFFFD=4");
}

TEST(QzURL, Schemes)
{
    QzURL upper(L"HTTPS://h/p");
    EXPECT_EQ(upper.GetScheme(), QzURL::SchemeNone);
    EXPECT_EQ(QzURL::SchemeFromName(L"HTTPS"), QzURL::SchemeHttps);
    upper.SetPath(L"q");  // the parsed number names the scheme when rewriting
    EXPECT_EQ(upper.GetText(), L"https://h/q");
    EXPECT_EQ(upper.GetScheme(), QzURL::SchemeHttps);

    // Unknown schemes are written back as an empty name.
    QzURL ftp(L"ftp://h/p");
    EXPECT_EQ(ftp.GetScheme(), QzURL::SchemeNone);
    ftp.AddParam(L"k", L"v");
    EXPECT_EQ(ftp.GetText(), L"://h/p?k=v");

    // GetScheme looks at the start of the text only, "https" before "http".
    const std::pair<const wchar_t*, int> starts[] = {
        {L"httpsfoo", 3}, {L"httpx://x", 4}, {L"about:blank", 1}, {L"file:///x", 2},
        {L"javascript:void(0)", 5}, {L" http://x", 0}, {L"Http://x", 0},
    };
    for (const auto& [text, scheme] : starts)
        EXPECT_EQ(QzURL(text).GetScheme(), scheme) << text;

    const std::pair<const wchar_t*, int> names[] = {
        {L"HTTP:", 4}, {L"https://", 3}, {L"https:/:/", 3}, {L"JavaScript", 5},
        {L"", 0}, {L"http:x", 0}, {L" http", 0}, {L"httpss", 0},
    };
    for (const auto& [name, scheme] : names)
        EXPECT_EQ(QzURL::SchemeFromName(name), scheme) << name;
    for (int scheme = 1; scheme <= 5; ++scheme)
        EXPECT_EQ(QzURL::SchemeFromName(QzURL::SchemeName(scheme)), scheme);
    EXPECT_EQ(QzURL::SchemeName(6), L"");
}

TEST(QzURL, ParsingEmptiesOnlyTheParameters)
{
    QzURL url(L"http://u:p@a.b.c:81/x?k=v#f");
    url.SetText(L"https://h");
    EXPECT_EQ(url.GetText(), L"https://h");
    EXPECT_EQ(url.GetParamCount(), 0);
    EXPECT_EQ(Parts(url), L"3|u|p|h|b|c|81|x|f");

    url.SetText(L"no scheme at all");
    EXPECT_EQ(url.GetText(), L"no scheme at all");
    url.SetFragment(L"g");
    EXPECT_EQ(url.GetText(), L"https://u:p@h.b.c:81/x#g");

    url.Clear();
    EXPECT_TRUE(url.IsEmpty());
    EXPECT_EQ(url.GetParamCount(), 0);
    EXPECT_EQ(url.GetPath(), L"x");
}

TEST(QzURL, CopiesAndComparisons)
{
    QzURL a(L"http://h/p?k=v");
    QzURL b(a);
    EXPECT_FALSE(a == L"HTTP://h/p?k=v");
    b.AddParam(L"n", L"m");
    EXPECT_FALSE(a == b);
    EXPECT_EQ(a.GetParamCount(), 1);
    a = b;
    EXPECT_EQ(Params(a), Params(b));
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(QzURL() == static_cast<const wchar_t*>(nullptr));
}

TEST(QzURL, EscapeAndUnescape)
{
    EXPECT_EQ(QzURL::Escape(L"a b/c?d#e\\f%"), L"a%20b%2Fc%3Fd%23e%5Cf%");
    EXPECT_EQ(QzURL::Escape(L""), L"");
    // Grows past the first buffer of the text's length plus one.
    std::wstring expected;
    for (int i = 0; i < 1000; ++i)
        expected += L"%20";
    EXPECT_EQ(QzURL::Escape(std::wstring(1000, L' ')), expected);

    EXPECT_EQ(QzURL::Unescape(L"a%20b%zz%4?c%20#d%20"), L"a b%zz%4?c%20#d%20");
    EXPECT_EQ(QzURL::Unescape(L"a%41"), L"aA");  // an escape that ends the text
    EXPECT_EQ(QzURL::Unescape(QzURL::Escape(L"dir/a b[1].html")), L"dir/a b[1].html");
}

TEST(QzURL, HostileText)
{
    QzURL noSeparator(L"http:/h/p?k=v");
    EXPECT_EQ(noSeparator.GetParamCount(), 0);
    EXPECT_EQ(noSeparator.GetHost(), L"");
    EXPECT_EQ(noSeparator.GetScheme(), QzURL::SchemeHttp);

    QzURL bare(L"://");
    bare.AddParam(L"k", L"v");
    EXPECT_EQ(bare.GetText(), L"://?k=v");

    // The first "@" anywhere ends the user information, even in the query.
    QzURL at(L"http://h.com/p?mail=a@b.c");
    EXPECT_EQ(at.GetUser(), L"h.com/p?mail=a");
    EXPECT_EQ(at.GetSubDomain(), L"b");
    EXPECT_EQ(at.GetTopLevelDomain(), L"c");
    EXPECT_EQ(at.GetParamCount(), 0);

    QzURL odd(L"http://h/p#f?x=1&y");
    EXPECT_EQ(odd.GetPath(), L"p");
    EXPECT_EQ(odd.GetFragment(), L"f?x=1&y");

    std::wstring text = L"http://h/p?";
    for (int i = 0; i < 10000; ++i)
        text += L"k" + std::to_wstring(i) + L"=" + std::to_wstring(i) + L"&";
    text += L"k0=again";
    QzURL many(text);
    EXPECT_EQ(many.GetParamCount(), 10000);
    std::wstring name, value;
    ASSERT_TRUE(many.GetParam(0, name, value));
    EXPECT_EQ(name + L"=" + value, L"k0=0");
    many.SetFragment(L"f");
    EXPECT_EQ(many.GetText().size(), text.size() - std::wstring(L"&k0=again").size() + 2);
    EXPECT_EQ(QzURL(many.GetText()).GetParamCount(), 10000);
}

TEST(QzURL, FileUrlFromPath)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"/tmp/a b.html", L"file:///tmp/a%20b.html"},
        {L"C:\\d\\x.html", L"file:///C:/d/x.html"},
        {L"C:/d dir/x#1.html", L"file:///C:/d%20dir/x%231.html"},
        {L"//srv/share/x.html", L"file://srv/share/x.html"},
        {L"\\\\srv\\share\\x y.html", L"file://srv/share/x%20y.html"},
        {L"rel/page?.html", L"file:///rel/page%3F.html"},
    };
    for (const auto& [path, url] : cases)
        EXPECT_EQ(QzURL(QzOSAL::QzPath(path)).GetText(), url) << path;

    // The text is parsed like any other.
    EXPECT_EQ(Parts(QzURL{QzOSAL::QzPath(L"/tmp/a b.html")}), L"2||||||0|tmp/a%20b.html|");
    EXPECT_EQ(Parts(QzURL{QzOSAL::QzPath(L"//srv.lan/share/x.html")}), L"2|||srv||lan|0|share/x.html|");
}
