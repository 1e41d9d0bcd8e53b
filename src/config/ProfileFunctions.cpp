#include "config/ProfileFunctions.h"

#include <cwchar>
#include <string>

#include "config/IniFileCache.h"
#include "config/IniFileText.h"
#include "config/IniNumbers.h"
#include "config/IniParser.h"
#include "config/IniWriter.h"
#include "config/ProfileBuffer.h"
#include "platform/CodePage.h"
#include "platform/ShellPath.h"

namespace {

enum class Load { Missing, Failed, Loaded };

// Reads and parses a file and everything it includes, straight from disk.
Load LoadFresh(const wchar_t* fileName, CQZIniDocument& doc, std::uint32_t& encoding, bool* utf8Mark = nullptr)
{
    if (fileName == nullptr || fileName[0] == 0)
        return Load::Failed;
    const std::wstring full = CQZIniFileText::FullName(fileName);
    if (!CQZIniFileText::Exists(full))
        return Load::Missing;
    auto read = [](const std::wstring& name, CQZIniFileBuffer& out) {
        std::string bytes;
        return CQZIniFileText::ReadBytes(name, bytes) && CQZIniFileText::Decode(bytes, out);
    };
    CQZIniFileBuffer buffer;
    if (!read(full, buffer))
        return Load::Failed;
    encoding = buffer.encoding;
    if (utf8Mark != nullptr)
        *utf8Mark = buffer.utf8Mark;
    auto loader = [&read](const std::wstring& dir, const std::wstring& name, CQZIniIncludeText& out) {
        const bool rooted = !name.empty() && qz::platform::IsPathSeparator(name[0]);
        const std::wstring path = CQZIniFileText::FullName(rooted ? name : dir + name);
        CQZIniFileBuffer included;
        if (!CQZIniFileText::Exists(path) || !read(path, included))
            return false;
        out.fullName = path;
        out.text = std::make_shared<const std::wstring>(std::move(included.text));
        return true;
    };
    CQZIniParser(doc, true, loader).Parse(buffer.text, full);
    return Load::Loaded;
}

// A line end inside a name or value would read back as more lines.
bool BreaksLine(const wchar_t* text)
{
    return text != nullptr && std::wcspbrk(text, L"\r\n") != nullptr;
}

const CQZIniSection* FindSection(const CQZIniDocument& doc, const wchar_t* appName)
{
    const std::ptrdiff_t s = doc.sections.Lookup(appName);
    return s < 0 ? nullptr : &doc.sections.At(static_cast<std::size_t>(s)).value;
}

std::wstring SectionNames(const CQZIniDocument& doc)
{
    std::wstring list;
    for (const auto& s : doc.sections.Items()) {
        list += qz::platform::AnsiDisplayText(s.key);
        list += L'\0';
    }
    return list;
}

// Keys (keysOnly) or "key=value" items of a section; comments are left out.
std::wstring SectionItems(const CQZIniSection* section, bool keysOnly)
{
    std::wstring list;
    if (section == nullptr)
        return list;
    for (const auto& e : section->entries.Items()) {
        if (CQZIniDocument::IsCommentKey(e.key))
            continue;
        list += qz::platform::AnsiDisplayText(keysOnly ? e.key : e.key + L'=' + e.value.text);
        list += L'\0';
    }
    return list;
}

std::wstring Unquoted(const std::wstring& value)
{
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        return qz::platform::AnsiDisplayText(std::wstring_view(value).substr(1, value.size() - 2));
    return qz::platform::AnsiDisplayText(value);
}

const std::wstring* FindValue(const CQZIniDocument& doc, const wchar_t* appName, const wchar_t* keyName)
{
    const CQZIniSection* section = FindSection(doc, appName);
    if (section == nullptr)
        return nullptr;
    const std::ptrdiff_t k = section->entries.Lookup(keyName);
    return k < 0 ? nullptr : &section->entries.At(static_cast<std::size_t>(k)).value.text;
}

}  // namespace

std::uint32_t GetPrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName, const wchar_t* defaultValue,
                                       wchar_t* returnedString, std::uint32_t size, const wchar_t* fileName)
{
    if (returnedString == nullptr || size == 0)
        return 0;
    CQZIniDocument doc;
    std::uint32_t encoding = 0;
    const bool loaded = LoadFresh(fileName, doc, encoding) == Load::Loaded;
    if (appName == nullptr)
        return QzCopyProfileList(loaded ? SectionNames(doc) : std::wstring(), returnedString, size);
    if (keyName == nullptr)
        return QzCopyProfileList(loaded ? SectionItems(FindSection(doc, appName), true) : std::wstring(),
                                 returnedString, size);
    if (loaded) {
        if (const std::wstring* value = FindValue(doc, appName, keyName))
            return QzCopyProfileValue(Unquoted(*value), returnedString, size);
    }
    std::wstring fallback = defaultValue == nullptr ? std::wstring() : std::wstring(defaultValue);
    while (!fallback.empty() && fallback.back() == L' ')
        fallback.pop_back();
    return QzCopyProfileValue(fallback, returnedString, size);
}

std::uint32_t GetPrivateProfileIntW(const wchar_t* appName, const wchar_t* keyName, int defaultValue,
                                    const wchar_t* fileName)
{
    CQZIniDocument doc;
    std::uint32_t encoding = 0;
    if (appName == nullptr || keyName == nullptr || LoadFresh(fileName, doc, encoding) != Load::Loaded)
        return static_cast<std::uint32_t>(defaultValue);
    const std::wstring* value = FindValue(doc, appName, keyName);
    return static_cast<std::uint32_t>(value == nullptr ? defaultValue : QzWtoi(Unquoted(*value).c_str()));
}

std::uint32_t GetPrivateProfileSectionNamesW(wchar_t* returnedBuffer, std::uint32_t size, const wchar_t* fileName)
{
    if (returnedBuffer == nullptr || size == 0)
        return 0;
    CQZIniDocument doc;
    std::uint32_t encoding = 0;
    const bool loaded = LoadFresh(fileName, doc, encoding) == Load::Loaded;
    return QzCopyProfileList(loaded ? SectionNames(doc) : std::wstring(), returnedBuffer, size);
}

std::uint32_t GetPrivateProfileSectionW(const wchar_t* appName, wchar_t* returnedString, std::uint32_t size,
                                        const wchar_t* fileName)
{
    if (returnedString == nullptr || size == 0)
        return 0;
    CQZIniDocument doc;
    std::uint32_t encoding = 0;
    const bool loaded = appName != nullptr && LoadFresh(fileName, doc, encoding) == Load::Loaded;
    return QzCopyProfileList(loaded ? SectionItems(FindSection(doc, appName), false) : std::wstring(),
                             returnedString, size);
}

bool WritePrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName, const wchar_t* value,
                                const wchar_t* fileName)
{
    if (appName == nullptr || BreaksLine(appName) || BreaksLine(keyName) || BreaksLine(value))
        return false;
    CQZIniDocument doc;
    std::uint32_t encoding = kQzIniEncodingAnsi;
    bool utf8Mark = false;
    const Load load = LoadFresh(fileName, doc, encoding, &utf8Mark);
    if (load == Load::Failed)
        return false;
    const bool removing = keyName == nullptr || value == nullptr;
    if (load == Load::Missing && removing)
        return true;  // nothing to remove, and no file to create for it
    std::ptrdiff_t s = doc.sections.Lookup(appName);
    if (keyName == nullptr) {
        if (s >= 0)
            doc.sections.RemoveAt(static_cast<std::size_t>(s));
    } else if (value == nullptr) {
        if (s >= 0)
            doc.sections.At(static_cast<std::size_t>(s)).value.entries.Remove(keyName);
    } else {
        if (s < 0)
            s = static_cast<std::ptrdiff_t>(doc.sections.Append(appName, CQZIniSection{}));
        doc.sections.At(static_cast<std::size_t>(s)).value.entries.Set(keyName, CQZIniValue{value, 0});
    }
    const std::wstring text = CQZIniWriter::Format(doc, doc.hadIncludes, true);
    const std::wstring full = CQZIniFileText::FullName(fileName);
    if (!CQZIniFileText::WriteBytes(full, CQZIniFileText::Encode(text, encoding, utf8Mark)))
        return false;
    // Readers opened later must see the new text, not what the cache kept.
    CQZIniFileCache::Drop(full);
    return true;
}
