// The library's small DOM layer: a document parsed from a file or a text,
// walked node by node and searched with XPath.
#pragma once

#include "patchservice/xml/DefaultException.h"
#include "patchservice/xml/XMLNode.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct _xmlDoc;
struct _xmlNode;
struct _xmlXPathContext;

namespace common::general::io {

/// Reads one XML document and answers questions about it. Parsing never
/// touches the network, loads no external subset or entity, does not
/// validate and keeps white space. Faults in construction and loading throw
/// DefaultException; navigation and searches without a result answer false
/// and leave their output empty. A reader belongs to one thread.
class XMLReader {
public:
    /// A reader without a document; LoadXML gives it one.
    XMLReader();
    /// Parses the file `fileName`; throws when it is missing or malformed.
    explicit XMLReader(const std::string& fileName);
    XMLReader(const XMLReader&) = delete;
    XMLReader& operator=(const XMLReader&) = delete;
    virtual ~XMLReader();

    /// Replaces the document by `text` parsed. On failure throws with the
    /// parser's report, and the reader is left without a document.
    void LoadXML(const std::wstring& text);
    /// True when a document has been loaded.
    bool HasDocument() const { return document_ != nullptr; }
    /// The file the document came from; empty after LoadXML.
    const std::string& GetFileName() const { return fileName_; }

    /// The first child of `node`, or of the document when `node` is empty.
    bool GetFirstChild(const XMLNode& node, XMLNode& child) const;
    /// The node after `node` under the same parent.
    bool GetNextSibling(const XMLNode& node, XMLNode& sibling) const;
    /// The DOM name: the qualified name of elements and attributes, the
    /// target of processing instructions, "#text", "#comment" and the like.
    bool GetNodeName(const XMLNode& node, std::wstring& name) const;
    /// The node's value as text: an element's text content, an attribute's
    /// or text node's value.
    bool GetNodeValue(const XMLNode& node, std::wstring& value) const;
    /// The value of the element's attribute with the qualified name `name`
    /// (namespace declarations count as attributes "xmlns" and "xmlns:p").
    bool GetAttribute(const XMLNode& node, const std::wstring& name, std::wstring& value) const;
    /// The first node, in document order, that the XPath `expression`
    /// selects from `node` (from the document when `node` is empty).
    bool SelectSingleNode(const XMLNode& node, const std::wstring& expression, XMLNode& result);

    /// Runs `node`'s path joined with the XPath `expression` from the document
    /// and gives the first match, whose path is that joined path. A node found
    /// by an expression or a step stands for every node its path selects.
    /// Throws when the reader has no document.
    bool getFirstNodeByExpression(const XMLNode& node, const std::string& expression, XMLNode& result);
    /// Replaces `node`, a result of getFirstNodeByExpression, by the next
    /// match of the search that found it; empties it after the last.
    /// Throws when the reader has no document.
    bool getNextNodeByExpression(XMLNode& node);

private:
    struct SearchContextDeleter {
        void operator()(_xmlXPathContext* context) const;
    };
    struct NodeList {
        std::shared_ptr<_xmlNode> owner;  // keeps the nodes' document alive
        std::vector<_xmlNode*> nodes;
    };

    void CreateSearchContext();
    void Attach(std::shared_ptr<_xmlDoc> document);
    bool Evaluate(const XMLNode& from, const std::string& expression, NodeList& found, bool firstOnly);

    std::string fileName_;
    std::shared_ptr<_xmlDoc> document_;
    // The XPath context; its node is where the running search starts.
    std::unique_ptr<_xmlXPathContext, SearchContextDeleter> search_;
    // Search path -> matches, and search path -> index of the next match.
    std::map<std::string, NodeList> results_;
    std::map<std::string, std::size_t> positions_;
};

}  // namespace common::general::io
