#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>

#include "config/IniFileText.h"
#include "config/IniParser.h"
#include "config/IniWriter.h"
#include "IniTestUtil.h"

namespace {

using qz::test::Canonical;

// Files held in memory; names are looked up as directory + name.
class MemoryFiles {
public:
    void Add(const std::wstring& name, const std::wstring& text)
    {
        files_[name] = std::make_shared<const std::wstring>(text);
    }
    CQZIniIncludeLoader Loader()
    {
        return [this](const std::wstring& dir, const std::wstring& name, CQZIniIncludeText& out) {
            const std::wstring full = name.front() == L'/' ? name : dir + name;
            auto it = files_.find(full);
            if (it == files_.end())
                return false;
            out.fullName = full;
            out.text = it->second;
            return true;
        };
    }
private:
    std::map<std::wstring, std::shared_ptr<const std::wstring>> files_;
};

CQZIniDocument Parse(const std::wstring& text, bool strip = true, CQZIniIncludeLoader loader = {},
                     const std::wstring& name = L"/skin/main.ini")
{
    CQZIniDocument doc;
    CQZIniParser(doc, strip, std::move(loader)).Parse(text, name);
    return doc;
}

const std::wstring& Value(const CQZIniDocument& doc, const std::wstring& section, const std::wstring& key)
{
    static const std::wstring missing = L"<missing>";
    const auto s = doc.sections.Lookup(section);
    if (s < 0)
        return missing;
    const auto& entries = doc.sections.At(s).value.entries;
    const auto k = entries.Lookup(key);
    return k < 0 ? missing : entries.At(k).value.text;
}

TEST(IniParser, KeysValuesAndQuotes)
{
    const std::wstring text = L"[S]\r\n  Key = \"Hello World\"  \r\n\tb\v=\f x \a\r\nc=\"\r\nd=\"\"\r\ne=\"a\" \"b\"\r\n";
    CQZIniDocument doc = Parse(text);
    EXPECT_EQ(Value(doc, L"s", L"KEY"), L"Hello World");
    EXPECT_EQ(doc.sections.At(0).value.entries.At(0).key, L"Key");
    EXPECT_EQ(Value(doc, L"S", L"b"), L"x");
    EXPECT_EQ(Value(doc, L"S", L"c"), L"\"");  // one quote is no pair
    EXPECT_EQ(Value(doc, L"S", L"d"), L"");
    EXPECT_EQ(Value(doc, L"S", L"e"), L"a\" \"b");

    CQZIniDocument raw = Parse(text, false);
    EXPECT_EQ(Value(raw, L"S", L"Key"), L"\"Hello World\"");
}

TEST(IniParser, HeaderLinesCommentsAndOddLines)
{
    const std::wstring text =
        L"; top\r\nkey=before\r\n[abc\r\n\r\n   \r\n[ Name  ] tail ]\r\n=starts\r\nno equals\r\n#hash\r\n"
        L"  ; indented\r\n[\t]\r\nk=v\r\n[x]y]\r\n";
    CQZIniDocument doc = Parse(text);
    ASSERT_EQ(doc.header.size(), 3u);
    EXPECT_EQ(doc.header[0].text, L"; top");
    EXPECT_EQ(doc.header[1].text, L"key=before");
    EXPECT_EQ(doc.header[2].text, L"[abc");
    ASSERT_EQ(doc.sections.Size(), 3u);
    EXPECT_EQ(doc.sections.At(0).key, L"Name  ] tail");
    const auto& entries = doc.sections.At(0).value.entries;
    ASSERT_EQ(entries.Size(), 4u);
    EXPECT_EQ(entries.At(0).key, L"#0");
    EXPECT_EQ(entries.At(0).value.text, L"=starts");
    EXPECT_EQ(entries.At(1).value.text, L"no equals");
    EXPECT_EQ(entries.At(3).key, L"#3");
    EXPECT_EQ(entries.At(3).value.text, L"  ; indented");
    EXPECT_EQ(doc.sections.At(1).key, L"");
    EXPECT_EQ(Value(doc, L"", L"k"), L"v");
    EXPECT_EQ(doc.sections.At(2).key, L"x]y");

    // Written back, the odd lines come out as they were read.
    const std::wstring saved = CQZIniWriter::Format(doc, false, true);
    EXPECT_EQ(saved,
              L"; top\r\nkey=before\r\n[abc\r\n\r\n[Name  ] tail]\r\n=starts\r\nno equals\r\n#hash\r\n"
              L"  ; indented\r\n\r\n[]\r\nk=v\r\n\r\n");
    EXPECT_EQ(Canonical(Parse(saved)), Canonical(doc));
}

TEST(IniParser, LineEndsAndTextEnd)
{
    CQZIniDocument doc = Parse(std::wstring(L"[s]\ra=1\nb=2\r\n\n\rc=3\0d=4\n", 22));
    EXPECT_EQ(Value(doc, L"s", L"a"), L"1");
    EXPECT_EQ(Value(doc, L"s", L"b"), L"2");
    EXPECT_EQ(Value(doc, L"s", L"c"), L"3");
    EXPECT_EQ(Value(doc, L"s", L"d"), L"<missing>");
    EXPECT_TRUE(Parse(L"").sections.Empty());
}

TEST(IniParser, IncludesFollowAndRecordOrigins)
{
    MemoryFiles files;
    files.Add(L"/skin/common.ini", L"[Shared]\nx=1\n$include <sub/deep.ini>\n");
    files.Add(L"/skin/sub/deep.ini", L"[Deep]\ny=2\n");
    const std::wstring text =
        L"[Main]\na=1\n$ include  <  common.ini  >  \n[Main]\nb=2\n$include <none.ini>\n$includes <x>\n"
        L"$include common.ini\n$include <>\n$include<sub/deep.ini>\n";
    CQZIniDocument doc = Parse(text, true, files.Loader());
    EXPECT_TRUE(doc.hadIncludes);
    EXPECT_EQ(Value(doc, L"Shared", L"x"), L"1");
    EXPECT_EQ(Value(doc, L"Deep", L"y"), L"2");
    EXPECT_EQ(doc.OriginOf(L"Shared", L"x"), L"#1#/skin/common.ini");
    EXPECT_EQ(doc.OriginOf(L"Deep", L""), L"#2#/skin/sub/deep.ini");
    EXPECT_EQ(doc.OriginOf(L"Main", L"a"), L"");
    // Includes that cannot be followed stay as comment lines.
    const auto& main = doc.sections.At(0).value.entries;
    std::vector<std::wstring> comments;
    for (const auto& e : main.Items()) {
        if (CQZIniDocument::IsCommentKey(e.key))
            comments.push_back(e.value.text);
    }
    EXPECT_EQ(comments, (std::vector<std::wstring>{L"$include <none.ini>", L"$includes <x>",
                                                   L"$include common.ini", L"$include <>"}));
    // The last include re-reads deep.ini at depth 1; its key now comes from there.
    EXPECT_EQ(doc.OriginOf(L"Deep", L"y"), L"#1#/skin/sub/deep.ini");

    // Include-preserving layout: one include line per include of the main text.
    // Sections come in map order, so the section of common.ini follows Main;
    // an include goes back into the section that was current where it stood.
    const std::wstring saved = CQZIniWriter::Format(doc, true, true);
    EXPECT_EQ(saved,
              L"[Main]\r\na=1\r\nb=2\r\n$include <none.ini>\r\n$includes <x>\r\n$include common.ini\r\n"
              L"$include <>\r\n\r\n$include <common.ini>\r\n\r\n[Main]\r\n$include <sub/deep.ini>\r\n\r\n");
    EXPECT_EQ(Canonical(Parse(saved, true, files.Loader())), Canonical(doc));
}

TEST(IniParser, IncludeCyclesDepthAndFanOutEnd)
{
    MemoryFiles files;
    files.Add(L"/skin/self.ini", L"[S]\na=1\n$include <self.ini>\n");
    files.Add(L"/skin/a.ini", L"[A]\n$include <b.ini>\nk=a\n");
    files.Add(L"/skin/b.ini", L"[B]\n$include <a.ini>\nk=b\n");
    CQZIniDocument self = Parse(L"$include <self.ini>\n", true, files.Loader());
    EXPECT_EQ(Value(self, L"S", L"a"), L"1");
    EXPECT_EQ(self.origins.size(), 2u);
    CQZIniDocument cycle = Parse(L"$include <a.ini>\n", true, files.Loader());
    // Inclusion is textual: after b.ini ends, its section [B] stays current.
    EXPECT_EQ(Value(cycle, L"A", L"k"), L"<missing>");
    EXPECT_EQ(Value(cycle, L"B", L"k"), L"a");
    EXPECT_EQ(cycle.origins.size(), 3u);
    // The main file including itself by name is a cycle too.
    CQZIniDocument main = Parse(L"[M]\n$include <main.ini>\n", true, files.Loader());
    EXPECT_EQ(main.origins.size(), 1u);

    // A chain of 300 files: 256 levels are followed, the next include stays a comment.
    for (int i = 1; i <= 300; ++i)
        files.Add(L"/skin/n" + std::to_wstring(i) + L".ini",
                  L"[L" + std::to_wstring(i) + L"]\nv=1\n$include <n" + std::to_wstring(i + 1) + L".ini>\n");
    CQZIniDocument chain = Parse(L"$include <n1.ini>\n", true, files.Loader());
    EXPECT_EQ(chain.sections.Size(), 256u);
    EXPECT_EQ(chain.OriginOf(L"L256", L"v"), L"#256#/skin/n256.ini");
    EXPECT_EQ(Value(chain, L"L256", L"#0"), L"$include <n257.ini>");

    // Every file including the next one twice would take 2^40 steps.
    for (int i = 0; i < 40; ++i) {
        const std::wstring next = L"$include <f" + std::to_wstring(i + 1) + L".ini>\n";
        files.Add(L"/skin/f" + std::to_wstring(i) + L".ini", L"[F]\nk=1\n" + next + next);
    }
    CQZIniDocument bomb = Parse(L"$include <f0.ini>\n", true, files.Loader());
    EXPECT_EQ(bomb.origins.size(), CQZIniParser::kMaxIncludes + 1);
}

TEST(IniParser, IncludeGoesBackIntoItsSection)
{
    // Found by the fuzzer: b.ini, included while [B] was current, starts
    // with a key; saved after a re-opened [A], it put that key into [A].
    std::ifstream in(QZ_TEST_DATA_DIR "/config/include-context.ini", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty());
    MemoryFiles files;
    files.Add(L"/fuzz/a.ini", L"[A]\nk=1\nloose\n");
    files.Add(L"/fuzz/b.ini", L"k=2\n; b\n[B]\nj=3\n");
    CQZIniFileBuffer decoded;
    ASSERT_TRUE(CQZIniFileText::Decode(bytes, decoded));
    const std::wstring& text = decoded.text;
    CQZIniDocument doc = Parse(text, true, files.Loader(), L"/fuzz/main.ini");
    ASSERT_EQ(Value(doc, L"B", L"k"), L"2");
    const std::wstring saved = CQZIniWriter::Format(doc, true, true);
    CQZIniDocument back = Parse(saved, true, files.Loader(), L"/fuzz/main.ini");
    EXPECT_EQ(Value(back, L"B", L"k"), L"2");
    EXPECT_EQ(Value(back, L"A", L"k"), L"2");
    EXPECT_EQ(Value(back, L"B", L"j"), L"3");
}

TEST(IniParser, IncludePreservingSaveKeepsLaterValuesInForce)
{
    MemoryFiles files;
    files.Add(L"/skin/a.ini", L"[T]\nx=1\n[S]\nk=1\n");
    files.Add(L"/skin/b.ini", L"[S]\nk=2\nm=2\n");
    // k of the main text comes after b.ini, which sets it too; b.ini's value
    // of k in turn overrides a.ini's, whose first remaining item comes later.
    const std::wstring text = L"[S]\n[T]\n$include <a.ini>\n$include <b.ini>\n[S]\nm=main\n";
    CQZIniDocument doc = Parse(text, true, files.Loader());
    ASSERT_EQ(Value(doc, L"S", L"k"), L"2");
    ASSERT_EQ(Value(doc, L"S", L"m"), L"main");
    const std::wstring saved = CQZIniWriter::Format(doc, true, true);
    EXPECT_EQ(saved, L"[S]\r\n[T]\r\n$include <a.ini>\r\n[S]\r\n$include <b.ini>\r\n[S]\r\nm=main\r\n\r\n[T]\r\n\r\n");
    CQZIniDocument back = Parse(saved, true, files.Loader());
    EXPECT_EQ(Value(back, L"S", L"k"), L"2");
    EXPECT_EQ(Value(back, L"S", L"m"), L"main");
    EXPECT_EQ(Value(back, L"T", L"x"), L"1");

    // The main text sets k again after b.ini: that value is written after
    // the include line, or reading would end with b.ini's value.
    CQZIniDocument again = Parse(L"[S]\nk=1\n$include <b.ini>\n[S]\nk=7\n", true, files.Loader());
    const std::wstring held = CQZIniWriter::Format(again, true, true);
    EXPECT_EQ(held, L"[S]\r\n$include <b.ini>\r\n\r\n[S]\r\nk=7\r\n\r\n");
    EXPECT_EQ(Value(Parse(held, true, files.Loader()), L"S", L"k"), L"7");
}

}  // namespace
