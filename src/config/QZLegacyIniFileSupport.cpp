#include "config/QZLegacyIniFileSupport.h"

#include <atomic>
#include <cmath>
#include <cwchar>
#include <mutex>
#include <string>

#include "config/IniNumbers.h"
#include "config/ProfileFunctions.h"
#include "config/QZIniFileReader.h"
#include "platform/ORLFont.h"

namespace {

std::atomic<std::uint8_t> g_defaultCharSet{DEFAULT_CHARSET};
std::atomic<bool> g_tavorFontsEnabled{true};

struct FontQueries {
    std::mutex lock;
    std::function<bool(const wchar_t*)> isTavorFont;
    std::function<bool()> isAvailable;
};

FontQueries& Queries()
{
    static FontQueries* queries = new FontQueries;
    return *queries;
}

// Copies at most kBufferSize - 1 characters and a terminator.
void CopyText(wchar_t* out, const wchar_t* text)
{
    std::size_t n = 0;
    for (; text[n] != 0 && n + 1 < CQZLegacyIniFileSupport::kBufferSize; ++n)
        out[n] = text[n];
    out[n] = 0;
}

void CommasToBlanks(wchar_t* text)
{
    for (; *text != 0; ++text) {
        if (*text == L',')
            *text = L' ';
    }
}

bool FaceUsable(const wchar_t* face)
{
    std::function<bool(const wchar_t*)> isTavorFont;
    std::function<bool()> isAvailable;
    {
        FontQueries& q = Queries();
        std::lock_guard<std::mutex> guard(q.lock);
        isTavorFont = q.isTavorFont;
        isAvailable = q.isAvailable;
    }
    const bool tavor = isTavorFont ? isTavorFont(face) : CORLFont::IsTavorFont(face);
    if (!tavor)
        return true;
    const bool available = isAvailable ? isAvailable() : CORLFont::IsTavorFontAvailable();
    return available && g_tavorFontsEnabled;
}

}  // namespace

CQZLegacyIniFileSupport::CQZLegacyIniFileSupport() = default;
CQZLegacyIniFileSupport::~CQZLegacyIniFileSupport() = default;

void CQZLegacyIniFileSupport::SetPathPrefix(const wchar_t* prefix)
{
    CopyText(pathPrefix_, prefix == nullptr ? L"" : prefix);
}

void CQZLegacyIniFileSupport::GetPathPrefix(wchar_t* out) const
{
    if (out != nullptr)
        CopyText(out, pathPrefix_);
}

void CQZLegacyIniFileSupport::SetDefaults(const wchar_t* fileName, const wchar_t* section)
{
    CopyText(defaultFile_, fileName == nullptr ? L"" : fileName);
    CopyText(defaultSection_, section == nullptr ? L"" : section);
}

CQZIniFileReader* CQZLegacyIniFileSupport::AttachReader(CQZIniFileReader* reader)
{
    CQZIniFileReader* before = reader_;
    reader_ = reader;
    return before;
}

void CQZLegacyIniFileSupport::SetDefaultCharSet(std::uint8_t charSet)
{
    g_defaultCharSet = charSet;
}

std::uint8_t CQZLegacyIniFileSupport::GetDefaultCharSet()
{
    return g_defaultCharSet;
}

void CQZLegacyIniFileSupport::SetTavorFontsEnabled(bool enabled)
{
    g_tavorFontsEnabled = enabled;
}

void CQZLegacyIniFileSupport::SetTavorFontQueries(std::function<bool(const wchar_t*)> isTavorFont,
                                                  std::function<bool()> isAvailable)
{
    FontQueries& q = Queries();
    std::lock_guard<std::mutex> guard(q.lock);
    q.isTavorFont = std::move(isTavorFont);
    q.isAvailable = std::move(isAvailable);
}

bool CQZLegacyIniFileSupport::Lookup(wchar_t* value, const wchar_t* defaultValue, const wchar_t* key,
                                     const wchar_t* section, const wchar_t* fileName,
                                     const wchar_t* fallbackSection)
{
    CopyText(value, defaultValue);
    if (key[0] == 0)
        return false;
    const wchar_t* file = fileName[0] != 0 ? fileName : defaultFile_;
    const wchar_t* sec = section[0] != 0 ? section : defaultSection_;
    if (file[0] == 0)
        return false;
    auto read = [&](const wchar_t* from) {
        const auto size = static_cast<std::uint32_t>(kBufferSize);
        const std::uint32_t n = reader_ != nullptr
                                    ? reader_->GetProfileString(from, key, L"", value, size)
                                    : GetPrivateProfileStringW(from, key, L"", value, size, file);
        return n != 0 && value[0] != 0;
    };
    if (sec[0] != 0 && read(sec))
        return true;
    if (fallbackSection[0] != 0 && read(fallbackSection))
        return true;
    CopyText(value, defaultValue);
    return false;
}

bool CQZLegacyIniFileSupport::GetPath(wchar_t* out, const wchar_t* prefix, const wchar_t* defaultValue,
                                      const wchar_t* key, const wchar_t* section, const wchar_t* fileName,
                                      const wchar_t* fallbackSection)
{
    if (!out || !prefix || !defaultValue || !key || !section || !fileName || !fallbackSection)
        return false;
    wchar_t value[kBufferSize];
    const bool found = Lookup(value, defaultValue, key, section, fileName, fallbackSection);
    const std::wstring path = std::wstring(prefix[0] != 0 ? prefix : pathPrefix_) + value;
    CopyText(out, path.c_str());
    return found;
}

bool CQZLegacyIniFileSupport::GetRect(qz::platform::RECT* rect, const wchar_t* defaultValue, const wchar_t* key,
                                      const wchar_t* section, const wchar_t* fileName,
                                      const wchar_t* fallbackSection)
{
    if (!rect || !defaultValue || !key || !section || !fileName || !fallbackSection)
        return false;
    wchar_t value[kBufferSize];
    const bool found = Lookup(value, defaultValue, key, section, fileName, fallbackSection);
    CommasToBlanks(value);
    int n[4] = {0, 0, 0, 0};
    const int read = std::swscanf(value, L"%d %d %d %d", &n[0], &n[1], &n[2], &n[3]);
    *rect = qz::platform::RECT{n[0], n[1], n[2], n[3]};
    return found && read == 4;
}

bool CQZLegacyIniFileSupport::GetColor(QzColorRef* color, const wchar_t* defaultValue, const wchar_t* key,
                                       const wchar_t* section, const wchar_t* fileName,
                                       const wchar_t* fallbackSection)
{
    if (!color || !defaultValue || !key || !section || !fileName || !fallbackSection)
        return false;
    wchar_t value[kBufferSize];
    const bool found = Lookup(value, defaultValue, key, section, fileName, fallbackSection);
    CommasToBlanks(value);
    int rgb[3] = {0, 0, 0};
    const int read = std::swscanf(value, L"%d %d %d", &rgb[0], &rgb[1], &rgb[2]);
    // The RGB layout: each component is one byte.
    *color = (static_cast<QzColorRef>(rgb[0]) & 0xFF) | ((static_cast<QzColorRef>(rgb[1]) & 0xFF) << 8) |
             ((static_cast<QzColorRef>(rgb[2]) & 0xFF) << 16);
    return found && read == 3;
}

bool CQZLegacyIniFileSupport::GetInt(std::int32_t* result, std::int32_t defaultValue, const wchar_t* key,
                                     const wchar_t* section, const wchar_t* fileName,
                                     const wchar_t* fallbackSection)
{
    if (!result || !key || !section || !fileName || !fallbackSection)
        return false;
    const std::wstring defaultText = std::to_wstring(defaultValue);
    wchar_t value[kBufferSize];
    const bool found = Lookup(value, defaultText.c_str(), key, section, fileName, fallbackSection);
    CommasToBlanks(value);
    *result = QzWtoi(value);
    return found;
}

bool CQZLegacyIniFileSupport::ReadFont(LOGFONTW& font, const wchar_t* defaultFace, const wchar_t* defaultDescription,
                                       const wchar_t* faceKey, const wchar_t* descriptionKey, const wchar_t* section,
                                       const wchar_t* fileName, const wchar_t* fallbackSection)
{
    font = LOGFONTW{};
    wchar_t face[kBufferSize];
    const bool faceFound = Lookup(face, defaultFace, faceKey, section, fileName, fallbackSection);
    const wchar_t* start = face;
    while (*start == L' ' || *start == L'\t')
        ++start;
    std::wcsncpy(font.lfFaceName, start, 31);
    font.lfFaceName[31] = 0;

    wchar_t description[kBufferSize];
    const bool descriptionFound =
        Lookup(description, defaultDescription, descriptionKey, section, fileName, fallbackSection);
    CommasToBlanks(description);
    float size = 0;
    int weight = 0, italic = 0, underline = 0, noAntialiasing = 1, charSet = 0, quality = -1;
    // The size is read the same under any LC_NUMERIC a host may have set.
    const wchar_t* rest = QzReadFloat(description, size);
    if (rest != description)
        std::swscanf(rest, L"%d %d %d %d %d %d", &weight, &italic, &underline, &noAntialiasing, &charSet,
                     &quality);
    // A size beyond the range of a height is no size at all.
    font.lfHeight = std::isfinite(size) && std::fabs(size) < 2147483520.0f ? static_cast<std::int32_t>(size) : 0;
    font.lfWeight = weight;
    font.lfItalic = italic != 0 ? 1 : 0;
    font.lfUnderline = underline != 0 ? 1 : 0;
    if (noAntialiasing != 0)
        font.lfQuality = NONANTIALIASED_QUALITY;
    if (quality >= 0)
        font.lfQuality = static_cast<std::uint8_t>(quality);
    font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    font.lfCharSet = charSet != 0 ? static_cast<std::uint8_t>(charSet) : g_defaultCharSet.load();
    return faceFound && descriptionFound;
}

bool CQZLegacyIniFileSupport::GetFont(LOGFONTW* font, const wchar_t* defaultFace, const wchar_t* defaultDescription,
                                      const wchar_t* faceKey, const wchar_t* descriptionKey, const wchar_t* section,
                                      const wchar_t* fileName, const wchar_t* fallbackSection)
{
    if (!font || !defaultFace || !defaultDescription || !faceKey || !descriptionKey || !section || !fileName ||
        !fallbackSection)
        return false;
    LOGFONTW candidate;
    if (!ReadFont(candidate, defaultFace, defaultDescription, faceKey, descriptionKey, section, fileName,
                  fallbackSection))
        return false;
    if (!FaceUsable(candidate.lfFaceName)) {
        const std::wstring altFace = std::wstring(faceKey) + L".alternative";
        const std::wstring altDescription = std::wstring(descriptionKey) + L".alternative";
        if (!ReadFont(candidate, defaultFace, defaultDescription, altFace.c_str(), altDescription.c_str(), section,
                      fileName, fallbackSection))
            return false;
    }
    *font = candidate;
    return true;
}
