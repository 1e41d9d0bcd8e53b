#include "config/IniWriter.h"

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/IniParser.h"

namespace {

constexpr const wchar_t* kEol = L"\r\n";

bool NeedsQuotes(const std::wstring& value)
{
    if (value.empty())
        return false;
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        return true;
    return CQZIniParser::IsInlineSpace(value.front()) || CQZIniParser::IsInlineSpace(value.back());
}

// Writes the maps. In include-preserving mode the includes of the main text
// are written in their original order, each where its first remaining item
// would stand; an entry of the main text that an include still to come would
// overwrite on reading is held back and written at the end.
class Emitter {
public:
    Emitter(const CQZIniDocument& doc, bool preserve, bool quote) : doc_(doc), preserve_(preserve), quote_(quote)
    {
        if (preserve_)
            PrepareIncludes();
    }

    std::wstring Run()
    {
        for (const CQZIniHeaderLine& line : doc_.header) {
            if (FromInclude(line.origin))
                continue;
            out_ += line.text;
            out_ += kEol;
        }
        if (!doc_.header.empty())
            out_ += kEol;
        const auto& sections = doc_.sections.Items();
        for (std::size_t s = 0; s < sections.size(); ++s) {
            const CQZIniSection& section = sections[s].value;
            if (section.entries.Empty())
                continue;
            if (!FromInclude(section.origin))
                WriteHeader(s);
            for (std::size_t e = 0; e < section.entries.Size(); ++e) {
                const auto& entry = section.entries.At(e);
                if (FromInclude(entry.value.origin))
                    continue;
                if (OverwrittenLater(sections[s].key, entry.key)) {
                    held_.emplace_back(s, e);
                    continue;
                }
                WriteEntry(s, entry);
            }
            out_ += kEol;
        }
        if (!held_.empty()) {
            for (const auto& [s, e] : held_)
                WriteEntry(s, doc_.sections.At(s).value.entries.At(e));
            out_ += kEol;
        }
        return std::move(out_);
    }

private:
    using Entry = CQzStringMap<CQZIniValue>::Item;

    void PrepareIncludes()
    {
        // Only includes that still own an item are written.
        live_.assign(doc_.origins.size(), false);
        auto mark = [this](std::uint32_t origin) {
            if (origin != 0 && origin < doc_.origins.size())
                live_[doc_.origins[origin].top] = true;
        };
        for (const auto& line : doc_.header)
            mark(line.origin);
        for (const auto& section : doc_.sections.Items()) {
            if (section.value.entries.Empty())
                continue;
            mark(section.value.origin);
            for (const auto& entry : section.value.entries.Items())
                mark(entry.value.origin);
        }
        for (std::uint32_t top = 1; top < doc_.origins.size(); ++top) {
            if (!live_[top])
                continue;
            for (const std::wstring& key : doc_.origins[top].touched) {
                std::uint32_t& last = lastToucher_[key];
                last = std::max(last, top);
            }
        }
    }

    bool OverwrittenLater(const std::wstring& section, const std::wstring& key) const
    {
        if (!preserve_ || lastToucher_.empty())
            return false;
        const auto it = lastToucher_.find(QzIniTouchKey(section, key));
        return it != lastToucher_.end() && it->second > emittedUpTo_;
    }

    // True for an item of an include (not written); its include line and
    // those of all earlier includes are written first.
    bool FromInclude(std::uint32_t origin)
    {
        if (!preserve_ || origin == 0 || origin >= doc_.origins.size())
            return false;
        const std::uint32_t top = doc_.origins[origin].top;
        while (emittedUpTo_ < top) {
            ++emittedUpTo_;
            if (live_[emittedUpTo_])
                WriteInclude(doc_.origins[emittedUpTo_]);
        }
        return true;
    }

    void WriteInclude(const CQZIniOrigin& include)
    {
        // Lines before the included file's first section go to the section
        // that was current at the include: make it current again.
        if (include.inSection &&
            (open_ < 0 || !QzEqualsNoCase(doc_.sections.At(static_cast<std::size_t>(open_)).key, include.section))) {
            out_ += L'[';
            out_ += include.section;
            out_ += L']';
            out_ += kEol;
        }
        out_ += L"$include <";
        out_ += include.includeName;
        out_ += L'>';
        out_ += kEol;
        // The included text may have changed the current section.
        open_ = -1;
    }

    void WriteHeader(std::size_t s)
    {
        out_ += L'[';
        out_ += doc_.sections.At(s).key;
        out_ += L']';
        out_ += kEol;
        open_ = static_cast<std::ptrdiff_t>(s);
    }

    void WriteEntry(std::size_t s, const Entry& entry)
    {
        if (open_ != static_cast<std::ptrdiff_t>(s))
            WriteHeader(s);
        if (CQZIniDocument::IsCommentKey(entry.key)) {
            out_ += entry.value.text;
        } else {
            out_ += entry.key;
            out_ += L'=';
            if (quote_ && NeedsQuotes(entry.value.text)) {
                out_ += L'"';
                out_ += entry.value.text;
                out_ += L'"';
            } else {
                out_ += entry.value.text;
            }
        }
        out_ += kEol;
    }

    const CQZIniDocument& doc_;
    bool preserve_;
    bool quote_;
    std::vector<bool> live_;
    std::unordered_map<std::wstring, std::uint32_t> lastToucher_;
    std::uint32_t emittedUpTo_ = 0;
    std::vector<std::pair<std::size_t, std::size_t>> held_;
    std::ptrdiff_t open_ = -1;
    std::wstring out_;
};

}  // namespace

std::wstring CQZIniWriter::Format(const CQZIniDocument& document, bool preserveIncludes, bool quoteValues)
{
    return Emitter(document, preserveIncludes, quoteValues).Run();
}
