#include "patchservice/xml/XMLNode.h"

namespace common::general::io {

XMLNode::XMLNode() = default;
XMLNode::XMLNode(const XMLNode& other) = default;
XMLNode::XMLNode(XMLNode&& other) noexcept = default;
XMLNode& XMLNode::operator=(const XMLNode& other) = default;
XMLNode& XMLNode::operator=(XMLNode&& other) noexcept = default;
XMLNode::~XMLNode() = default;

void XMLNode::Clear()
{
    basePath_.clear();
    expression_.clear();
    path_.clear();
    node_.reset();
}

}  // namespace common::general::io
