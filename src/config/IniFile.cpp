#include "config/IniFile.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cwchar>

#include "config/ProfileFunctions.h"
#include "config/QzStringMap.h"

namespace {

std::atomic<bool> g_debugDump{false};

constexpr std::size_t kRectBuffer = 128;
constexpr std::size_t kValueBuffer = 260;
constexpr std::size_t kPointsBuffer = 4096;
constexpr std::uint32_t kSectionNamesBuffer = 8096;

// Up to four numbers, each read after one separator following the previous;
// out of range they saturate at the 32-bit limits, as the 32-bit wcstol of
// the skin's platform does (Linux's is 64-bit).
qz::platform::RECT ParseRect(const std::wstring& text)
{
    int numbers[4] = {0, 0, 0, 0};
    const wchar_t* p = text.c_str();
    for (int i = 0; i < 4 && *p != 0; ++i) {
        wchar_t* end = nullptr;
        numbers[i] = static_cast<int>(std::clamp<long long>(std::wcstoll(p, &end, 10), INT_MIN, INT_MAX));
        if (*end == 0)
            break;
        p = end + 1;
    }
    return qz::platform::RECT{numbers[0], numbers[1], numbers[2], numbers[3]};
}

}  // namespace

CIniFile::CIniFile() = default;
CIniFile::~CIniFile() = default;

void CIniFile::SetFile(const std::wstring& skinFile)
{
    skinFile_ = skinFile;
    dumpFile_ = skinFile;
    if (!skinFile.empty())
        dumpFile_.SetFileName(dumpFile_.GetFileName() + L"_def");
}

void CIniFile::SetFallbackFile(const std::wstring& fallbackFile)
{
    fallbackFile_ = fallbackFile;
}

void CIniFile::SetMissingKeysFile(const std::wstring& missingKeysFile, bool enabled)
{
    missingKeysFile_ = missingKeysFile;
    missingKeysEnabled_ = enabled;
}

void CIniFile::SetDebugDump(bool on)
{
    g_debugDump = on;
}

bool CIniFile::IsDebugDump()
{
    return g_debugDump;
}

bool CIniFile::Read(const wchar_t* section, const wchar_t* key, std::wstring& value, std::size_t bufferSize)
{
    std::vector<wchar_t> buffer(bufferSize, 0);
    const auto size = static_cast<std::uint32_t>(bufferSize);
    std::uint32_t n = GetPrivateProfileStringW(section, key, L"", buffer.data(), size, skinFile_.GetPath().c_str());
    if (n == 0 && !fallbackFile_.GetPath().empty())
        n = GetPrivateProfileStringW(section, key, L"", buffer.data(), size, fallbackFile_.GetPath().c_str());
    value.assign(buffer.data(), n);
    return n != 0;
}

void CIniFile::Dump(const wchar_t* section, const wchar_t* key, const std::wstring& value)
{
    if (g_debugDump && !dumpFile_.GetPath().empty())
        WritePrivateProfileStringW(section, key, value.c_str(), dumpFile_.GetPath().c_str());
}

void CIniFile::MarkMissing(const wchar_t* section, const wchar_t* key)
{
    if (missingKeysEnabled_ && !missingKeysFile_.GetPath().empty())
        WritePrivateProfileStringW(section, key, L"not used", missingKeysFile_.GetPath().c_str());
}

std::wstring CIniFile::GetString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue)
{
    std::wstring value;
    if (!Read(section, key, value, kValueBuffer))
        value = defaultValue == nullptr ? L"" : defaultValue;
    Dump(section, key, value);
    return value;
}

int CIniFile::GetInt(const wchar_t* section, const wchar_t* key, int defaultValue)
{
    int value = defaultValue;
    if (!fallbackFile_.GetPath().empty())
        value = static_cast<int>(GetPrivateProfileIntW(section, key, value, fallbackFile_.GetPath().c_str()));
    value = static_cast<int>(GetPrivateProfileIntW(section, key, value, skinFile_.GetPath().c_str()));
    Dump(section, key, std::to_wstring(value));
    return value;
}

bool CIniFile::FindRect(const wchar_t* section, const std::wstring& key, qz::platform::RECT& rect)
{
    std::wstring value;
    if (!Read(section, key.c_str(), value, kRectBuffer))
        return false;
    rect = ParseRect(value);
    Dump(section, key.c_str(), value);
    return true;
}

bool CIniFile::GetRect(const wchar_t* section, const wchar_t* key, qz::platform::RECT& rect)
{
    if (FindRect(section, key, rect))
        return true;
    rect = qz::platform::RECT{0, 0, 1, 1};
    MarkMissing(section, key);
    Dump(section, key, L"0,0,1,1");
    return false;
}

bool CIniFile::GetControlRect(const wchar_t* section, const wchar_t* prefix, const wchar_t* name,
                              const wchar_t* kindPrefix, const wchar_t* defaultPrefix, qz::platform::RECT& rect)
{
    const std::wstring control = name == nullptr ? L"" : name;
    const std::wstring first = std::wstring(prefix == nullptr ? L"" : prefix) + control;
    if (FindRect(section, first, rect) || FindRect(section, kindPrefix + control, rect) ||
        FindRect(L"Default", std::wstring(defaultPrefix == nullptr ? L"" : defaultPrefix) + control, rect))
        return true;
    rect = qz::platform::RECT{0, 0, 1, 1};
    MarkMissing(section, first.c_str());
    Dump(section, first.c_str(), L"0,0,1,1");
    return false;
}

bool CIniFile::GetButtonRect(const wchar_t* section, const wchar_t* prefix, const wchar_t* name,
                             const wchar_t* defaultPrefix, qz::platform::RECT& rect)
{
    return GetControlRect(section, prefix, name, L"Btn", defaultPrefix, rect);
}

bool CIniFile::GetStaticRect(const wchar_t* section, const wchar_t* prefix, const wchar_t* name,
                             const wchar_t* defaultPrefix, qz::platform::RECT& rect)
{
    return GetControlRect(section, prefix, name, L"STAT", defaultPrefix, rect);
}

void CIniFile::GetFont(const wchar_t* section, LOGFONTW& font, FontVariant variant, bool bold)
{
    font = LOGFONTW{};
    const bool large = variant == FontVariant::Large;
    std::wstring value;
    font.lfHeight = large ? -11 : -10;
    if (Read(section, L"Font_Height", value, kRectBuffer)) {
        // Negated in 64 bits: -INT_MIN wraps to INT_MIN as on the 32-bit platform, without overflow.
        font.lfHeight = static_cast<std::int32_t>(-static_cast<std::int64_t>(ParseRect(value).left));
        Dump(section, L"Font_Height", value);
    } else {
        Dump(section, L"Font_Height", std::to_wstring(-font.lfHeight));
    }
    std::wstring face = GetString(section, L"Font_Name", L"Arial");
    face.resize(std::min<std::size_t>(face.size(), 31));
    std::wmemcpy(font.lfFaceName, face.c_str(), face.size() + 1);
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    font.lfQuality = large ? CLEARTYPE_QUALITY : ANTIALIASED_QUALITY;
    font.lfPitchAndFamily = large ? static_cast<std::uint8_t>(VARIABLE_PITCH | FF_SWISS) : DEFAULT_PITCH;
}

std::vector<qz::platform::POINT> CIniFile::GetPoints(const wchar_t* section, const wchar_t* key)
{
    std::vector<qz::platform::POINT> points;
    std::wstring value;
    if (!Read(section, key, value, kPointsBuffer))
        return points;
    Dump(section, key, value);
    std::size_t commas = 0;
    for (wchar_t c : value)
        commas += c == L',' ? 1 : 0;
    points.resize((commas + 1) / 2);
    wchar_t* state = nullptr;
    wchar_t* piece = std::wcstok(value.data(), L",", &state);
    for (auto& point : points) {
        int* coordinates[2] = {&point.x, &point.y};
        for (int* c : coordinates) {
            if (piece == nullptr)
                break;
            std::swscanf(piece, L"%i", c);
            piece = std::wcstok(nullptr, L",", &state);
        }
    }
    return points;
}

bool CIniFile::SectionExists(const wchar_t* section)
{
    if (section == nullptr)
        return false;
    std::vector<wchar_t> names(kSectionNamesBuffer, 0);
    for (const QzOSAL::QzPath* file : {&skinFile_, &fallbackFile_}) {
        if (file->GetPath().empty())
            continue;
        GetPrivateProfileSectionNamesW(names.data(), kSectionNamesBuffer, file->GetPath().c_str());
        for (const wchar_t* name = names.data(); *name != 0; name += std::wcslen(name) + 1) {
            if (QzEqualsNoCase(name, section))
                return true;
        }
    }
    return false;
}
