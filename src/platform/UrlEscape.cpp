#include "platform/UrlEscape.h"

#include "platform/CodePage.h"

#include <cwchar>
#include <string>
#include <string_view>

namespace qz::platform {
namespace {

constexpr std::uint32_t kEscapeFlags =
    URL_ESCAPE_SEGMENT_ONLY | URL_ESCAPE_PERCENT | URL_ESCAPE_AS_UTF8 | URL_ESCAPE_SPACES_ONLY;
constexpr std::uint32_t kUnescapeFlags = URL_DONT_UNESCAPE_EXTRA_INFO;

bool IsUnsafe(wchar_t c, std::uint32_t flags)
{
    if (flags & URL_ESCAPE_SPACES_ONLY)
        return c == L' ';
    if ((c >= 0 && c <= 0x20) || c == 0x7F)
        return true;
    switch (c) {
    case L'^': case L'&': case L'`': case L'{': case L'}': case L'|':
    case L']': case L'[': case L'"': case L'<': case L'>': case L'\\':
        return true;
    case L'#': case L'?': case L'/':
        return (flags & URL_ESCAPE_SEGMENT_ONLY) != 0;
    case L'%':
        return (flags & URL_ESCAPE_PERCENT) != 0;
    default:
        return false;
    }
}

void AppendEscapedByte(std::wstring& out, unsigned char byte)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    out += L'%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

// Hands a finished result over under the shared buffer contract.
HRESULT Deliver(const std::wstring& result, wchar_t* buffer, std::uint32_t* size)
{
    const std::size_t needed = result.size() + 1;
    if (needed > UINT32_MAX)
        return E_INVALIDARG;
    if (buffer == nullptr || *size < needed) {
        *size = static_cast<std::uint32_t>(needed);
        return E_POINTER;
    }
    std::wmemcpy(buffer, result.data(), result.size());
    buffer[result.size()] = L'\0';
    *size = static_cast<std::uint32_t>(result.size());
    return S_OK;
}

bool ArgumentsValid(const wchar_t* url, const wchar_t* buffer, const std::uint32_t* size)
{
    return url != nullptr && size != nullptr && (buffer != nullptr || *size == 0);
}

}  // namespace

HRESULT UrlEscape(const wchar_t* url, wchar_t* escaped, std::uint32_t* escapedSize,
                  std::uint32_t flags)
{
    if (!ArgumentsValid(url, escaped, escapedSize) || (flags & ~kEscapeFlags) != 0)
        return E_INVALIDARG;
    if ((flags & URL_ESCAPE_SPACES_ONLY) && (flags & (URL_ESCAPE_SEGMENT_ONLY | URL_ESCAPE_PERCENT)))
        return E_INVALIDARG;

    const std::wstring_view text(url);
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const wchar_t c = text[i];
        // Without the segment flag the query and fragment are not ours to touch.
        if (!(flags & URL_ESCAPE_SEGMENT_ONLY) && (c == L'#' || c == L'?'))
            break;
        if (IsUnsafe(c, flags)) {
            AppendEscapedByte(out, static_cast<unsigned char>(c));
        } else if ((flags & URL_ESCAPE_AS_UTF8) && (c < 0 || c > 0x7F)) {
            const auto bytes = WideToMultiByte(CP_UTF8, text.substr(i, 1));
            for (const char byte : bytes.value_or("\xEF\xBF\xBD"))
                AppendEscapedByte(out, static_cast<unsigned char>(byte));
        } else {
            out += c;
        }
    }
    out.append(text.substr(i));
    return Deliver(out, escaped, escapedSize);
}

HRESULT UrlUnescape(const wchar_t* url, wchar_t* unescaped, std::uint32_t* unescapedSize,
                    std::uint32_t flags)
{
    if (!ArgumentsValid(url, unescaped, unescapedSize) || (flags & ~kUnescapeFlags) != 0)
        return E_INVALIDARG;

    const std::wstring_view text(url);
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if ((flags & URL_DONT_UNESCAPE_EXTRA_INFO) && (c == L'#' || c == L'?'))
            break;
        if (c == L'%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<wchar_t>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 3;
        } else {
            out += c;
            ++i;
        }
    }
    out.append(text.substr(i));
    return Deliver(out, unescaped, unescapedSize);
}

}  // namespace qz::platform
