// Helpers shared by the configuration tests: a scratch folder and a view of
// a parsed document that ignores what saving may renumber.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/IniDocument.h"
#include "config/QZIniFileReader.h"
#include "support/FileText.h"
#include "support/TempFolder.h"

namespace qz::test {

/// A fresh temporary folder for INI files.
class ScratchDir : public TempFolder {
public:
    ScratchDir() : TempFolder("qzini") {}

    /// Full name of a file in the folder, as a wide string.
    std::wstring File(const std::string& name) const { return (path() / name).wstring(); }
    std::string Narrow(const std::string& name) const { return (path() / name).string(); }

    /// Writes raw bytes to a file in the folder.
    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream out(path() / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string Read(const std::string& name) const { return ReadText(path() / name); }

    const std::filesystem::path& Path() const { return path(); }
};

/// What a buffered lookup gave, as "count:text in the buffer".
inline std::wstring Got(std::uint32_t count, const wchar_t* buffer)
{
    return std::to_wstring(count) + L":" + buffer;
}

/// A value, or a list when key or section is null, as GetString gives it.
inline std::wstring Value(CQZIniFileReader& reader, const wchar_t* section, const wchar_t* key,
                          const wchar_t* defaultValue = L"<none>")
{
    std::wstring out;
    reader.GetString(section, key, defaultValue, out);
    return out;
}

/// Latin-1 text as UTF-16 bytes with a byte-order mark.
inline std::string Utf16Bytes(const std::string& latin1, bool bigEndian = false)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : latin1) {
        bytes += bigEndian ? '\0' : c;
        bytes += bigEndian ? c : '\0';
    }
    return bytes;
}

/// The maps as lines: header lines, then each section with entries and its
/// entries; comment entries show their text only, since their numbers are
/// handed out again on every parse. Empty sections are left out: saving
/// drops them.
inline std::vector<std::wstring> Canonical(const CQZIniDocument& doc)
{
    std::vector<std::wstring> lines;
    for (const auto& h : doc.header)
        lines.push_back(L"H:" + h.text);
    for (const auto& s : doc.sections.Items()) {
        if (s.value.entries.Empty())
            continue;
        lines.push_back(L"S:" + s.key);
        for (const auto& e : s.value.entries.Items()) {
            if (CQZIniDocument::IsCommentKey(e.key))
                lines.push_back(L"C:" + e.value.text);
            else
                lines.push_back(L"K:" + e.key + L"=" + e.value.text);
        }
    }
    return lines;
}

}  // namespace qz::test
