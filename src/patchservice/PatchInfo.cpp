#include "patchservice/PatchInfo.h"

#include "osal/QzString.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"
#include "platform/StagedFile.h"

#include <libxml/parser.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <fstream>
#include <utility>

namespace {

std::wstring FromUtf8(std::string_view bytes)
{
    return qz::platform::MultiByteToWide(qz::platform::CP_UTF8, bytes).value_or(std::wstring());
}

bool Is(const xmlChar* name, const char* expected)
{
    return name != nullptr && xmlStrEqual(name, reinterpret_cast<const xmlChar*>(expected));
}

// _wtoi64: optional blanks and sign, then digits; none gives 0; an overflow
// saturates.
std::int64_t ToInt64(const std::wstring& text)
{
    const long long value = std::wcstoll(text.c_str(), nullptr, 10);
    return static_cast<std::int64_t>(value);
}

// wcstol with the 32-bit long of the service's platform: out-of-range values
// saturate at the 32-bit limits.
std::int32_t ToInt32(const std::wstring& text)
{
    const long long value = std::wcstoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace

// The document is read as a stream of events rather than as a tree or
// through a pull reader: both of those lose what the parser had taken in
// just before a fault, so the outcome of a broken document would depend on
// where the parser's reading chunks happened to end.
struct CPatchInfo::Reading {
    enum class Text { None, Characters, Cdata };

    explicit Reading(CPatchInfo& target) : info(target) {}

    CPatchInfo& info;
    bool insidePatch = false;
    // The text node being read: consecutive character events are one node;
    // the last node inside "patch" becomes the description.
    Text current = Text::None;
    std::string text;
    // An empty element such as <patch/> has no end of its own to the reader
    // of the result document: the parser's end event for it is skipped.
    bool startedEmpty = false;
    // Elements open around the parser's position; 0 before the root.
    int depth = 0;

    void EndText()
    {
        if (current != Text::None && insidePatch)
            info.description_ = FromUtf8(text);
        current = Text::None;
        text.clear();
    }

    static Reading& Of(void* context) { return *static_cast<Reading*>(static_cast<xmlParserCtxtPtr>(context)->_private); }

    static void StartElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int,
                             const xmlChar**, int attributeCount, int defaulted, const xmlChar** attributes)
    {
        Reading& r = Of(context);
        r.EndText();
        const xmlChar* after = static_cast<xmlParserCtxtPtr>(context)->input->cur;
        r.startedEmpty = after != nullptr && after[0] == '/' && after[1] == '>';
        const bool root = r.depth++ == 0;
        if (prefix == nullptr && Is(localName, "patch"))
            r.insidePatch = true;
        // Five pointers an attribute: local name, prefix, URI, value start,
        // value end. Defaulted ones come last and are not the document's.
        for (int i = 0; i < attributeCount - defaulted; ++i) {
            const xmlChar** a = attributes + 5 * i;
            if (a[1] != nullptr)
                continue;
            const std::wstring value =
                FromUtf8(std::string_view(reinterpret_cast<const char*>(a[3]), static_cast<std::size_t>(a[4] - a[3])));
            CPatchInfo& info = r.info;
            if (Is(a[0], "filesize"))
                info.fileSize_ = ToInt64(value);
            else if (Is(a[0], "url"))
                info.url_.SetText(value);
            else if (Is(a[0], "version"))
                info.version_.FromString(value);
            else if (Is(a[0], "pug_installer"))
                info.installerKind_ = ToInt32(value);
            else if (root && Is(a[0], "signature"))
                info.signatureUrl_.SetText(value);
        }
    }

    static void EndElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*)
    {
        Reading& r = Of(context);
        --r.depth;
        if (std::exchange(r.startedEmpty, false))
            return;
        r.EndText();
        if (prefix == nullptr && Is(localName, "patch"))
            r.insidePatch = false;
    }

    static void AddText(void* context, const xmlChar* bytes, int length, Text kind)
    {
        Reading& r = Of(context);
        r.startedEmpty = false;
        if (r.current != kind)
            r.EndText();
        r.current = kind;
        r.text.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
    }
    static void Characters(void* context, const xmlChar* bytes, int length)
    {
        AddText(context, bytes, length, Text::Characters);
    }
    static void Cdata(void* context, const xmlChar* bytes, int length) { AddText(context, bytes, length, Text::Cdata); }
    static void OtherNode(void* context, const xmlChar*, const xmlChar*) { Of(context).EndText(); }
    static void Comment(void* context, const xmlChar*) { Of(context).EndText(); }
    // A document type declaration is refused like an error.
    static void DocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
    {
        xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
    }
    // The document must not make the parser print anything.
    static void IgnoreError(void*, xmlErrorPtr) {}
};

CPatchInfo::CPatchInfo() = default;

CPatchInfo::~CPatchInfo() = default;

void CPatchInfo::ParseResult(const QzOSAL::QzPath& path)
{
    std::ifstream in(qz::platform::NativeFileName(path.GetPath()), std::ios::binary);
    std::string document(kMaxDocumentSize + 1, '\0');
    in.read(document.data(), static_cast<std::streamsize>(document.size()));
    document.resize(static_cast<std::size_t>(in.gcount()));
    if (!in.bad() && document.size() <= kMaxDocumentSize)
        ParseResultDocument(document);
}

void CPatchInfo::ParseResultDocument(std::string_view document)
{
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = &Reading::StartElement;
    handler.endElementNs = &Reading::EndElement;
    handler.characters = &Reading::Characters;
    handler.ignorableWhitespace = &Reading::Characters;
    handler.cdataBlock = &Reading::Cdata;
    handler.processingInstruction = &Reading::OtherNode;
    handler.comment = &Reading::Comment;
    handler.internalSubset = &Reading::DocumentType;
    handler.externalSubset = &Reading::DocumentType;
    handler.serror = &Reading::IgnoreError;

    Reading reading(*this);
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&handler, nullptr, nullptr, 0, nullptr);
    if (context == nullptr)
        return;
    context->_private = &reading;
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    // Fed in pieces: the parser never holds a second copy of a long document.
    constexpr std::size_t kPiece = 64 * 1024;
    for (std::size_t at = 0;; at += kPiece) {
        const std::size_t length = std::min(kPiece, document.size() - std::min(at, document.size()));
        const bool last = at + length >= document.size();
        if (xmlParseChunk(context, document.data() + at, static_cast<int>(length), last ? 1 : 0) != 0 ||
            context->disableSAX != 0 || last)
            break;
    }
    // A fault in the middle of a text keeps what came before it.
    reading.EndText();
    xmlFreeParserCtxt(context);
}

bool CPatchInfo::IsValid() const
{
    if (static_cast<std::uint64_t>(fileSize_) < 1)
        return false;
    const std::wstring version = version_.ToString();
    if (version.empty() || version == L"0.0.0.0")
        return false;
    if (url_.IsEmpty())
        return false;
    if (descriptionFile_.GetPath().empty() && description_.empty())
        return false;
    return true;
}

void CPatchInfo::WriteDescriptionFile(const QzOSAL::QzPath& path)
{
    descriptionFile_ = path;
    descriptionFile_.SetExtension(L".html");
    const QzOSAL::QzAString utf8(description_, qz::platform::CP_UTF8);
    qz::platform::WriteFileAtomically(qz::platform::NativeFileName(descriptionFile_.GetPath()),
                                      std::string_view(utf8.GetString(), utf8.GetLength()));
}
