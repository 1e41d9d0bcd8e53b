// The writer side of the XML layer: it loads a document from a file and so
// far offers no output of its own.
#pragma once

#include "patchservice/xml/DefaultException.h"

#include <memory>
#include <string>

struct _xmlDoc;

namespace common::general::io {

/// Holds a document loaded from a file. White space between elements is
/// dropped; as for the reader, nothing external is loaded and nothing is
/// validated.
class XMLWriter {
public:
    /// Parses the file `fileName`; throws DefaultException when the file is
    /// missing or malformed, or no parser can be made.
    explicit XMLWriter(const std::string& fileName);
    XMLWriter(const XMLWriter&) = delete;
    XMLWriter& operator=(const XMLWriter&) = delete;
    virtual ~XMLWriter();

private:
    std::string fileName_;
    std::shared_ptr<_xmlDoc> document_;
};

}  // namespace common::general::io
