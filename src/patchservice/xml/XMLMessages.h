// The texts the XML classes throw. Internal to the XML classes.
#pragma once

namespace common::general::io::messages {

inline constexpr char kCouldNotInitialize[] = "XMLReader::XMLReader () Could not initialize COM.\n";
inline constexpr char kCouldNotInstantiate[] = "XMLReader::XMLReader () Could not instantiate the XML-Parser.\n";
/// Followed by the file name and kCheckFileAfter.
inline constexpr char kCheckFileBefore[] = "XMLReader::XMLReader () Please, check whether xml-file ";
inline constexpr char kCheckFileAfter[] = " exists.\n";
/// Followed by the parse-error report.
inline constexpr char kLoadFailed[] =
    "XMLReader::XMLReader () failed to load the given document.\nPlease, verify that the document is well-formed!\n";
inline constexpr char kNoDocumentFirst[] = "XMLReader::getFirstNodeByExpression () No XML-Document attached!\n";
inline constexpr char kNoDocumentNext[] = "XMLReader::getNextNodeByExpression () No XML-Document attached!\n";

}  // namespace common::general::io::messages
