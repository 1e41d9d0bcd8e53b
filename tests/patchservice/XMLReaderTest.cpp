#include "patchservice/xml/XMLReader.h"
#include "patchservice/xml/XMLWriter.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using common::general::io::DefaultException;
using common::general::io::XMLNode;
using common::general::io::XMLReader;
using common::general::io::XMLWriter;

namespace {

const std::string kLoadFailed =
    "XMLReader::XMLReader () failed to load the given document.\nPlease, verify that the document is well-formed!\n";

// A file in a fresh temporary folder, removed with the object.
struct TempFile {
    TempFile(const std::string& name, const std::string& content) : file((folder / name).string())
    {
        std::ofstream(file, std::ios::binary) << content;
    }
    const qz::test::TempFolder folder{"qzxml"};
    const std::string file;
};

template <typename F>
std::string ThrownText(F&& f)
{
    try {
        f();
    } catch (const DefaultException& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

std::wstring Name(const XMLReader& reader, const XMLNode& node)
{
    std::wstring name;
    EXPECT_TRUE(reader.GetNodeName(node, name));
    return name;
}

std::wstring Value(const XMLReader& reader, const XMLNode& node)
{
    std::wstring value;
    EXPECT_TRUE(reader.GetNodeValue(node, value));
    return value;
}

const wchar_t kCatalog[] = L"<?xml version=\"1.0\"?>\n"
                           L"<!-- head -->\n"
                           L"<catalog xmlns:p=\"urn:p\" p:tag=\"t\">\n"
                           L" <item id=\"1\"><name>Alpha</name></item>\n"
                           L" <item id=\"2\"><name>Beta</name><name>Beta2</name></item>\n"
                           L" <item id=\"3\">Gr\u00fc\u00dfe \U0001F600</item>\n"
                           L"</catalog>";

}  // namespace

TEST(XMLReader, FilesThatAreMissingOrMalformedThrowTheCheckText)
{
    TempFile good("good.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a v=\"\xe4\">\n <b/>\n</a>");
    TempFile bad("bad.xml", "<a><b></a>");
    const std::string missing = good.file + ".missing";

    XMLReader reader(good.file);
    EXPECT_TRUE(reader.HasDocument());
    EXPECT_EQ(reader.GetFileName(), good.file);
    XMLNode root;
    ASSERT_TRUE(reader.GetFirstChild(XMLNode(), root));
    std::wstring value;
    ASSERT_TRUE(reader.GetAttribute(root, L"v", value));
    EXPECT_EQ(value, L"\u00e4");  // the file's declared encoding applies

    for (const std::string& path : {missing, bad.file}) {
        const std::string expected = "XMLReader::XMLReader () Please, check whether xml-file " + path + " exists.\n";
        EXPECT_EQ(ThrownText([&] { XMLReader r(path); }), expected);
        EXPECT_EQ(ThrownText([&] { XMLWriter w(path); }), expected);
    }
    EXPECT_EQ(ThrownText([&] { XMLWriter w(good.file); }), "(nothing thrown)");
}

TEST(XMLReader, MalformedTextThrowsTheParseReportAndDropsTheDocument)
{
    XMLReader reader;
    reader.LoadXML(L"<ok/>");
    ASSERT_TRUE(reader.HasDocument());

    const std::string text = ThrownText([&] { reader.LoadXML(L"<root>\r\n  <a></b>\r\n</root>"); });
    ASSERT_EQ(text.substr(0, kLoadFailed.size()), kLoadFailed);
    const std::string report = text.substr(kLoadFailed.size());
    // reason, then code (tag mismatch), line, position and the faulty line
    EXPECT_NE(report.find("b"), std::string::npos);
    const std::string tail = "\n\tCode = 0x4c\n\tSource = Line : 2; Char : ";
    ASSERT_NE(report.find(tail), std::string::npos) << report;
    EXPECT_NE(report.find(tail), 0u);  // a reason precedes it
    const std::string end = "\nText: \n  <a></b>";
    ASSERT_GE(report.size(), end.size());
    EXPECT_EQ(report.substr(report.size() - end.size()), end) << report;
    EXPECT_FALSE(reader.HasDocument());
    // Without a document searches throw and navigation finds nothing.
    XMLNode node;
    EXPECT_EQ(ThrownText([&] { reader.getFirstNodeByExpression(XMLNode(), "/a", node); }),
              "XMLReader::getFirstNodeByExpression () No XML-Document attached!\n");
    EXPECT_EQ(ThrownText([&] { reader.getNextNodeByExpression(node); }),
              "XMLReader::getNextNodeByExpression () No XML-Document attached!\n");
    EXPECT_FALSE(reader.GetFirstChild(XMLNode(), node));
    EXPECT_FALSE(reader.SelectSingleNode(XMLNode(), L"/a", node));
    std::wstring name = L"stale";
    EXPECT_FALSE(reader.GetNodeName(node, name));
    EXPECT_TRUE(name.empty());

    // Undeclared prefixes, empty text and stray content are faults too.
    for (const wchar_t* bad : {L"<p:a/>", L"", L"<a/><b/>", L"<a>\u0001</a>", L"<a attr=1/>"})
        EXPECT_EQ(ThrownText([&] { reader.LoadXML(bad); }).substr(0, kLoadFailed.size()), kLoadFailed)
            << std::wstring(bad).size();
}

TEST(XMLReader, WalksTheTreeKeepingWhiteSpaceAndAttributes)
{
    XMLReader reader;
    reader.LoadXML(kCatalog);

    XMLNode comment, catalog, child, name;
    ASSERT_TRUE(reader.GetFirstChild(XMLNode(), comment));
    EXPECT_EQ(Name(reader, comment), L"#comment");
    EXPECT_EQ(Value(reader, comment), L" head ");
    ASSERT_TRUE(reader.GetNextSibling(comment, catalog));
    EXPECT_EQ(Name(reader, catalog), L"catalog");
    EXPECT_EQ(catalog.GetPath(), "/catalog");

    std::wstring value = L"stale";
    EXPECT_TRUE(reader.GetAttribute(catalog, L"p:tag", value));
    EXPECT_EQ(value, L"t");
    EXPECT_TRUE(reader.GetAttribute(catalog, L"xmlns:p", value));
    EXPECT_EQ(value, L"urn:p");
    EXPECT_FALSE(reader.GetAttribute(catalog, L"tag", value));
    EXPECT_TRUE(value.empty());

    // White space between elements is kept as text nodes.
    ASSERT_TRUE(reader.GetFirstChild(catalog, child));
    EXPECT_EQ(Name(reader, child), L"#text");
    EXPECT_EQ(Value(reader, child), L"\n ");
    EXPECT_FALSE(reader.GetAttribute(child, L"id", value));

    std::vector<std::wstring> ids;
    while (reader.GetNextSibling(child, child)) {
        if (reader.GetAttribute(child, L"id", value))
            ids.push_back(value);
    }
    EXPECT_TRUE(child.IsEmpty());
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"1", L"2", L"3"}));

    ASSERT_TRUE(reader.SelectSingleNode(catalog, L"item[3]", child));
    EXPECT_EQ(Value(reader, child), L"Gr\u00fc\u00dfe \U0001F600");
    ASSERT_TRUE(reader.SelectSingleNode(catalog, L"item[2]", child));
    EXPECT_EQ(Value(reader, child), L"BetaBeta2");  // an element's value is its text content
    ASSERT_TRUE(reader.GetFirstChild(child, name));
    EXPECT_EQ(name.GetPath(), "/catalog/item[2]/name");
    EXPECT_FALSE(reader.GetFirstChild(XMLNode(), child) && reader.GetNextSibling(catalog, child));
    EXPECT_TRUE(child.IsEmpty());
}

TEST(XMLReader, SearchesRunOnTheStoredPathOfTheStartingNode)
{
    XMLReader reader;
    reader.LoadXML(kCatalog);

    // A node found by an expression stands for its whole path: a search below
    // any of the items runs "//item/name", so each item sees every name.
    XMLNode item, name;
    std::vector<std::wstring> names;
    ASSERT_TRUE(reader.getFirstNodeByExpression(XMLNode(), "//item", item));
    EXPECT_EQ(item.GetPath(), "//item");
    ASSERT_TRUE(reader.getNextNodeByExpression(item));
    ASSERT_TRUE(reader.getFirstNodeByExpression(item, "name", name));
    EXPECT_EQ(name.GetPath(), "//item/name");
    do
        names.push_back(Value(reader, name));
    while (reader.getNextNodeByExpression(name));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Alpha", L"Beta", L"Beta2"}));
    // The outer stepping goes on where it was.
    ASSERT_TRUE(reader.getNextNodeByExpression(item));
    EXPECT_EQ(Value(reader, item), L"Gr\u00fc\u00dfe \U0001F600");
    EXPECT_FALSE(reader.getNextNodeByExpression(item));
    EXPECT_TRUE(item.IsEmpty());

    // A path that names one node keeps the search inside it.
    XMLNode second;
    ASSERT_TRUE(reader.SelectSingleNode(XMLNode(), L"/catalog/item[2]", second));
    names.clear();
    for (bool ok = reader.getFirstNodeByExpression(second, "name", name); ok; ok = reader.getNextNodeByExpression(name))
        names.push_back(Value(reader, name));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Beta", L"Beta2"}));

    // Attributes and text can be selected and read like any node.
    XMLNode found;
    std::vector<std::wstring> ids;
    for (bool ok = reader.getFirstNodeByExpression(XMLNode(), "/catalog/item/@id", found); ok;
         ok = reader.getNextNodeByExpression(found)) {
        EXPECT_EQ(Name(reader, found), L"id");
        ids.push_back(Value(reader, found));
        EXPECT_FALSE(reader.GetNextSibling(found, name));
    }
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"1", L"2", L"3"}));
    ASSERT_TRUE(reader.SelectSingleNode(XMLNode(), L"//name/text()", found));
    EXPECT_EQ(Name(reader, found), L"#text");
    EXPECT_EQ(Value(reader, found), L"Alpha");

    // A fresh first search restarts the stepping.
    ASSERT_TRUE(reader.getFirstNodeByExpression(XMLNode(), "//item", item));
    ASSERT_TRUE(reader.getNextNodeByExpression(item));
    ASSERT_TRUE(reader.getFirstNodeByExpression(XMLNode(), "//item", item));
    EXPECT_EQ(Value(reader, item), L"Alpha");

    // Nothing found, bad or non-node expressions: false and an empty handle.
    const char* fruitless[] = {"//missing", "//item[frobnicate()]", "count(//item)", "//[", "p:item",
                               "//item/namespace::*", ""};
    for (const char* expression : fruitless) {
        found = item;
        EXPECT_FALSE(reader.getFirstNodeByExpression(XMLNode(), expression, found)) << expression;
        EXPECT_TRUE(found.IsEmpty()) << expression;
        std::wstring wide(expression, expression + std::char_traits<char>::length(expression));
        found = item;
        EXPECT_FALSE(reader.SelectSingleNode(XMLNode(), wide, found)) << expression;
        EXPECT_TRUE(found.IsEmpty());
    }
    EXPECT_FALSE(reader.getFirstNodeByExpression(XMLNode(), std::string("//item\0x", 8), found));
}

TEST(XMLReader, NodesKeepTheirDocumentAlive)
{
    XMLNode kept;
    auto reader = std::make_unique<XMLReader>();
    reader->LoadXML(L"<a><b>first</b></a>");
    ASSERT_TRUE(reader->SelectSingleNode(XMLNode(), L"/a/b", kept));
    reader->LoadXML(L"<a><b>second</b></a>");
    XMLNode now;
    ASSERT_TRUE(reader->SelectSingleNode(XMLNode(), L"/a/b", now));
    EXPECT_FALSE(now.IsSameNode(kept));
    reader.reset();

    XMLReader other;
    EXPECT_EQ(Value(other, kept), L"first");
    EXPECT_EQ(Value(other, now), L"second");
    XMLNode text;
    ASSERT_TRUE(other.SelectSingleNode(kept, L"text()", text));  // searches work on foreign nodes
    EXPECT_EQ(Value(other, text), L"first");
}

TEST(XMLReader, EntitiesExpandInternallyButNeverLoadExternally)
{
    TempFile secret("secret.txt", "TOPSECRET");
    XMLReader reader;
    reader.LoadXML(L"<!DOCTYPE r [<!ENTITY in \"hello\"><!ENTITY ex SYSTEM \"" +
                   std::wstring(secret.file.begin(), secret.file.end()) +
                   L"\">]>\n<r><i>&in;</i><e>&ex;</e></r>");
    XMLNode node, child;
    ASSERT_TRUE(reader.SelectSingleNode(XMLNode(), L"/r/i", node));
    EXPECT_EQ(Value(reader, node), L"hello");
    ASSERT_TRUE(reader.GetFirstChild(node, node));
    EXPECT_EQ(Name(reader, node), L"in");
    ASSERT_TRUE(reader.GetFirstChild(node, child));
    EXPECT_EQ(Value(reader, child), L"hello");
    ASSERT_TRUE(reader.SelectSingleNode(XMLNode(), L"/r/e", node));
    EXPECT_EQ(Value(reader, node).find(L"TOPSECRET"), std::wstring::npos);
}

TEST(XMLReader, DeepNestingIsWalkedOrRefusedNeverACrash)
{
    XMLReader reader;
    XMLNode node;
    // Nesting the parser accepts can be walked to the bottom; far deeper nesting is refused.
    auto nested = [](int depth) {
        std::wstring open, close;
        for (int i = 0; i < depth; ++i) {
            open += L"<d>";
            close += L"</d>";
        }
        return open + L"bottom" + close;
    };
    reader.LoadXML(nested(200));
    int depth = 0;
    while (reader.GetFirstChild(node, node) && Name(reader, node) == L"d")
        ++depth;
    EXPECT_EQ(depth, 200);
    EXPECT_EQ(ThrownText([&] { reader.LoadXML(nested(10000)); }).substr(0, kLoadFailed.size()), kLoadFailed);
}
