// Arbitrary text through the XML reader: load, search, and walk whatever tree
// comes out, reading every node's name, value and a few attributes.
#include "patchservice/xml/XMLReader.h"
#include "platform/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using common::general::io::DefaultException;
using common::general::io::XMLNode;
using common::general::io::XMLReader;

namespace {

const char* const kExpressions[] = {
    "//*", "//@*", "//text()", "/*/*[1]", "//node()[last()]", "//comment() | //processing-instruction()",
    "*", "..", "//*[@id]", "string(/)", "/", "//@*/..",
};

void Walk(XMLReader& reader, std::size_t budget)
{
    std::vector<XMLNode> stack(1);  // the empty handle stands for the document
    std::wstring text;
    while (!stack.empty() && budget-- > 0) {
        XMLNode node = stack.back();
        stack.pop_back();
        if (!node.IsEmpty()) {
            reader.GetNodeName(node, text);
            reader.GetNodeValue(node, text);
            reader.GetAttribute(node, L"id", text);
            reader.GetAttribute(node, L"xmlns", text);
            XMLNode sibling;
            if (reader.GetNextSibling(node, sibling))
                stack.push_back(sibling);
        }
        XMLNode child;
        if (reader.GetFirstChild(node, child))
            stack.push_back(child);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the search, the rest is the document.
    const char* expression = kExpressions[data[0] % (sizeof kExpressions / sizeof kExpressions[0])];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::wstring text =
        qz::platform::MultiByteToWide(qz::platform::CP_UTF8, bytes).value_or(std::wstring());

    XMLReader reader;
    try {
        reader.LoadXML(text);
    } catch (const DefaultException&) {
        return 0;
    }

    XMLNode found;
    std::wstring value;
    std::size_t steps = 0;
    for (bool ok = reader.getFirstNodeByExpression(XMLNode(), expression, found); ok && steps < 1000;
         ok = reader.getNextNodeByExpression(found), ++steps) {
        reader.GetNodeValue(found, value);
        XMLNode below;
        reader.SelectSingleNode(found, L"node()", below);
    }
    Walk(reader, 5000);
    return 0;
}
