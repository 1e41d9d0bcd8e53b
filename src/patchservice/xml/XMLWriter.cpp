#include "patchservice/xml/XMLWriter.h"

#include "patchservice/xml/XMLDocumentParser.h"
#include "patchservice/xml/XMLMessages.h"

namespace common::general::io {

XMLWriter::XMLWriter(const std::string& fileName) : fileName_(fileName)
{
    if (!XMLDocumentParser::InitializeLibrary())
        throw DefaultException(messages::kCouldNotInitialize);
    std::string bytes;
    XMLDocumentParser::Error error;
    XMLDocumentParser::Status status = XMLDocumentParser::Status::Malformed;
    if (XMLDocumentParser::ReadFile(fileName, bytes))
        status = XMLDocumentParser::Parse(bytes, XMLDocumentParser::Profile::FileIgnoringBlanks, document_,
                                          error);
    // Failing to make the parser reads the same as failing to load, as the
    // writer has no separate creation step.
    if (status != XMLDocumentParser::Status::Parsed)
        throw DefaultException(messages::kCheckFileBefore + fileName + messages::kCheckFileAfter);
}

XMLWriter::~XMLWriter() = default;

}  // namespace common::general::io
