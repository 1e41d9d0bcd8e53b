#include "patchservice/PatchInfo.h"

#include "osal/QzString.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"

#include <libxml/xmlreader.h>

#include <climits>
#include <cstdio>
#include <cwchar>

namespace {

std::wstring FromUtf8(const xmlChar* text)
{
    if (text == nullptr)
        return {};
    const std::string_view bytes(reinterpret_cast<const char*>(text));
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

// The document must not make the parser print anything or fetch anything.
void IgnoreError(void*, xmlErrorPtr) {}

}  // namespace

CPatchInfo::CPatchInfo() = default;

CPatchInfo::~CPatchInfo() = default;

void CPatchInfo::ParseResult(const QzOSAL::QzPath& path)
{
    if (const auto document = qz::platform::ReadWholeFile(qz::platform::NativeFileName(path.GetPath())))
        ParseResultDocument(*document);
}

void CPatchInfo::ParseResultDocument(std::string_view document)
{
    if (document.size() > static_cast<std::size_t>(INT_MAX))
        return;
    xmlTextReaderPtr reader = xmlReaderForMemory(document.data(), static_cast<int>(document.size()),
                                                 nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR |
                                                     XML_PARSE_NOWARNING);
    if (reader == nullptr)
        return;
    xmlTextReaderSetStructuredErrorHandler(reader, IgnoreError, nullptr);

    bool insidePatch = false;
    while (xmlTextReaderRead(reader) == 1) {
        switch (xmlTextReaderNodeType(reader)) {
        case XML_READER_TYPE_DOCUMENT_TYPE:
            // A document type declaration is refused like an error.
            xmlFreeTextReader(reader);
            return;
        case XML_READER_TYPE_ELEMENT:
            if (xmlTextReaderConstPrefix(reader) == nullptr && Is(xmlTextReaderConstLocalName(reader), "patch"))
                insidePatch = true;
            while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
                if (xmlTextReaderIsDefault(reader) == 1 || xmlTextReaderConstPrefix(reader) != nullptr)
                    continue;
                const xmlChar* name = xmlTextReaderConstLocalName(reader);
                const std::wstring value = FromUtf8(xmlTextReaderConstValue(reader));
                if (Is(name, "filesize"))
                    fileSize_ = ToInt64(value);
                else if (Is(name, "url"))
                    url_.SetText(value);
                else if (Is(name, "version"))
                    version_.FromString(value);
                else if (Is(name, "pug_installer"))
                    installerKind_ = ToInt32(value);
            }
            xmlTextReaderMoveToElement(reader);
            break;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA:
        case XML_READER_TYPE_WHITESPACE:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
            if (insidePatch) {
                if (const xmlChar* value = xmlTextReaderConstValue(reader))
                    description_ = FromUtf8(value);
            }
            break;
        case XML_READER_TYPE_END_ELEMENT:
            if (xmlTextReaderConstPrefix(reader) == nullptr && Is(xmlTextReaderConstLocalName(reader), "patch"))
                insidePatch = false;
            break;
        default:
            break;
        }
    }
    xmlFreeTextReader(reader);
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
    std::FILE* file = std::fopen(qz::platform::NativeFileName(descriptionFile_.GetPath()).c_str(), "wb");
    if (file == nullptr)
        return;
    const QzOSAL::QzAString utf8(description_, qz::platform::CP_UTF8);
    std::fwrite(utf8.GetString(), 1, utf8.GetLength(), file);
    std::fclose(file);
}
