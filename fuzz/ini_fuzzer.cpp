// INI text in: decode, parse, save, parse the saved text again, and compare
// the maps. Also drives the reader's buffer rules with tiny buffers.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/IniFileText.h"
#include "config/IniParser.h"
#include "config/IniWriter.h"
#include "config/QZIniFileReader.h"
#include "config/QzStringMap.h"

namespace {

// Header lines, then sections with entries; comments by text only, since
// their numbers are handed out afresh by every parse.
std::vector<std::wstring> Canonical(const CQZIniDocument& doc)
{
    std::vector<std::wstring> lines;
    for (const auto& h : doc.header)
        lines.push_back(L"H" + h.text);
    for (const auto& s : doc.sections.Items()) {
        if (s.value.entries.Empty())
            continue;
        lines.push_back(L"S" + s.key);
        for (const auto& e : s.value.entries.Items())
            lines.push_back(CQZIniDocument::IsCommentKey(e.key) ? L"C" + e.value.text
                                                                 : L"K" + e.key + L"=" + e.value.text);
    }
    return lines;
}

std::wstring Folded(std::wstring text)
{
    for (wchar_t& c : text)
        c = QzFoldCase(c);
    return text;
}

// Sections, keys and values, names without regard to case (a key that a
// dropped line of the main text spelled first is spelled as the include
// spells it) and without order (includes may bring sections earlier).
std::map<std::wstring, std::wstring> Values(const CQZIniDocument& doc)
{
    std::map<std::wstring, std::wstring> values;
    for (const auto& s : doc.sections.Items()) {
        if (s.value.entries.Empty())
            continue;
        values[Folded(L"[" + s.key + L"]")];
        for (const auto& e : s.value.entries.Items()) {
            if (!CQZIniDocument::IsCommentKey(e.key))
                values[Folded(L"[" + s.key + L"]" + e.key)] = e.value.text;
        }
    }
    return values;
}

CQZIniDocument Parse(const std::wstring& text, bool strip, CQZIniIncludeLoader loader = {})
{
    CQZIniDocument doc;
    CQZIniParser(doc, strip, std::move(loader)).Parse(text, L"/fuzz/main.ini");
    return doc;
}

CQZIniIncludeLoader VirtualFiles()
{
    static const std::map<std::wstring, std::shared_ptr<const std::wstring>> files = {
        {L"/fuzz/a.ini", std::make_shared<const std::wstring>(L"[A]\nk=1\nloose\n")},
        {L"/fuzz/b.ini", std::make_shared<const std::wstring>(L"k=2\n; b\n[B]\nj=3\n")},
    };
    return [](const std::wstring& dir, const std::wstring& name, CQZIniIncludeText& out) {
        const std::wstring full = !name.empty() && name[0] == L'/' ? name : dir + name;
        if (full == L"/fuzz/main.ini") {
            out.fullName = full;
            out.text = std::make_shared<const std::wstring>(L"[Main]\n");
            return true;
        }
        auto it = files.find(full);
        if (it == files.end())
            return false;
        out.fullName = full;
        out.text = it->second;
        return true;
    };
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckBuffers(const std::wstring& text)
{
    CQZIniFileReader reader;
    Check(reader.OpenText(text.c_str(), static_cast<int>(text.size())));
    const CQZIniDocument& doc = reader.GetDocument();
    wchar_t buf[4];
    for (std::uint32_t size = 0; size <= 4; ++size) {
        for (std::size_t s = 0; s < doc.sections.Size() && s < 3; ++s) {
            const std::wstring& name = doc.sections.At(s).key;
            for (const wchar_t* key : {static_cast<const wchar_t*>(nullptr), L"k"}) {
                const std::uint32_t n = reader.GetProfileString(name.c_str(), key, L"dflt", buf, size);
                Check(size == 0 ? n == 0 : n < size && buf[n] == 0);
            }
        }
        const std::uint32_t n = reader.GetSectionNames(size == 0 ? nullptr : buf, size);
        Check(size == 0 || n < size);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CQZIniFileBuffer decoded;
    if (!CQZIniFileText::Decode(std::string_view(reinterpret_cast<const char*>(data), size), decoded))
        return 0;

    // Plain saving: whatever was read comes back the same, in every encoding,
    // except that UTF-8 cannot hold the lone surrogates of a UTF-16 file.
    const bool loneSurrogates =
        decoded.encoding != kQzIniEncodingAnsi &&
        std::any_of(decoded.text.begin(), decoded.text.end(), [](wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; });
    for (bool strip : {true, false}) {
        const CQZIniDocument doc = Parse(decoded.text, strip);
        const std::wstring saved = CQZIniWriter::Format(doc, false, strip);
        for (std::uint32_t encoding : {kQzIniEncodingAnsi, kQzIniEncodingUtf16LE, kQzIniEncodingUtf16BE}) {
            if (encoding == kQzIniEncodingAnsi && loneSurrogates)
                continue;
            CQZIniFileBuffer again;
            Check(CQZIniFileText::Decode(CQZIniFileText::Encode(saved, encoding), again));
            Check(Canonical(Parse(again.text, strip)) == Canonical(doc));
        }
    }

    // Include-preserving saving: the same sections, keys and values come back.
    const CQZIniDocument withIncludes = Parse(decoded.text, true, VirtualFiles());
    const std::wstring saved = CQZIniWriter::Format(withIncludes, true, true);
    Check(Values(Parse(saved, true, VirtualFiles())) == Values(withIncludes));

    CheckBuffers(decoded.text);
    return 0;
}
