#include "patchservice/PatchInfo.h"

#include "support/FileText.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace {

CPatchInfo Parse(const std::string& document)
{
    CPatchInfo info;
    info.ParseResultDocument(document);
    return info;
}

TEST(PatchInfo, ReadsTheAttributesAndTheDescriptionWhereverTheyStand)
{
    const CPatchInfo info = Parse(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<result><item filesize=\"123456\" version=\"5.4.1\"/>"
        "<x:any xmlns:x=\"urn:x\" x:url=\"http://prefixed/ignored\" url=\"https://h.example/p.exe\""
        " pug_installer=\"7\"/>"
        "<patch>Fixes &amp; <![CDATA[<b>more</b>]]></patch></result>");
    EXPECT_EQ(info.GetFileSize(), 123456);
    EXPECT_EQ(info.GetVersion().ToString(), L"5.4.1.0");
    EXPECT_EQ(info.GetUrl().GetText(), L"https://h.example/p.exe");
    EXPECT_EQ(info.GetInstallerKind(), 7);
    // The last text-like node inside the element wins.
    EXPECT_EQ(info.GetDescription(), L"<b>more</b>");
    EXPECT_TRUE(info.IsValid());
    EXPECT_EQ(Parse("<r><patch><![CDATA[<p>notes</p>]]>\n</patch></r>").GetDescription(), L"\n");
    // A long section reaches the reader in pieces; they are one node.
    const std::string notes(100000, 'n');
    EXPECT_EQ(Parse("<r><patch><![CDATA[" + notes + "]]></patch></r>").GetDescription().size(), notes.size());
    // No end node for an empty element: text after it still counts.
    EXPECT_EQ(Parse("<r><patch/><other>late text</other></r>").GetDescription(), L"late text");
    // Names are compared exactly.
    EXPECT_EQ(Parse("<r><Patch>no</Patch><p:patch xmlns:p=\"urn:p\">no</p:patch></r>").GetDescription(), L"");
    EXPECT_EQ(Parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><patch>Gr\xfc\xdf" "e</patch></r>")
                  .GetDescription(),
              L"Gr\u00fc\u00df" L"e");

    // Later attributes overwrite, absent ones keep their values.
    CPatchInfo twice;
    twice.ParseResultDocument("<r version=\"1.0\" filesize=\"10\"><a version=\"2.0\"/></r>");
    EXPECT_EQ(twice.GetVersion().ToString(), L"2.0.0.0");
    twice.ParseResultDocument("<r url=\"http://u/\"/>");
    EXPECT_EQ(twice.GetVersion().ToString(), L"2.0.0.0");
    EXPECT_EQ(twice.GetFileSize(), 10);
    EXPECT_EQ(twice.GetUrl().GetText(), L"http://u/");

    // The signature URL counts on the root element only, empty ones included.
    EXPECT_EQ(Parse("<r signature=\"https://h/p.tar.p7s\"><a/></r>").GetSignatureUrl().GetText(), L"https://h/p.tar.p7s");
    EXPECT_TRUE(Parse("<r><a signature=\"https://h/x.p7s\"/></r>").GetSignatureUrl().IsEmpty());
    EXPECT_TRUE(Parse("<r/><!-- --><a signature=\"https://h/x.p7s\"/>").GetSignatureUrl().IsEmpty());
}

TEST(PatchInfo, NumbersAndWhatMakesADocumentValid)
{
    const CPatchInfo big = Parse("<r filesize=\"99999999999999999999\" pug_installer=\"-99999999999\"/>");
    EXPECT_EQ(big.GetFileSize(), INT64_MAX);
    EXPECT_EQ(big.GetInstallerKind(), INT32_MIN);
    const CPatchInfo odd = Parse("<r filesize=\" 42kB\" pug_installer=\"x1\"/>");
    EXPECT_EQ(odd.GetFileSize(), 42);
    EXPECT_EQ(odd.GetInstallerKind(), 0);
    // A negative size still counts as a size.
    CPatchInfo negative = Parse("<r filesize=\"-5\" version=\"1.0\" url=\"http://u/\"><patch>t</patch></r>");
    EXPECT_TRUE(negative.IsValid());

    const std::string tail = "<patch>text</patch></r>";
    EXPECT_FALSE(Parse("<r filesize=\"1\" version=\"0.0.0.0\" url=\"http://u/\">" + tail).IsValid());
    EXPECT_FALSE(Parse("<r filesize=\"0\" version=\"1.0\" url=\"http://u/\">" + tail).IsValid());
    EXPECT_FALSE(Parse("<r version=\"1.0\" url=\"http://u/\">" + tail).IsValid());
    EXPECT_FALSE(Parse("<r filesize=\"1\" version=\"1.0\">" + tail).IsValid());
    EXPECT_FALSE(Parse("<r filesize=\"1\" version=\"1.0\" url=\"http://u/\"/>").IsValid());
    EXPECT_TRUE(Parse("<r filesize=\"1\" version=\"1.0\" url=\"http://u/\">" + tail).IsValid());
}

TEST(PatchInfo, FaultyDocumentsKeepWhatWasReadBeforeTheFault)
{
    // Truncated after the attributes: they stay.
    const CPatchInfo truncated = Parse("<r filesize=\"5\" version=\"3.0\"><patch>abc");
    EXPECT_EQ(truncated.GetFileSize(), 5);
    EXPECT_EQ(truncated.GetVersion().ToString(), L"3.0.0.0");
    // A document type declaration ends reading before anything is taken.
    const CPatchInfo dtd = Parse("<!DOCTYPE r [<!ENTITY e \"boom\">]><r filesize=\"9\"><patch>&e;</patch></r>");
    EXPECT_EQ(dtd.GetFileSize(), 0);
    EXPECT_EQ(dtd.GetDescription(), L"");
    // External entities are never fetched, and garbage reads as nothing.
    EXPECT_EQ(Parse("").GetFileSize(), 0);
    EXPECT_EQ(Parse("not xml at all \x01\xff").GetFileSize(), 0);
    EXPECT_EQ(Parse(std::string(4, '\0')).GetFileSize(), 0);

    // A patch is still offered after a fault behind it, whatever the
    // document's length (the parser reads in pieces; none of them is lost).
    for (const std::size_t length : {std::size_t{10}, std::size_t{100000}}) {
        const std::string notes(length, 'n');
        const std::string head = "<?xml version=\"1.0\"?><result><patch version=\"1.2.3.4\" url=\"http://h/p\" "
                                 "filesize=\"10\">" + notes;
        for (const std::string& faulty : {head + "</patch></result><<junk& after", head + "</patch>",
                                          head + "&undefined;more</patch></result>"}) {
            const CPatchInfo info = Parse(faulty);
            EXPECT_TRUE(info.IsValid()) << length << ": " << faulty.substr(faulty.size() - 30);
            EXPECT_EQ(info.GetDescription(), std::wstring(notes.begin(), notes.end()));
        }
    }
}

TEST(PatchInfo, DescriptionPageIsUtf8BesideTheResultDocument)
{
    const qz::test::TempFolder folder("qz-patchinfo");
    const std::filesystem::path& dir = folder.path();
    const std::filesystem::path result = dir / "result.xml";
    std::ofstream(result) << "<r filesize=\"1\" version=\"1.2\" url=\"http://u/\"><patch>\xc3\xa9t\xc3\xa9 \xe2\x82\xac</patch></r>";
    CPatchInfo info;
    info.ParseResult(QzOSAL::QzPath(result.wstring()));
    EXPECT_EQ(info.GetDescription(), L"\u00e9t\u00e9 \u20ac");
    info.WriteDescriptionFile(QzOSAL::QzPath(result.wstring()));
    EXPECT_EQ(info.GetDescriptionFile().GetPath(), (dir / "result.html").wstring());
    EXPECT_EQ(qz::test::ReadText(dir / "result.html"), "\xc3\xa9t\xc3\xa9 \xe2\x82\xac");

    // Once a page exists, an empty text no longer makes the patch invalid.
    CPatchInfo noText;
    noText.ParseResultDocument("<r filesize=\"1\" version=\"1.2\" url=\"http://u/\"/>");
    EXPECT_FALSE(noText.IsValid());
    noText.WriteDescriptionFile(QzOSAL::QzPath((dir / "missing-dir" / "r.xml").wstring()));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-dir"));
    EXPECT_TRUE(noText.IsValid());
    // A missing result document changes nothing.
    CPatchInfo untouched;
    untouched.ParseResult(QzOSAL::QzPath((dir / "nope.xml").wstring()));
    EXPECT_EQ(untouched.GetFileSize(), 0);
}

}  // namespace
