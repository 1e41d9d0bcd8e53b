#include "patchservice/xml/XMLDocumentParser.h"

#include "platform/FileNames.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

namespace common::general::io {
namespace {

// Longest part of the faulty line that goes into a report, in bytes.
constexpr std::size_t kMaxSourceLine = 4096;

// Never the network, never an external subset, no entity substitution (so
// external entities stay unread), no validation, and nothing on stderr:
// errors go to the caller's report instead.
constexpr int kBaseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

int OptionsFor(XMLDocumentParser::Profile profile)
{
    switch (profile) {
    case XMLDocumentParser::Profile::Text:
        // The text was already decoded; a declared encoding must not recode it.
        return kBaseOptions | XML_PARSE_IGNORE_ENC;
    case XMLDocumentParser::Profile::File:
        return kBaseOptions;
    case XMLDocumentParser::Profile::FileIgnoringBlanks:
        return kBaseOptions | XML_PARSE_NOBLANKS;
    }
    return kBaseOptions;
}

// The parse running on this thread collects its first error here. The parser
// calls back synchronously on the parsing thread, so a thread-local suffices.
struct ErrorCapture {
    bool seen = false;
    XMLDocumentParser::Error error;
};
thread_local ErrorCapture* t_capture = nullptr;

#if LIBXML_VERSION >= 21200
void OnParserError(void*, const xmlError* error)
#else
void OnParserError(void*, xmlError* error)
#endif
{
    if (!t_capture || t_capture->seen || !error || error->level < XML_ERR_ERROR)
        return;
    t_capture->seen = true;
    std::string reason = error->message ? error->message : "";
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    t_capture->error.reason = std::move(reason);
    t_capture->error.code = error->code;
    t_capture->error.line = error->line;
    t_capture->error.column = error->int2;
}

class CaptureScope {
public:
    explicit CaptureScope(ErrorCapture* capture) : previous_(t_capture) { t_capture = capture; }
    ~CaptureScope() { t_capture = previous_; }
    CaptureScope(const CaptureScope&) = delete;
    CaptureScope& operator=(const CaptureScope&) = delete;

private:
    ErrorCapture* previous_;
};

void IgnoreGenericError(void*, const char*, ...) {}

bool LibraryMatchesBuild()
{
    // Same major version: the structures this code reads have that layout.
    const char* runtime = xmlParserVersion;
    return runtime && std::atoi(runtime) / 10000 == LIBXML_VERSION / 10000;
}

}  // namespace

XMLDocumentParser::QuietScope::QuietScope()
    : previousContext_(xmlGenericErrorContext),
      previousHandler_(xmlGenericError)
{
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
}

XMLDocumentParser::QuietScope::~QuietScope()
{
    xmlSetGenericErrorFunc(previousContext_, previousHandler_);
}

bool XMLDocumentParser::InitializeLibrary()
{
    static std::once_flag once;
    static bool usable = false;
    std::call_once(once, [] {
        xmlInitParser();
        usable = LibraryMatchesBuild();
    });
    return usable;
}

XMLDocumentParser::Status XMLDocumentParser::Parse(std::string_view bytes, Profile profile,
                                                   std::shared_ptr<_xmlDoc>& document, Error& error)
{
    document.reset();
    error = Error{};
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        error.reason = "Document too large";
        error.code = XML_ERR_INTERNAL_ERROR;
        return Status::Malformed;
    }
    QuietScope quiet;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        return Status::NoParser;
    ctxt->sax->serror = OnParserError;

    ErrorCapture capture;
    xmlDocPtr doc = nullptr;
    bool namespacesWellFormed = true;
    {
        CaptureScope scope(&capture);
        doc = xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                profile == Profile::Text ? "UTF-8" : nullptr, OptionsFor(profile));
        namespacesWellFormed = ctxt->nsWellFormed != 0;
    }
    xmlFreeParserCtxt(ctxt);

    // A reference to an undeclared prefix makes the document unusable for
    // name-based searches; it counts as malformed like any other fault.
    if (doc && !namespacesWellFormed) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (!doc) {
        error = capture.error;
        if (!capture.seen)
            error.reason = "Document could not be parsed";
        return Status::Malformed;
    }
    document.reset(doc, xmlFreeDoc);
    return Status::Parsed;
}

bool XMLDocumentParser::ReadFile(const std::string& fileName, std::string& bytes)
{
    std::optional<std::string> content = qz::platform::ReadWholeFile(fileName);
    bytes = content ? std::move(*content) : std::string();
    return content.has_value();
}

std::string XMLDocumentParser::Report(const Error& error, std::string_view source)
{
    // The faulty line as the parser counts lines (from 1, at line feeds).
    std::string_view line;
    if (error.line > 0) {
        std::size_t start = 0;
        for (long n = 1; n < error.line && start != std::string_view::npos; ++n) {
            start = source.find('\n', start);
            if (start != std::string_view::npos)
                ++start;
        }
        if (start != std::string_view::npos && start <= source.size()) {
            line = source.substr(start);
            line = line.substr(0, line.find('\n'));
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
        }
    }
    // A whole minified document on one line would swamp the report.
    if (line.size() > kMaxSourceLine) {
        std::size_t cut = kMaxSourceLine;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        line = line.substr(0, cut);
    }

    char numbers[128];
    std::snprintf(numbers, sizeof numbers, "\n\tCode = 0x%x\n\tSource = Line : %ld; Char : %ld\nText: \n",
                  static_cast<unsigned>(error.code), error.line, error.column);
    std::string report = error.reason;
    report += numbers;
    report.append(line.data(), line.size());
    return report;
}

}  // namespace common::general::io
