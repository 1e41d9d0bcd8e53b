#include "config/QZIniFileReader.h"

#include <cwchar>

#include "config/IniFileCache.h"
#include "config/IniNumbers.h"
#include "config/IniParser.h"
#include "config/IniWriter.h"
#include "config/ProfileBuffer.h"
#include "osal/QzPath.h"
#include "platform/CodePage.h"
#include "platform/ShellPath.h"

struct CQZIniFileReader::State {
    std::wstring fileName;
    std::wstring directory;
    std::wstring fullName;  // saves go here even if the current folder changes
    std::uint32_t encoding = kEncodingUnknown;
    bool utf8Mark = false;
    bool opened = false;
    bool plainSave = false;
    bool modified = false;
    QzSecurityAttributes securityAttributes;
    bool hasSecurityAttributes = false;
    CQZIniDocument document;
    wchar_t buffer[kStringBufferSize] = {};
    bool usesCache = false;
};

namespace {

std::wstring_view Text(const wchar_t* text)
{
    return text == nullptr ? std::wstring_view() : std::wstring_view(text);
}

bool IsRooted(const std::wstring& name)
{
    return !name.empty() && qz::platform::IsPathSeparator(name[0]);
}

// A line end inside a name or value would read back as more lines.
bool BreaksLine(const wchar_t* text)
{
    return text != nullptr && std::wcspbrk(text, L"\r\n") != nullptr;
}

}  // namespace

CQZIniFileReader::CQZIniFileReader(const QzSecurityAttributes* securityAttributes) : state_(new State)
{
    if (securityAttributes != nullptr) {
        state_->securityAttributes = *securityAttributes;
        state_->hasSecurityAttributes = true;
    }
}

CQZIniFileReader::~CQZIniFileReader()
{
    if (state_->opened && state_->modified)
        Save();
    if (state_->usesCache)
        CQZIniFileCache::Release();
}

bool CQZIniFileReader::ParseText(std::wstring_view text, const std::wstring& fileName)
{
    State& st = *state_;
    auto loader = [&st](const std::wstring& directory, const std::wstring& name, CQZIniIncludeText& out) {
        const std::wstring full = CQZIniFileText::FullName(IsRooted(name) ? name : directory + name);
        if (!CQZIniFileText::Exists(full))
            return false;
        if (!st.usesCache) {
            CQZIniFileCache::AddRef();
            st.usesCache = true;
        }
        std::shared_ptr<const CBuffer> buffer = CQZIniFileCache::Get(full);
        if (!buffer)
            return false;
        out.fullName = full;
        out.text = std::shared_ptr<const std::wstring>(buffer, &buffer->text);
        return true;
    };
    CQZIniParser parser(st.document, stripQuotes_, loader);
    parser.Parse(text, fileName);
    st.opened = true;
    return true;
}

bool CQZIniFileReader::OpenText(const wchar_t* text, int length)
{
    if (state_->opened)
        return true;
    if (text == nullptr)
        return false;
    const std::wstring_view view = length < 0 ? std::wstring_view(text) : std::wstring_view(text, length);
    state_->encoding = kEncodingUtf16LE;
    return ParseText(view, std::wstring());
}

bool CQZIniFileReader::OpenAnsiText(const char* text, int length)
{
    if (state_->opened)
        return true;
    if (text == nullptr)
        return false;
    const std::string_view view = length < 0 ? std::string_view(text) : std::string_view(text, length);
    state_->encoding = kEncodingAnsi;
    return ParseText(qz::platform::WideFromAnsiBytes(view), std::wstring());
}

bool CQZIniFileReader::Open(const wchar_t* fileName)
{
    State& st = *state_;
    if (st.opened) {
        st.document.Clear();
        st.fileName.clear();
        st.directory.clear();
        st.fullName.clear();
        st.encoding = kEncodingUnknown;
        st.utf8Mark = false;
        st.opened = false;
        st.modified = false;
    }
    if (fileName == nullptr) {
        st.opened = true;
        return true;
    }
    st.fileName = fileName;
    st.directory = QzOSAL::QzPath(st.fileName).GetFolder();
    const std::wstring full = CQZIniFileText::FullName(st.fileName);
    st.fullName = full;
    if (!CQZIniFileText::Exists(full)) {
        st.opened = true;
        return true;
    }
    if (!st.usesCache) {
        CQZIniFileCache::AddRef();
        st.usesCache = true;
    }
    const std::shared_ptr<const CBuffer> buffer = CQZIniFileCache::Get(full);
    if (!buffer) {
        st.fileName.clear();
        st.directory.clear();
        st.fullName.clear();
        return false;
    }
    if (st.encoding == kEncodingUnknown) {
        st.encoding = buffer->encoding;
        st.utf8Mark = buffer->utf8Mark;
    }
    return ParseText(buffer->text, full);
}

bool CQZIniFileReader::IsOpen() const
{
    return state_->opened;
}

bool CQZIniFileReader::IsLoaded() const
{
    return state_->opened;
}

const wchar_t* CQZIniFileReader::GetFileName() const
{
    return state_->opened ? state_->fileName.c_str() : nullptr;
}

const wchar_t* CQZIniFileReader::GetDirectory() const
{
    return state_->opened ? state_->directory.c_str() : nullptr;
}

bool CQZIniFileReader::Merge(const CQZIniFileReader& other)
{
    if (!state_->opened || !other.state_->opened)
        return false;
    state_->modified = true;
    if (&other == this)
        return true;
    CQzStringMap<CQZIniSection>& mine = state_->document.sections;
    for (const auto& theirs : other.state_->document.sections.Items()) {
        if (theirs.value.entries.Empty())
            continue;
        std::ptrdiff_t pos = mine.Lookup(theirs.key);
        if (pos < 0)
            pos = static_cast<std::ptrdiff_t>(mine.Append(theirs.key, CQZIniSection{}));
        CQZIniSection& target = mine.At(static_cast<std::size_t>(pos)).value;
        for (const auto& entry : theirs.value.entries.Items())
            target.entries.Set(entry.key, CQZIniValue{entry.value.text, 0});
    }
    return true;
}

bool CQZIniFileReader::Save(const QzSecurityAttributes* /*securityAttributes*/, std::uint32_t encoding,
                            const wchar_t* fileName, bool force)
{
    State& st = *state_;
    if (!st.opened)
        return false;
    if (!st.modified && !force)
        return true;
    std::wstring target;
    if (fileName == nullptr) {
        target = st.fullName;
    } else {
        target = fileName;
        if (!IsRooted(target))
            target = CQZIniParser::DirectoryOf(st.fullName) + target;
    }
    if (target.empty())
        return false;
    if (encoding == kEncodingUnknown)
        encoding = st.encoding == kEncodingUnknown ? kEncodingUtf16LE : st.encoding;
    if (encoding > kEncodingUtf16BE)
        return false;
    const bool preserveIncludes = st.document.hadIncludes && !st.plainSave;
    const std::wstring text = CQZIniWriter::Format(st.document, preserveIncludes, stripQuotes_);
    const std::wstring full = CQZIniFileText::FullName(target);
    if (!CQZIniFileText::WriteBytes(full, CQZIniFileText::Encode(text, encoding, st.utf8Mark)))
        return false;
    // Our own write must not be hidden by the text cached before it.
    CQZIniFileCache::Drop(full);
    st.modified = false;
    return true;
}

std::uint32_t CQZIniFileReader::GetEncoding() const
{
    return state_->encoding;
}

const std::wstring* CQZIniFileReader::FindValue(const wchar_t* section, const wchar_t* key) const
{
    const CQzStringMap<CQZIniSection>& sections = state_->document.sections;
    const std::ptrdiff_t s = sections.Lookup(Text(section));
    if (s < 0)
        return nullptr;
    const CQZIniSection& sec = sections.At(static_cast<std::size_t>(s)).value;
    const std::ptrdiff_t k = sec.entries.Lookup(Text(key));
    return k < 0 ? nullptr : &sec.entries.At(static_cast<std::size_t>(k)).value.text;
}

std::wstring CQZIniFileReader::Unquoted(const std::wstring& value) const
{
    if (stripQuotes_ && value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        return qz::platform::AnsiDisplayText(std::wstring_view(value).substr(1, value.size() - 2));
    return qz::platform::AnsiDisplayText(value);
}

std::wstring CQZIniFileReader::ListSectionNames() const
{
    std::wstring list;
    for (const auto& section : state_->document.sections.Items()) {
        list += qz::platform::AnsiDisplayText(section.key);
        list += L'\0';
    }
    return list;
}

std::wstring CQZIniFileReader::ListKeys(const wchar_t* section) const
{
    std::wstring list;
    const CQzStringMap<CQZIniSection>& sections = state_->document.sections;
    const std::ptrdiff_t s = sections.Lookup(Text(section));
    if (s < 0)
        return list;
    for (const auto& entry : sections.At(static_cast<std::size_t>(s)).value.entries.Items()) {
        if (CQZIniDocument::IsCommentKey(entry.key))
            continue;
        list += qz::platform::AnsiDisplayText(entry.key);
        list += L'\0';
    }
    return list;
}

std::uint32_t CQZIniFileReader::GetStringBuffered(const wchar_t* section, const wchar_t* key,
                                                  const wchar_t* defaultValue, std::wstring& out)
{
    const std::uint32_t n = GetProfileString(section, key, defaultValue, state_->buffer, kStringBufferSize);
    out.assign(state_->buffer, n);
    return n;
}

bool CQZIniFileReader::GetString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                                 std::wstring& out)
{
    if (!state_->opened) {
        out = Text(defaultValue);
    } else if (section == nullptr) {
        out = ListSectionNames();
    } else if (key == nullptr) {
        out = ListKeys(section);
    } else if (const std::wstring* value = FindValue(section, key)) {
        out = Unquoted(*value);
    } else {
        out = Text(defaultValue);
    }
    return true;
}

std::uint32_t CQZIniFileReader::GetProfileString(const wchar_t* section, const wchar_t* key,
                                                 const wchar_t* defaultValue, wchar_t* buffer, std::uint32_t size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    if (!state_->opened)
        return QzCopyProfileValue(Text(defaultValue), buffer, size);
    if (section == nullptr)
        return QzCopyProfileList(ListSectionNames(), buffer, size);
    if (key == nullptr)
        return QzCopyProfileList(ListKeys(section), buffer, size);
    if (const std::wstring* value = FindValue(section, key))
        return QzCopyProfileValue(Unquoted(*value), buffer, size);
    return QzCopyProfileValue(Text(defaultValue), buffer, size);
}

int CQZIniFileReader::GetProfileInt(const wchar_t* section, const wchar_t* key, int defaultValue)
{
    if (!state_->opened || section == nullptr || key == nullptr)
        return defaultValue;
    const std::wstring* value = FindValue(section, key);
    return value == nullptr ? defaultValue : QzWtoi(Unquoted(*value).c_str());
}

bool CQZIniFileReader::WriteProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    State& st = *state_;
    if (!st.opened || section == nullptr || BreaksLine(section) || BreaksLine(key) || BreaksLine(value))
        return false;
    CQzStringMap<CQZIniSection>& sections = st.document.sections;
    std::ptrdiff_t s = sections.Lookup(section);
    if (key == nullptr) {
        if (s >= 0)
            sections.RemoveAt(static_cast<std::size_t>(s));
    } else if (value == nullptr) {
        if (s >= 0)
            sections.At(static_cast<std::size_t>(s)).value.entries.Remove(key);
    } else {
        if (s < 0)
            s = static_cast<std::ptrdiff_t>(sections.Append(section, CQZIniSection{}));
        sections.At(static_cast<std::size_t>(s)).value.entries.Set(key, CQZIniValue{value, 0});
    }
    st.modified = true;
    return true;
}

std::uint32_t CQZIniFileReader::GetSectionNames(wchar_t* buffer, std::uint32_t size)
{
    return QzCopyProfileList(state_->opened ? ListSectionNames() : std::wstring(), buffer, size);
}

std::uint32_t CQZIniFileReader::GetSection(const wchar_t* section, wchar_t* buffer, std::uint32_t size)
{
    std::wstring list;
    const CQzStringMap<CQZIniSection>& sections = state_->document.sections;
    const std::ptrdiff_t s = state_->opened ? sections.Lookup(Text(section)) : -1;
    if (s >= 0) {
        for (const auto& entry : sections.At(static_cast<std::size_t>(s)).value.entries.Items()) {
            if (CQZIniDocument::IsCommentKey(entry.key))
                continue;
            list += qz::platform::AnsiDisplayText(entry.key + L'=' + entry.value.text);
            list += L'\0';
        }
    }
    return QzCopyProfileList(list, buffer, size);
}

bool CQZIniFileReader::WriteProfileSection(const wchar_t* section, const wchar_t* items)
{
    State& st = *state_;
    if (!st.opened || section == nullptr || items == nullptr || items[0] == 0 || BreaksLine(section))
        return false;
    for (const wchar_t* item = items; *item != 0; item += std::wcslen(item) + 1) {
        if (BreaksLine(item))
            return false;
    }
    CQzStringMap<CQZIniSection>& sections = st.document.sections;
    std::ptrdiff_t s = sections.Lookup(section);
    if (s < 0)
        s = static_cast<std::ptrdiff_t>(sections.Append(section, CQZIniSection{}));
    CQZIniSection& target = sections.At(static_cast<std::size_t>(s)).value;
    for (const wchar_t* item = items; *item != 0; item += std::wcslen(item) + 1) {
        const std::wstring_view line(item);
        const std::size_t eq = line.find(L'=');
        if (eq == 0 || eq == std::wstring_view::npos) {
            // Like a line of a file without a key: kept as a comment.
            target.entries.Set(st.document.NextCommentKey(), CQZIniValue{std::wstring(line), 0});
            continue;
        }
        target.entries.Set(line.substr(0, eq), CQZIniValue{std::wstring(line.substr(eq + 1)), 0});
    }
    st.modified = true;
    return true;
}

void CQZIniFileReader::SetStripQuotes(bool strip)
{
    stripQuotes_ = strip;
}

bool CQZIniFileReader::HasSection(const wchar_t* section) const
{
    return state_->document.sections.Lookup(Text(section)) >= 0;
}

bool CQZIniFileReader::HasKey(const wchar_t* section, const wchar_t* key) const
{
    const CQzStringMap<CQZIniSection>& sections = state_->document.sections;
    const std::ptrdiff_t s = sections.Lookup(Text(section));
    if (s < 0)
        return false;
    const CQZIniSection& sec = sections.At(static_cast<std::size_t>(s)).value;
    if (key == nullptr || key[0] == 0)
        return !sec.entries.Empty();
    return sec.entries.Lookup(key) >= 0;
}

void CQZIniFileReader::SetPlainSave(bool plain)
{
    state_->plainSave = plain;
}

bool CQZIniFileReader::IsPlainSave() const
{
    return state_->plainSave;
}

bool CQZIniFileReader::IsModified() const
{
    return state_->modified;
}

std::wstring CQZIniFileReader::GetOrigin(const wchar_t* section, const wchar_t* key) const
{
    return state_->document.OriginOf(Text(section), Text(key));
}

const CQZIniDocument& CQZIniFileReader::GetDocument() const
{
    return state_->document;
}

void CQZIniFileReader::ClearCache(bool immediately)
{
    if (immediately)
        CQZIniFileCache::Clear();
    else
        CQZIniFileCache::MarkForClearing();
}
