#include "config/IniParser.h"

#include <cwchar>
#include <utility>
#include <vector>

namespace {

std::wstring_view TrimRight(std::wstring_view s)
{
    while (!s.empty() && CQZIniParser::IsInlineSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

std::wstring_view TrimLeft(std::wstring_view s)
{
    while (!s.empty() && CQZIniParser::IsInlineSpace(s.front()))
        s.remove_prefix(1);
    return s;
}

}  // namespace

struct CQZIniParser::Frame {
    std::wstring_view text;
    std::size_t pos = 0;
    std::uint32_t origin = 0;
    std::uint32_t depth = 0;
    std::wstring fileName;
    std::wstring directory;
    std::shared_ptr<const std::wstring> keepAlive;
};

CQZIniParser::CQZIniParser(CQZIniDocument& document, bool stripQuotes, CQZIniIncludeLoader loader)
    : doc_(document), stripQuotes_(stripQuotes), loader_(std::move(loader))
{
}

std::wstring CQZIniParser::DirectoryOf(const std::wstring& fileName)
{
    const std::size_t slash = fileName.find_last_of(L"/\\");
    return slash == std::wstring::npos ? std::wstring() : fileName.substr(0, slash + 1);
}

void CQZIniParser::StoreComment(std::wstring_view line, std::uint32_t origin)
{
    if (current_ < 0) {
        doc_.header.push_back(CQZIniHeaderLine{std::wstring(line), origin});
        return;
    }
    CQZIniSection& section = doc_.sections.At(static_cast<std::size_t>(current_)).value;
    section.entries.Set(doc_.NextCommentKey(), CQZIniValue{std::wstring(line), origin});
}

bool CQZIniParser::FollowInclude(std::wstring_view line, Frame& frame, std::vector<Frame>& stack)
{
    // line starts at the "$".
    std::wstring_view rest = TrimLeft(line.substr(1));
    static constexpr std::wstring_view kWord = L"include";
    if (rest.substr(0, kWord.size()) != kWord)
        return false;
    rest.remove_prefix(kWord.size());
    if (rest.empty() || !(IsInlineSpace(rest.front()) || rest.front() == L'<'))
        return false;
    rest = TrimLeft(rest);
    if (rest.empty() || rest.front() != L'<')
        return false;
    const std::size_t close = rest.rfind(L'>');
    if (close == std::wstring_view::npos || close == 0)
        return false;
    const std::wstring name(TrimRight(TrimLeft(rest.substr(1, close - 1))));
    if (name.empty() || !loader_ || frame.depth + 1 > kMaxIncludeDepth || includes_ >= kMaxIncludes ||
        includedChars_ >= kMaxIncludedChars)
        return false;

    CQZIniIncludeText found;
    if (!loader_(frame.directory, name, found) || !found.text || found.text->empty())
        return false;
    // A file already being parsed would include itself again without end.
    for (const Frame& open : stack) {
        if (open.fileName == found.fullName)
            return false;
    }
    ++includes_;
    includedChars_ += found.text->size();
    doc_.hadIncludes = true;

    CQZIniOrigin origin;
    origin.depth = frame.depth + 1;
    origin.fileName = found.fullName;
    origin.includeName = name;
    const std::uint32_t id = static_cast<std::uint32_t>(doc_.origins.size());
    origin.top = origin.depth == 1 ? id : doc_.origins[frame.origin].top;
    if (current_ >= 0) {
        origin.inSection = true;
        origin.section = doc_.sections.At(static_cast<std::size_t>(current_)).key;
    }
    doc_.origins.push_back(std::move(origin));

    Frame next;
    next.text = std::wstring_view(*found.text);
    next.text = next.text.substr(0, next.text.find(L'\0'));
    next.origin = id;
    next.depth = frame.depth + 1;
    next.directory = DirectoryOf(found.fullName);
    next.fileName = std::move(found.fullName);
    next.keepAlive = std::move(found.text);
    stack.push_back(std::move(next));  // invalidates `frame`
    return true;
}

void CQZIniParser::Parse(std::wstring_view text, const std::wstring& fileName)
{
    std::vector<Frame> stack;
    {
        Frame main;
        main.text = text.substr(0, text.find(L'\0'));
        main.fileName = fileName;
        main.directory = DirectoryOf(fileName);
        stack.push_back(std::move(main));
    }
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.pos >= frame.text.size()) {
            stack.pop_back();
            continue;
        }
        const std::wstring_view all = frame.text;
        const std::size_t start = frame.pos;
        // The line ends at the first CR or LF; two memchr-style scans are
        // much faster than testing every character against both.
        std::size_t end = all.size();
        if (const wchar_t* lf = std::wmemchr(all.data() + start, L'\n', all.size() - start))
            end = static_cast<std::size_t>(lf - all.data());
        if (const wchar_t* cr = std::wmemchr(all.data() + start, L'\r', end - start))
            end = static_cast<std::size_t>(cr - all.data());
        frame.pos = end + 1;
        const std::wstring_view line = all.substr(start, end - start);
        const std::wstring_view body = TrimLeft(line);
        if (body.empty())
            continue;
        const std::uint32_t origin = frame.origin;

        const wchar_t first = body.front();
        if (first == L'#' || first == L';') {
            StoreComment(line, origin);
            continue;
        }
        if (first == L'$') {
            if (!FollowInclude(body, frame, stack))
                StoreComment(line, origin);
            continue;
        }
        if (first == L'[') {
            const std::size_t close = body.rfind(L']');
            if (close == 0 || close == std::wstring_view::npos) {
                StoreComment(line, origin);
                continue;
            }
            const std::wstring_view name = TrimRight(TrimLeft(body.substr(1, close - 1)));
            current_ = doc_.sections.Lookup(name);
            if (current_ < 0)
                current_ = static_cast<std::ptrdiff_t>(doc_.sections.Append(name, CQZIniSection{{}, origin}));
            continue;
        }
        if (current_ < 0) {
            doc_.header.push_back(CQZIniHeaderLine{std::wstring(line), origin});
            continue;
        }
        const std::size_t eq = body.find(L'=');
        if (eq == 0 || eq == std::wstring_view::npos) {
            StoreComment(line, origin);
            continue;
        }
        const std::wstring_view key = TrimRight(body.substr(0, eq));
        std::wstring_view value = TrimRight(TrimLeft(body.substr(eq + 1)));
        if (stripQuotes_ && value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
            value = value.substr(1, value.size() - 2);
        auto& section = doc_.sections.At(static_cast<std::size_t>(current_));
        section.value.entries.Set(key, CQZIniValue{std::wstring(value), origin});
        if (origin != 0)
            doc_.origins[doc_.origins[origin].top].touched.insert(QzIniTouchKey(section.key, key));
    }
}
