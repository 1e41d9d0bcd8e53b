// A handle to one node of a document read by XMLReader, with the expression
// path that found it, so that searches below the node can extend that path.
#pragma once

#include <memory>
#include <string>

struct _xmlNode;

namespace common::general::io {

class XMLReader;

/// One node of a parsed document, or nothing. Copies share the node, and the
/// node's document stays alive as long as any handle to one of its nodes
/// does, even past the reader that parsed it. Handles are filled by XMLReader.
class XMLNode {
public:
    /// An empty handle; navigation from it starts at the document.
    XMLNode();
    XMLNode(const XMLNode& other);
    XMLNode(XMLNode&& other) noexcept;
    XMLNode& operator=(const XMLNode& other);
    XMLNode& operator=(XMLNode&& other) noexcept;
    virtual ~XMLNode();

    /// True when the handle refers to no node.
    bool IsEmpty() const { return !node_; }
    /// Lets go of the node and forgets the paths.
    void Clear();
    /// True when both handles refer to the same node (two empty handles too).
    bool IsSameNode(const XMLNode& other) const { return node_.get() == other.node_.get(); }

    /// The path of the node the search or step started from.
    const std::string& GetBasePath() const { return basePath_; }
    /// The expression or child step that found the node, as given.
    const std::string& GetExpression() const { return expression_; }
    /// The base path joined with the expression; searches below the node
    /// extend it, and stepping through a search's results follows it.
    const std::string& GetPath() const { return path_; }

private:
    friend class XMLReader;

    std::string basePath_;
    std::string expression_;
    std::string path_;
    // Shares ownership of the whole document; points at this node.
    std::shared_ptr<_xmlNode> node_;
};

}  // namespace common::general::io
