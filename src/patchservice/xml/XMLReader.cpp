#include "patchservice/xml/XMLReader.h"

#include "patchservice/xml/XMLDocumentParser.h"
#include "patchservice/xml/XMLMessages.h"
#include "platform/CodePage.h"

#include <libxml/entities.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>
#include <libxml/xpath.h>

#include <utility>

namespace common::general::io {
namespace {

// Work budget of one XPath evaluation, in the evaluator's own units (about one
// per node visited): ample for documents of millions of nodes, yet an
// expression that is quadratic over a big document ends with no result
// instead of hanging its caller.
constexpr unsigned long kSearchOperationLimit = 200'000'000;

std::string ToUtf8(const std::wstring& text)
{
    return qz::platform::WideToMultiByte(qz::platform::CP_UTF8, text).value_or(std::string());
}

std::wstring ToWide(std::string_view utf8)
{
    return qz::platform::MultiByteToWide(qz::platform::CP_UTF8, utf8).value_or(std::wstring());
}

std::wstring ToWide(const xmlChar* utf8)
{
    return utf8 ? ToWide(std::string_view(reinterpret_cast<const char*>(utf8))) : std::wstring();
}

std::string Text(const xmlChar* utf8)
{
    return utf8 ? std::string(reinterpret_cast<const char*>(utf8)) : std::string();
}

std::string QualifiedName(const xmlNs* ns, const xmlChar* name)
{
    if (ns && ns->prefix)
        return Text(ns->prefix) + ":" + Text(name);
    return Text(name);
}

std::string DomName(xmlNode* node)
{
    switch (node->type) {
    case XML_ELEMENT_NODE:
        return QualifiedName(node->ns, node->name);
    case XML_ATTRIBUTE_NODE: {
        auto* attribute = reinterpret_cast<xmlAttr*>(node);
        return QualifiedName(attribute->ns, attribute->name);
    }
    case XML_TEXT_NODE:
        return "#text";
    case XML_CDATA_SECTION_NODE:
        return "#cdata-section";
    case XML_COMMENT_NODE:
        return "#comment";
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
        return "#document";
    case XML_DOCUMENT_FRAG_NODE:
        return "#document-fragment";
    default:
        return Text(node->name);
    }
}

// The XPath step that leads from a parent to `node`; child handles extend
// their parent's path with it.
std::string Step(xmlNode* node)
{
    switch (node->type) {
    case XML_ELEMENT_NODE:
        return DomName(node);
    case XML_ATTRIBUTE_NODE: {
        std::string step(1, '@');
        return step.append(DomName(node));
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
        return "text()";
    case XML_COMMENT_NODE:
        return "comment()";
    case XML_PI_NODE:
        return "processing-instruction('" + Text(node->name) + "')";
    default:
        return "node()";
    }
}

std::string JoinPath(const std::string& base, const std::string& expression)
{
    if (base.empty() || (!expression.empty() && expression.front() == '/'))
        return expression;
    if (expression.empty())
        return base;
    if (base.back() == '/')
        return base + expression;
    return base + "/" + expression;
}

xmlNode* FirstChildOf(xmlNode* node)
{
    switch (node->type) {
    case XML_ENTITY_REF_NODE: {
        // The reference's children field names the entity's declaration; the
        // DOM shows the replacement content as the reference's children.
        xmlNode* declaration = node->children;
        if (declaration && declaration->type == XML_ENTITY_DECL)
            return reinterpret_cast<xmlEntity*>(declaration)->children;
        return nullptr;
    }
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
    case XML_DTD_NODE:
    case XML_ENTITY_DECL:
        return node->children;
    default:
        return nullptr;
    }
}

xmlNode* NextSiblingOf(xmlNode* node)
{
    switch (node->type) {
    case XML_ATTRIBUTE_NODE:  // attributes are no one's children in the DOM
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
        return nullptr;
    default:
        return node->next;
    }
}

#if LIBXML_VERSION >= 21200
void OnSearchError(void*, const xmlError*) {}
#else
void OnSearchError(void*, xmlError*) {}
#endif

[[noreturn]] void ThrowLoadFailure(const XMLDocumentParser::Error& error, std::string_view source)
{
    throw DefaultException(messages::kLoadFailed + XMLDocumentParser::Report(error, source));
}

}  // namespace

void XMLReader::SearchContextDeleter::operator()(_xmlXPathContext* context) const
{
    xmlXPathFreeContext(context);
}

XMLReader::XMLReader()
{
    CreateSearchContext();
}

XMLReader::XMLReader(const std::string& fileName) : fileName_(fileName)
{
    CreateSearchContext();
    std::string bytes;
    std::shared_ptr<_xmlDoc> document;
    XMLDocumentParser::Error error;
    XMLDocumentParser::Status status = XMLDocumentParser::Status::Malformed;
    if (XMLDocumentParser::ReadFile(fileName, bytes))
        status = XMLDocumentParser::Parse(bytes, XMLDocumentParser::Profile::File, document, error);
    if (status == XMLDocumentParser::Status::NoParser)
        throw DefaultException(messages::kCouldNotInstantiate);
    if (status != XMLDocumentParser::Status::Parsed)
        throw DefaultException(messages::kCheckFileBefore + fileName + messages::kCheckFileAfter);
    Attach(std::move(document));
}

XMLReader::~XMLReader() = default;

void XMLReader::CreateSearchContext()
{
    if (!XMLDocumentParser::InitializeLibrary())
        throw DefaultException(messages::kCouldNotInitialize);
    XMLDocumentParser::QuietScope quiet;
    search_.reset(xmlXPathNewContext(nullptr));
    if (!search_)
        throw DefaultException(messages::kCouldNotInstantiate);
    search_->error = OnSearchError;
    search_->opLimit = kSearchOperationLimit;
}

void XMLReader::Attach(std::shared_ptr<_xmlDoc> document)
{
    results_.clear();
    positions_.clear();
    document_ = std::move(document);
}

void XMLReader::LoadXML(const std::wstring& text)
{
    fileName_.clear();
    Attach(nullptr);
    const std::string utf8 = ToUtf8(text);
    std::shared_ptr<_xmlDoc> document;
    XMLDocumentParser::Error error;
    switch (XMLDocumentParser::Parse(utf8, XMLDocumentParser::Profile::Text, document, error)) {
    case XMLDocumentParser::Status::Parsed:
        Attach(std::move(document));
        return;
    case XMLDocumentParser::Status::NoParser:
        throw DefaultException(messages::kCouldNotInstantiate);
    case XMLDocumentParser::Status::Malformed:
        break;
    }
    ThrowLoadFailure(error, utf8);
}

bool XMLReader::GetFirstChild(const XMLNode& node, XMLNode& child) const
{
    std::shared_ptr<_xmlNode> owner = node.node_;
    std::string base = node.path_;
    if (!owner) {
        if (!document_) {
            child.Clear();
            return false;
        }
        owner = std::shared_ptr<_xmlNode>(document_, reinterpret_cast<xmlNode*>(document_.get()));
        base.assign(1, '/'); // not = "/": GCC 12 warns falsely of overlap there
    }
    xmlNode* first = FirstChildOf(owner.get());
    if (!first) {
        child.Clear();
        return false;
    }
    XMLNode found;
    found.basePath_ = base;
    found.expression_ = Step(first);
    found.path_ = JoinPath(base, found.expression_);
    found.node_ = std::shared_ptr<_xmlNode>(owner, first);
    child = std::move(found);
    return true;
}

bool XMLReader::GetNextSibling(const XMLNode& node, XMLNode& sibling) const
{
    xmlNode* next = node.node_ ? NextSiblingOf(node.node_.get()) : nullptr;
    if (!next) {
        sibling.Clear();
        return false;
    }
    XMLNode found;
    found.basePath_ = node.basePath_;
    found.expression_ = Step(next);
    found.path_ = JoinPath(found.basePath_, found.expression_);
    found.node_ = std::shared_ptr<_xmlNode>(node.node_, next);
    sibling = std::move(found);
    return true;
}

bool XMLReader::GetNodeName(const XMLNode& node, std::wstring& name) const
{
    name.clear();
    if (!node.node_)
        return false;
    name = ToWide(DomName(node.node_.get()));
    return true;
}

bool XMLReader::GetNodeValue(const XMLNode& node, std::wstring& value) const
{
    value.clear();
    if (!node.node_)
        return false;
    xmlChar* content = xmlNodeGetContent(node.node_.get());
    if (!content)
        return false;
    value = ToWide(content);
    xmlFree(content);
    return true;
}

bool XMLReader::GetAttribute(const XMLNode& node, const std::wstring& name, std::wstring& value) const
{
    value.clear();
    xmlNode* element = node.node_.get();
    if (!element || element->type != XML_ELEMENT_NODE)
        return false;
    const std::string wanted = ToUtf8(name);
    for (xmlAttr* attribute = element->properties; attribute; attribute = attribute->next) {
        if (QualifiedName(attribute->ns, attribute->name) != wanted)
            continue;
        xmlChar* content = xmlNodeGetContent(reinterpret_cast<xmlNode*>(attribute));
        value = ToWide(content);
        xmlFree(content);
        return true;
    }
    for (xmlNs* ns = element->nsDef; ns; ns = ns->next) {
        const std::string declared = ns->prefix ? "xmlns:" + Text(ns->prefix) : std::string("xmlns");
        if (declared == wanted) {
            value = ToWide(ns->href);
            return true;
        }
    }
    return false;
}

bool XMLReader::Evaluate(const XMLNode& from, const std::string& expression, NodeList& found, bool firstOnly)
{
    found = NodeList{};
    if (from.node_) {
        found.owner = from.node_;
    } else if (document_) {
        found.owner = std::shared_ptr<_xmlNode>(document_, reinterpret_cast<xmlNode*>(document_.get()));
    } else {
        return false;
    }
    // The evaluator reads up to the first zero; an expression with one inside
    // is not the expression the caller wrote.
    if (expression.find('\0') != std::string::npos)
        return false;

    xmlNode* context = found.owner.get();
    search_->doc = context->doc;
    search_->node = context;
    search_->opCount = 0;
    XMLDocumentParser::QuietScope quiet;
    xmlXPathObjectPtr result = xmlXPathEval(reinterpret_cast<const xmlChar*>(expression.c_str()), search_.get());
    search_->node = nullptr;
    search_->doc = nullptr;
    if (!result)
        return false;
    if (result->type == XPATH_NODESET && result->nodesetval) {
        const xmlNodeSet* set = result->nodesetval;
        found.nodes.reserve(firstOnly ? 1 : static_cast<std::size_t>(set->nodeNr));
        for (int i = 0; i < set->nodeNr; ++i) {
            xmlNode* node = set->nodeTab[i];
            // Namespace nodes are copies that die with the result; only nodes
            // of the tree can be handed out.
            if (!node || node->type == XML_NAMESPACE_DECL)
                continue;
            found.nodes.push_back(node);
            if (firstOnly)
                break;
        }
    }
    xmlXPathFreeObject(result);
    return !found.nodes.empty();
}

bool XMLReader::SelectSingleNode(const XMLNode& node, const std::wstring& expression, XMLNode& result)
{
    const std::string utf8 = ToUtf8(expression);
    NodeList found;
    if (!Evaluate(node, utf8, found, true)) {
        result.Clear();
        return false;
    }
    XMLNode match;
    match.basePath_ = node.path_;
    match.expression_ = utf8;
    match.path_ = JoinPath(node.path_, utf8);
    match.node_ = std::shared_ptr<_xmlNode>(found.owner, found.nodes.front());
    result = std::move(match);
    return true;
}

bool XMLReader::getFirstNodeByExpression(const XMLNode& node, const std::string& expression, XMLNode& result)
{
    if (!document_)
        throw DefaultException(messages::kNoDocumentFirst);
    // The search runs on the joined path from the document, so one path is
    // one search whichever of its matches it started from.
    const std::string path = JoinPath(node.path_, expression);
    NodeList found;
    if (!Evaluate(XMLNode(), path, found, false)) {
        results_.erase(path);
        positions_.erase(path);
        result.Clear();
        return false;
    }
    XMLNode match;
    match.basePath_ = node.path_;
    match.expression_ = expression;
    match.path_ = path;
    match.node_ = std::shared_ptr<_xmlNode>(found.owner, found.nodes.front());
    results_[path] = std::move(found);
    positions_[path] = 1;
    result = std::move(match);
    return true;
}

bool XMLReader::getNextNodeByExpression(XMLNode& node)
{
    if (!document_)
        throw DefaultException(messages::kNoDocumentNext);
    const auto list = results_.find(node.path_);
    const auto position = positions_.find(node.path_);
    if (list == results_.end() || position == positions_.end()) {
        node.Clear();
        return false;
    }
    if (position->second >= list->second.nodes.size()) {
        // The search is used up; a new getFirstNodeByExpression starts it again.
        results_.erase(list);
        positions_.erase(position);
        node.Clear();
        return false;
    }
    node.node_ = std::shared_ptr<_xmlNode>(list->second.owner, list->second.nodes[position->second]);
    ++position->second;
    return true;
}

}  // namespace common::general::io
