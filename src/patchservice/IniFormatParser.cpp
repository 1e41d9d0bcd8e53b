#include "patchservice/IniFormatParser.h"

#include "config/ProfileFunctions.h"

#include <cwctype>

CIniFormatParser::CIniFormatParser() = default;

CIniFormatParser::~CIniFormatParser() = default;

void CIniFormatParser::Parse(const std::wstring& text)
{
    std::wstring line;
    for (const wchar_t c : text) {
        if (c == L'\n') {
            ParseLine(std::move(line));
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    // A last line without its line feed is not taken: the answer may be cut.
}

void CIniFormatParser::ParseLine(std::wstring line)
{
    while (!line.empty() && std::iswspace(static_cast<wint_t>(line.back())))
        line.pop_back();
    if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
        currentSection_ = line.substr(1, line.size() - 2);
        haveSection_ = true;
        currentStored_ = false;
        return;
    }
    if (!haveSection_)
        return;
    std::wstring key;
    std::wstring token;
    bool split = false;
    for (const wchar_t c : line) {
        if (c == L'=') {
            key = std::move(token);
            token.clear();
            split = true;
        } else {
            token.push_back(c);
        }
    }
    if (!split)
        return;
    // The section's map replaces an earlier one of the same name only once
    // the section has a key.
    if (!currentStored_) {
        sections_[currentSection_] = KeyMap();
        currentStored_ = true;
    }
    sections_[currentSection_][key] = std::move(token);
}

bool CIniFormatParser::Lookup(const std::wstring& section, const std::wstring& key, std::wstring& value) const
{
    const KeyMap* keys = GetSection(section);
    if (keys == nullptr)
        return false;
    const auto it = keys->find(key);
    if (it == keys->end())
        return false;
    value = it->second;
    return true;
}

const CIniFormatParser::KeyMap* CIniFormatParser::GetSection(const std::wstring& section) const
{
    const auto it = sections_.find(section);
    return it == sections_.end() ? nullptr : &it->second;
}

bool CIniFormatParser::WriteToFile(const std::wstring& path) const
{
    bool written = true;
    for (const auto& [section, keys] : sections_) {
        for (const auto& [key, value] : keys)
            written = WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str()) && written;
    }
    return written;
}
