#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>

#include "config/QZIniFileReader.h"
#include "IniTestUtil.h"

namespace {

using qz::test::Canonical;
using qz::test::Got;
using qz::test::ScratchDir;
using qz::test::Value;

const wchar_t* kSample =
    L"; header\r\n[Main]\r\nvalue=abcdefgh\r\nnum=12abc\r\nneg = -7\r\nquoted=\"42\"\r\n# note\r\nempty=\r\n"
    L"[Other]\r\nx=1\r\n[Empty]\r\n";

TEST(QZIniFileReader, LookupsFollowTheProfileBufferRules)
{
    CQZIniFileReader reader;
    wchar_t buf[64];
    // Closed: defaults only.
    EXPECT_EQ(Got(reader.GetProfileString(L"Main", L"value", L"dflt", buf, 64), buf), L"4:dflt");
    EXPECT_EQ(reader.GetFileName(), nullptr);

    ASSERT_TRUE(reader.OpenText(kSample));
    EXPECT_EQ(reader.GetEncoding(), 2u);
    EXPECT_TRUE(reader.OpenText(L"[Ignored]\nk=v\n"));  // already open: nothing happens
    EXPECT_FALSE(reader.HasSection(L"Ignored"));

    EXPECT_EQ(Got(reader.GetProfileString(L"main", L"VALUE", L"d", buf, 5), buf), L"4:abcd");
    EXPECT_EQ(Got(reader.GetProfileString(L"Main", L"value", L"d", buf, 9), buf), L"8:abcdefgh");
    EXPECT_EQ(Got(reader.GetProfileString(L"Main", L"value", L"d", buf, 1), buf), L"0:");
    EXPECT_EQ(Got(reader.GetProfileString(L"Main", L"quoted", L"d", buf, 64), buf), L"2:42");
    EXPECT_EQ(reader.GetProfileString(L"Main", L"empty", L"d", buf, 64), 0u);
    EXPECT_EQ(Got(reader.GetProfileString(L"Main", L"missing", nullptr, buf, 64), buf), L"0:");
    EXPECT_EQ(reader.GetProfileString(L"Empty", L"x", L"dd", buf, 64), 2u);

    // Lists: section names, keys (comments are no keys), truncation to size - 2.
    EXPECT_EQ(std::wstring(buf, reader.GetProfileString(nullptr, L"x", L"d", buf, 64)),
              std::wstring(L"Main\0Other\0Empty\0", 17));
    EXPECT_EQ(buf[17], 0);
    EXPECT_EQ(reader.GetProfileString(nullptr, nullptr, nullptr, buf, 8), 6u);
    EXPECT_EQ(std::wstring(buf, 8), std::wstring(L"Main\0O\0\0", 8));
    EXPECT_EQ(std::wstring(buf, reader.GetProfileString(L"main", nullptr, L"d", buf, 64)),
              std::wstring(L"value\0num\0neg\0quoted\0empty\0", 27));
    EXPECT_EQ(reader.GetProfileString(L"Nowhere", nullptr, L"d", buf, 64), 0u);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], 0);
    EXPECT_EQ(reader.GetSectionNames(nullptr, 0), 18u);
    EXPECT_EQ(reader.GetSectionNames(buf, 18), 17u);
    EXPECT_EQ(std::wstring(buf, reader.GetSection(L"Main", buf, 64)),
              std::wstring(L"value=abcdefgh\0num=12abc\0neg=-7\0quoted=42\0empty=\0", 49));
    EXPECT_EQ(reader.GetSection(L"Other", nullptr, 0), 5u);
    EXPECT_EQ(reader.GetSection(L"Other", buf, 4), 2u);
    EXPECT_EQ(std::wstring(buf, 4), std::wstring(L"x=\0\0", 4));

    EXPECT_EQ(reader.GetProfileInt(L"Main", L"num", 5), 12);
    EXPECT_EQ(reader.GetProfileInt(L"Main", L"neg", 5), -7);
    EXPECT_EQ(reader.GetProfileInt(L"Main", L"quoted", 5), 42);

    std::wstring out;
    EXPECT_TRUE(reader.GetString(L"Main", L"value", L"d", out));
    EXPECT_EQ(out, L"abcdefgh");
    EXPECT_TRUE(reader.GetString(L"Other", nullptr, nullptr, out));
    EXPECT_EQ(out, std::wstring(L"x\0", 2));

    EXPECT_TRUE(reader.HasSection(L"EMPTY"));
    EXPECT_FALSE(reader.HasKey(L"Empty", L""));
    EXPECT_TRUE(reader.HasKey(L"Other", L""));
    EXPECT_TRUE(reader.HasKey(L"Other", L"X"));
}

TEST(QZIniFileReader, LongValuesAndQuoteFlag)
{
    const std::wstring longValue(300, L'v');
    CQZIniFileReader reader;
    ASSERT_TRUE(reader.OpenText((L"[s]\nlong=" + longValue + L"\nq=\"\"x\"\"\n").c_str()));
    std::wstring out;
    EXPECT_EQ(reader.GetStringBuffered(L"s", L"long", L"", out), 259u);
    EXPECT_EQ(out, longValue.substr(0, 259));
    EXPECT_EQ(Value(reader, L"s", L"long", L""), longValue);
    // One pair of quotes went at parsing, the second goes at lookup.
    EXPECT_EQ(Value(reader, L"s", L"q", L""), L"x");
    reader.SetStripQuotes(false);
    EXPECT_EQ(Value(reader, L"s", L"q", L""), L"\"x\"");

    CQZIniFileReader ansi;
    ASSERT_TRUE(ansi.OpenAnsiText("[s]\nk=caf\xC3\xA9\n", -1));
    EXPECT_EQ(ansi.GetEncoding(), 1u);
    EXPECT_EQ(Value(ansi, L"s", L"k", L""), L"caf\u00e9");
}

TEST(QZIniFileReader, WritesMergeAndModifiedFlag)
{
    CQZIniFileReader reader;
    EXPECT_FALSE(reader.WriteProfileString(L"s", L"k", L"v"));  // closed
    ASSERT_TRUE(reader.OpenText(L"[A]\na=1\nb=2\n; c\n[B]\nx=1\n"));
    EXPECT_FALSE(reader.IsModified());
    EXPECT_TRUE(reader.WriteProfileString(L"a", L"A", L"10"));
    EXPECT_TRUE(reader.IsModified());
    EXPECT_TRUE(reader.WriteProfileString(L"New", L"n", L"1"));
    EXPECT_TRUE(reader.WriteProfileString(L"A", L"b", nullptr));
    EXPECT_TRUE(reader.WriteProfileString(L"B", nullptr, nullptr));
    EXPECT_EQ(Value(reader, nullptr, nullptr, nullptr), std::wstring(L"A\0New\0", 6));
    EXPECT_EQ(Value(reader, L"A", nullptr, nullptr), std::wstring(L"a\0", 2));
    EXPECT_EQ(reader.GetProfileInt(L"A", L"a", 0), 10);

    EXPECT_FALSE(reader.WriteProfileSection(L"A", L""));
    EXPECT_TRUE(reader.WriteProfileSection(L"A", L"a=11\0z=26\0loose\0"));
    EXPECT_EQ(Value(reader, L"A", nullptr, nullptr), std::wstring(L"a\0z\0", 4));
    EXPECT_TRUE(reader.WriteProfileSection(L"Fresh", L"k=v\0"));
    EXPECT_EQ(reader.GetProfileInt(L"A", L"a", 0), 11);

    CQZIniFileReader other;
    EXPECT_FALSE(reader.Merge(other));  // other not open
    ASSERT_TRUE(other.OpenText(L"[A]\nz=0\ny=25\n[Skip]\n[Added]\nq=1\n"));
    EXPECT_TRUE(reader.Merge(other));
    EXPECT_EQ(Value(reader, nullptr, nullptr, nullptr), std::wstring(L"A\0New\0Fresh\0Added\0", 18));
    EXPECT_EQ(Value(reader, L"A", nullptr, nullptr), std::wstring(L"a\0z\0y\0", 6));
    EXPECT_EQ(reader.GetProfileInt(L"A", L"z", -1), 0);
}

TEST(QZIniFileReader, SaveRoundTripsEveryEncoding)
{
    ScratchDir dir;
    const std::wstring text =
        L"; Kopf \u00e4\u00f6\u00fc\r\n[Haupt]\r\nName=Gr\u00fc\u00dfe \u65e5\u672c \U0001F600\r\n; Bemerkung\r\n"
        L"=starts\r\nno equals\r\npad=\" x \"\r\n[\u0416]\r\nk=\"\"q\"\"\r\n[Leer]\r\n";
    for (std::uint32_t encoding : {1u, 2u, 3u}) {
        SCOPED_TRACE(encoding);
        CQZIniFileReader reader;
        ASSERT_TRUE(reader.OpenText(text.c_str()));
        const std::string name = "out" + std::to_string(encoding) + ".ini";
        // Opened from text: there is no file of its own to save to.
        EXPECT_FALSE(reader.Save(nullptr, encoding, nullptr, true));
        ASSERT_TRUE(reader.Save(nullptr, encoding, dir.File(name).c_str(), true));
        const std::string bytes = dir.Read(name);
        ASSERT_GE(bytes.size(), 4u);
        if (encoding == 2) {
            EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE;\0", 4));
        } else if (encoding == 3) {
            EXPECT_EQ(bytes.substr(0, 4), std::string("\xFE\xFF\0;", 4));
        } else {
            EXPECT_EQ(bytes.substr(0, 8), "; Kopf \xC3");
        }

        CQZIniFileReader back;
        ASSERT_TRUE(back.Open(dir.File(name).c_str()));
        EXPECT_EQ(back.GetEncoding(), encoding);
        EXPECT_EQ(Canonical(back.GetDocument()), Canonical(reader.GetDocument()));
        EXPECT_FALSE(back.HasSection(L"Leer"));  // empty sections are not written
        EXPECT_EQ(Value(back, L"haupt", L"pad", L""), L" x ");
    }
}

TEST(QZIniFileReader, OpeningFilesAndBadInput)
{
    ScratchDir dir;
    CQZIniFileReader reader;
    // Missing file: open and empty; a null name: open and nameless.
    ASSERT_TRUE(reader.Open(dir.File("missing.ini").c_str()));
    EXPECT_TRUE(reader.IsOpen());
    EXPECT_TRUE(reader.IsLoaded());
    EXPECT_EQ(std::wstring(reader.GetDirectory()), dir.Path().wstring() + L"/");
    ASSERT_TRUE(reader.Open(nullptr));
    EXPECT_STREQ(reader.GetFileName(), L"");

    dir.Write("empty.ini", "");
    ASSERT_TRUE(reader.Open(dir.File("empty.ini").c_str()));
    EXPECT_EQ(reader.GetSectionNames(nullptr, 0), 2u);

    // A lone byte-order mark or a leading zero decodes to nothing: the open fails.
    dir.Write("bom.ini", "\xFF\xFE");
    EXPECT_FALSE(reader.Open(dir.File("bom.ini").c_str()));
    EXPECT_FALSE(reader.IsOpen());
    dir.Write("zero.ini", std::string("\0[s]\nk=v\n", 9));
    EXPECT_FALSE(reader.Open(dir.File("zero.ini").c_str()));
    // Folders and FIFOs are not read (a FIFO would wait for a writer forever).
    EXPECT_FALSE(reader.Open(dir.Path().wstring().c_str()));
    ASSERT_EQ(mkfifo(dir.Narrow("fifo.ini").c_str(), 0600), 0);
    EXPECT_FALSE(reader.Open(dir.File("fifo.ini").c_str()));

    // Half a UTF-16 unit at the end is read with a zero byte beside it.
    dir.Write("half.ini", std::string("\xFF\xFE[\0s\0]\0\n\0k\0=\0v\0w", 17));
    ASSERT_TRUE(reader.Open(dir.File("half.ini").c_str()));
    wchar_t buf[16];
    reader.GetProfileString(L"s", L"k", L"", buf, 16);
    EXPECT_STREQ(buf, L"vw");

    // Binary junk and invalid UTF-8 read by the rules, without a crash.
    std::string junk;
    for (int i = 1; i < 256; ++i)
        junk += static_cast<char>(i);
    dir.Write("junk.ini", "[s]\nk=\xFF\xFE\xC3\n" + junk + junk);
    ASSERT_TRUE(reader.Open(dir.File("junk.ini").c_str()));
    reader.GetProfileString(L"s", L"k", L"", buf, 16);
    EXPECT_EQ(std::wstring(buf), L"\uFFFD\uFFFD\uFFFD");
    EXPECT_TRUE(reader.Save(nullptr, 2, L"junk-out.ini", true));
    CQZIniFileReader back;
    ASSERT_TRUE(back.Open(dir.File("junk-out.ini").c_str()));
    EXPECT_EQ(Canonical(back.GetDocument()), Canonical(reader.GetDocument()));
}

TEST(QZIniFileReader, IncludesOnDisk)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "inc");
    dir.Write("main.ini",
              "; top\n$include <inc/colors.ini>\n[Dialog]\nname=main\n$include <nothing.ini>\n$include <main.ini>\n");
    dir.Write("inc/colors.ini", "[Colors]\nback=1 2 3\n$include <fonts.ini>\n");
    dir.Write("inc/fonts.ini", "[Fonts]\nface=Sans\n");
    CQZIniFileReader reader;
    ASSERT_TRUE(reader.Open(dir.File("main.ini").c_str()));
    EXPECT_EQ(reader.GetOrigin(L"Colors", L"back"), L"#1#" + dir.File("inc/colors.ini"));
    EXPECT_EQ(reader.GetOrigin(L"Fonts", L""), L"#2#" + dir.File("inc/fonts.ini"));
    EXPECT_EQ(reader.GetOrigin(L"Dialog", L"name"), L"");
    // Missing file and self-include are kept as comments.
    EXPECT_EQ(Value(reader, L"Dialog", L"#0", L""), L"$include <nothing.ini>");
    EXPECT_EQ(Value(reader, L"Dialog", L"#1", L""), L"$include <main.ini>");

    // Include-preserving save: include lines stand for included entries, and
    // the included files stay as they are.
    reader.WriteProfileString(L"Dialog", L"name", L"changed");
    reader.WriteProfileString(L"Colors", L"extra", L"9");
    ASSERT_TRUE(reader.Save());
    EXPECT_EQ(dir.Read("main.ini"),
              "; top\r\n\r\n$include <inc/colors.ini>\r\n[Colors]\r\nextra=9\r\n\r\n\r\n"
              "[Dialog]\r\nname=changed\r\n$include <nothing.ini>\r\n$include <main.ini>\r\n\r\n");
    EXPECT_EQ(dir.Read("inc/colors.ini"), "[Colors]\nback=1 2 3\n$include <fonts.ini>\n");
    CQZIniFileReader again;
    ASSERT_TRUE(again.Open(dir.File("main.ini").c_str()));
    EXPECT_EQ(Canonical(again.GetDocument()), Canonical(reader.GetDocument()));

    // Plain save writes everything inline. (In another folder, so that the
    // kept line "$include <main.ini>" still names no file there.)
    reader.SetPlainSave(true);
    std::filesystem::create_directories(dir.Path() / "flat");
    ASSERT_TRUE(reader.Save(nullptr, 1, L"flat/plain.ini", true));
    const std::string plain = dir.Read("flat/plain.ini");
    EXPECT_NE(plain.find("[Fonts]\r\nface=Sans\r\n"), std::string::npos);
    EXPECT_EQ(plain.find("$include <inc"), std::string::npos);
    CQZIniFileReader flat;
    ASSERT_TRUE(flat.Open(dir.File("flat/plain.ini").c_str()));
    EXPECT_EQ(Canonical(flat.GetDocument()), Canonical(reader.GetDocument()));
}

TEST(QZIniFileReader, DestructorSavesAModifiedReader)
{
    ScratchDir dir;
    {
        CQZIniFileReader reader;
        ASSERT_TRUE(reader.Open(dir.File("new.ini").c_str()));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "new.ini"));  // unchanged: not written
    {
        CQZIniFileReader reader;
        ASSERT_TRUE(reader.Open(dir.File("new.ini").c_str()));
        reader.WriteProfileString(L"S", L"k", L"v");
    }
    // A new file without a known encoding is written as UTF-16LE.
    EXPECT_EQ(dir.Read("new.ini"), qz::test::Utf16Bytes("[S]\r\nk=v\r\n\r\n"));
    // A known encoding is kept, here big-endian.
    dir.Write("be.ini", qz::test::Utf16Bytes("[S]\r\nk=v\r\n", true));
    {
        CQZIniFileReader reader;
        ASSERT_TRUE(reader.Open(dir.File("be.ini").c_str()));
        EXPECT_EQ(reader.GetEncoding(), 3u);
        reader.WriteProfileString(L"S", L"n", L"1");
        EXPECT_TRUE(reader.Save());
        EXPECT_FALSE(reader.IsModified());
    }
    EXPECT_EQ(dir.Read("be.ini"), qz::test::Utf16Bytes("[S]\r\nk=v\r\nn=1\r\n\r\n", true));
    // Saving into a folder that does not exist fails and keeps the change pending.
    CQZIniFileReader reader;
    ASSERT_TRUE(reader.Open(dir.File("nofolder/x.ini").c_str()));
    reader.WriteProfileString(L"S", L"k", L"v");
    EXPECT_FALSE(reader.Save());
    EXPECT_TRUE(reader.IsModified());
    EXPECT_FALSE(reader.Save(nullptr, 7, L"../ok.ini", true));  // no such encoding
    reader.WriteProfileString(L"S", nullptr, nullptr);
    ASSERT_TRUE(reader.Open(nullptr));  // reopening drops the change
    EXPECT_FALSE(reader.IsModified());
}

}  // namespace
