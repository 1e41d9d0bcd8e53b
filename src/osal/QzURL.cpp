#include "osal/QzURL.h"

#include "osal/QzPath.h"
#include "osal/SplitString.h"
#include "platform/ShellPath.h"
#include "platform/UrlEscape.h"
#include "platform/WinFormat.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace QzOSAL {
namespace {

// Yields the UTF-16 code units of a UTF-32 text one by one. Values that no
// UTF-16 text can hold (negative or above U+10FFFF) sort after everything.
class Utf16Units {
public:
    explicit Utf16Units(const std::wstring& text) : text_(text) {}

    bool Next(std::uint32_t& unit)
    {
        if (pendingLow_ != 0) {
            unit = pendingLow_;
            pendingLow_ = 0;
            return true;
        }
        if (pos_ >= text_.size())
            return false;
        const auto c = static_cast<std::uint32_t>(text_[pos_++]);
        if (c <= 0xFFFF) {
            unit = c;
        } else if (c <= 0x10FFFF) {
            unit = 0xD800 + ((c - 0x10000) >> 10);
            pendingLow_ = 0xDC00 + ((c - 0x10000) & 0x3FF);
        } else {
            unit = 0x10000;
        }
        return true;
    }

private:
    const std::wstring& text_;
    std::size_t pos_ = 0;
    std::uint32_t pendingLow_ = 0;
};

// wcstoul base 10 with the 32-bit unsigned long of Windows, so that a port
// text overflows (to 0xFFFFFFFF) and wraps exactly as it does there.
std::uint32_t WindowsWcstoul(const std::wstring& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - L'0');
        if (value > UINT32_MAX) {
            overflow = true;
            value = UINT32_MAX;
        }
    }
    if (overflow)
        return UINT32_MAX;
    const auto result = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

bool EqualsIgnoringAsciiCase(const std::wstring& a, const wchar_t* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i) {
        wchar_t x = a[i];
        wchar_t y = b[i];
        if (x >= L'A' && x <= L'Z')
            x = x - L'A' + L'a';
        if (y >= L'A' && y <= L'Z')
            y = y - L'A' + L'a';
        if (x != y)
            return false;
    }
    return i == a.size() && b[i] == L'\0';
}

using EscapeFunction = qz::platform::HRESULT (*)(const wchar_t*, wchar_t*, std::uint32_t*,
                                                 std::uint32_t);

// Runs an escape function with a buffer of the text's length plus one and,
// when that is too small, once more with the size the function asked for.
std::wstring RunEscape(EscapeFunction function, const std::wstring& text, std::uint32_t flags)
{
    auto size = static_cast<std::uint32_t>(std::min<std::size_t>(text.size() + 1, UINT32_MAX));
    std::vector<wchar_t> buffer(size);
    qz::platform::HRESULT hr = function(text.c_str(), buffer.data(), &size, flags);
    if (hr == qz::platform::E_POINTER) {
        buffer.assign(size, L'\0');
        hr = function(text.c_str(), buffer.data(), &size, flags);
    }
    if (hr != qz::platform::S_OK)
        return std::wstring();
    return std::wstring(buffer.data(), size);
}

void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& by)
{
    for (std::size_t pos = text.find(what); pos != std::wstring::npos;
         pos = text.find(what, pos + by.size()))
        text.replace(pos, what.size(), by);
}

}  // namespace

bool QzURL::Utf16Less::operator()(const std::wstring& a, const std::wstring& b) const
{
    Utf16Units ua(a);
    Utf16Units ub(b);
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    for (;;) {
        const bool hasX = ua.Next(x);
        const bool hasY = ub.Next(y);
        if (!hasX || !hasY) {
            if (hasX != hasY)
                return hasY;
            break;
        }
        if (x != y)
            return x < y;
    }
    // Different UTF-32 texts can share their UTF-16 form (a lone surrogate
    // pair, values beyond Unicode); keep them apart so the order stays strict.
    return a < b;
}

QzURL::QzURL() = default;

QzURL::QzURL(const std::wstring& text) : text_(text) { Parse(); }

QzURL::QzURL(const wchar_t* text) : text_(text ? text : L"") { Parse(); }

QzURL::QzURL(const QzPath& path)
{
    std::wstring text = path.GetPath();
    const bool urlOrUnc = qz::platform::PathIsURL(text) || qz::platform::PathIsUNC(text);
    if (urlOrUnc)
        text.erase(0, std::min(text.find_first_not_of(L"\\/"), text.size()));
    text = Escape(text);
    // Both separators were escaped with the segment; they are the URL's "/".
    ReplaceAll(text, L"%5C", L"/");
    ReplaceAll(text, L"%2F", L"/");
    // A drive path gets the empty host of "file:///"; a Linux path brings
    // its own leading "/"; a UNC server becomes the host.
    const bool needsRoot = !urlOrUnc && text.rfind(L'/', 0) != 0;
    text_ = L"file://" + std::wstring(needsRoot ? L"/" : L"") + text;
    Parse();
}

QzURL::QzURL(const QzURL&) = default;
QzURL::QzURL(QzURL&&) noexcept = default;
QzURL& QzURL::operator=(const QzURL&) = default;
QzURL& QzURL::operator=(QzURL&&) noexcept = default;
QzURL::~QzURL() = default;

void QzURL::SetText(const std::wstring& text)
{
    text_ = text;
    Parse();
}

bool QzURL::operator==(const wchar_t* text) const { return text_ == (text ? text : L""); }

std::int32_t QzURL::GetScheme() const
{
    static const wchar_t* const kOrder[] = {L"about", L"file", L"https", L"http", L"javascript"};
    static const std::int32_t kNumbers[] = {SchemeAbout, SchemeFile, SchemeHttps, SchemeHttp,
                                            SchemeJavaScript};
    for (std::size_t i = 0; i < std::size(kOrder); ++i) {
        if (text_.find(kOrder[i]) == 0)
            return kNumbers[i];
    }
    return SchemeNone;
}

void QzURL::SetUser(const std::wstring& user)
{
    user_ = user;
    Rebuild();
}

void QzURL::SetPassword(const std::wstring& password)
{
    password_ = password;
    Rebuild();
}

void QzURL::SetSubDomain(const std::wstring& subDomain)
{
    hostPrefix_ = subDomain;
    Rebuild();
}

void QzURL::SetDomain(const std::wstring& domain)
{
    domain_ = domain;
    Rebuild();
}

void QzURL::SetTopLevelDomain(const std::wstring& topLevelDomain)
{
    topLevelDomain_ = topLevelDomain;
    Rebuild();
}

std::wstring QzURL::GetHost() const
{
    std::wstring host = hostPrefix_;
    if (!domain_.empty())
        host += L"." + domain_;
    if (!topLevelDomain_.empty())
        host += L"." + topLevelDomain_;
    return host;
}

void QzURL::SetPath(const std::wstring& path)
{
    path_ = path;
    Rebuild();
}

void QzURL::SetFragment(const std::wstring& fragment)
{
    fragment_ = fragment;
    Rebuild();
}

void QzURL::AddParam(const std::wstring& name, const std::wstring& value)
{
    params_.emplace(name, value);
    Rebuild();
}

bool QzURL::GetParam(int index, std::wstring& name, std::wstring& value) const
{
    if (index < 0 || index >= GetParamCount())
        return false;
    const auto it = std::next(params_.begin(), index);
    name = it->first;
    value = it->second;
    return true;
}

void QzURL::RemoveParam(int index)
{
    if (index < 0 || index >= GetParamCount())
        return;
    params_.erase(std::next(params_.begin(), index));
}

void QzURL::Clear() { SetText(std::wstring()); }

std::wstring QzURL::Escape(const std::wstring& text)
{
    return RunEscape(&qz::platform::UrlEscape, text, qz::platform::URL_ESCAPE_SEGMENT_ONLY);
}

std::wstring QzURL::Unescape(const std::wstring& text)
{
    return RunEscape(&qz::platform::UrlUnescape, text, qz::platform::URL_DONT_UNESCAPE_EXTRA_INFO);
}

std::int32_t QzURL::SchemeFromName(const std::wstring& name)
{
    std::wstring bare = name;
    while (!bare.empty() && (bare.back() == L':' || bare.back() == L'/'))
        bare.pop_back();
    if (EqualsIgnoringAsciiCase(bare, L"javascript"))
        return SchemeJavaScript;
    if (EqualsIgnoringAsciiCase(bare, L"https"))
        return SchemeHttps;
    if (EqualsIgnoringAsciiCase(bare, L"http"))
        return SchemeHttp;
    if (EqualsIgnoringAsciiCase(bare, L"file"))
        return SchemeFile;
    if (EqualsIgnoringAsciiCase(bare, L"about"))
        return SchemeAbout;
    return SchemeNone;
}

std::wstring QzURL::SchemeName(std::int32_t scheme)
{
    switch (scheme) {
    case SchemeAbout: return L"about";
    case SchemeFile: return L"file";
    case SchemeHttps: return L"https";
    case SchemeHttp: return L"http";
    case SchemeJavaScript: return L"javascript";
    default: return std::wstring();
    }
}

void QzURL::Parse()
{
    params_.clear();
    const std::size_t schemeEnd = text_.find(L"://");
    if (schemeEnd == std::wstring::npos)
        return;
    scheme_ = SchemeFromName(text_.substr(0, schemeEnd));
    std::wstring rest = text_.substr(schemeEnd + 3);

    const std::size_t at = rest.find(L'@');
    if (at != std::wstring::npos) {
        const std::wstring userInfo = rest.substr(0, at);
        const std::size_t colon = userInfo.find(L':');
        if (colon != std::wstring::npos) {
            user_ = userInfo.substr(0, colon);
            password_ = userInfo.substr(colon + 1);
        } else {
            user_ = userInfo;
        }
        rest.erase(0, at + 1);
    }

    const std::size_t hostEnd = std::min({rest.find(L'/'), rest.find(L':'), rest.size()});
    const std::wstring host = rest.substr(0, hostEnd);
    rest.erase(0, hostEnd);
    const std::size_t lastDot = host.rfind(L'.');
    if (lastDot == std::wstring::npos) {
        hostPrefix_ = host;
    } else {
        topLevelDomain_ = host.substr(lastDot + 1);
        const std::wstring remainder = host.substr(0, lastDot);
        const std::size_t dot = remainder.rfind(L'.');
        if (dot == std::wstring::npos) {
            hostPrefix_ = remainder;
        } else {
            domain_ = remainder.substr(dot + 1);
            hostPrefix_ = remainder.substr(0, dot);
        }
    }

    const std::size_t slash = rest.find(L'/');
    if (rest.find(L':') != std::wstring::npos && slash != std::wstring::npos) {
        const std::wstring portText = rest.substr(0, slash);
        port_ = static_cast<std::uint16_t>(WindowsWcstoul(portText.substr(
            std::min(portText.find_first_not_of(L':'), portText.size()))));
        rest.erase(0, slash);
    }

    if (rest.find(L'/') != std::wstring::npos) {
        const std::size_t stop = std::min(rest.find(L'?'), rest.find(L'#'));
        if (stop == std::wstring::npos) {
            path_ = rest.substr(std::min(rest.find_first_not_of(L'/'), rest.size()));
            return;
        }
        path_ = rest.substr(1, stop - 1);
        rest.erase(0, stop);
    }

    const std::size_t query = rest.find(L'?');
    if (query != std::wstring::npos) {
        const std::size_t queryEnd = rest.find(L'#', query + 1);
        const std::wstring queryText = rest.substr(
            query + 1, queryEnd == std::wstring::npos ? std::wstring::npos : queryEnd - query - 1);
        std::vector<std::wstring> pieces;
        SplitString(queryText, L"&", pieces);
        for (const std::wstring& piece : pieces) {
            const std::size_t equals = piece.find(L'=');
            if (equals != std::wstring::npos)
                params_.emplace(piece.substr(0, equals), piece.substr(equals + 1));
        }
    }

    const std::size_t hash = rest.find(L'#');
    if (hash != std::wstring::npos)
        fragment_ = rest.substr(hash + 1);
}

void QzURL::Rebuild()
{
    std::wstring text = SchemeName(scheme_) + L"://";
    if (!user_.empty())
        text += user_;
    if (!password_.empty())
        text += L":" + password_;
    if (!user_.empty() || !password_.empty())
        text += L"@";
    text += GetHost();
    if (port_ != 0)
        text += qz::platform::FormatW(L":%u", static_cast<unsigned>(port_));
    if (!path_.empty())
        text += L"/" + path_;
    bool first = true;
    for (const auto& [name, value] : params_) {
        text += first ? L"?" : L"&";
        text += name + L"=" + value;
        first = false;
    }
    if (!fragment_.empty())
        text += L"#" + fragment_;
    text_ = std::move(text);
}

}  // namespace QzOSAL
