// A server answer in INI form, held as sections of key/value pairs.
#pragma once

#include <map>
#include <string>

class CIniFormatParser {
public:
    using KeyMap = std::map<std::wstring, std::wstring>;

    CIniFormatParser();
    virtual ~CIniFormatParser();

    /// Reads `text`. Only lines ended by a line feed count; a line without
    /// "=" and a key line before any section header are ignored. In a line
    /// with several "=" the key is the text before the last one.
    void Parse(const std::wstring& text);

    /// The value of `key` in `section`; false when either is missing.
    bool Lookup(const std::wstring& section, const std::wstring& key, std::wstring& value) const;

    /// The keys of `section`, or null when it has none.
    const KeyMap* GetSection(const std::wstring& section) const;

    /// Writes every pair into the INI file at `path` through the profile
    /// functions; false when a write fails.
    bool WriteToFile(const std::wstring& path) const;

private:
    void ParseLine(std::wstring line);

    std::map<std::wstring, KeyMap> sections_;
    std::wstring currentSection_;
    bool haveSection_ = false;
    bool currentStored_ = false;
};
