#include "platform/internet/InternetText.h"

#include "platform/Utf8.h"

#include <cstdint>

namespace qz::platform::internet {

namespace {

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

bool StartsEscape(std::wstring_view text, std::size_t i)
{
    return i + 2 < text.size() && text[i] == L'%' && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0;
}

} // namespace

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        // A UTF-16 pair, should a wide string carry one.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const auto low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::wstring FromBytes(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8At(bytes, i, c);
        if (length == 0) {
            out += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
            ++i;
        } else {
            out += static_cast<wchar_t>(c);
            i += length;
        }
    }
    return out;
}

std::wstring PercentDecode(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (!StartsEscape(text, i)) {
            out += text[i++];
            continue;
        }
        // A run of escapes is decoded together, so multi-byte UTF-8 survives.
        std::string bytes;
        while (StartsEscape(text, i)) {
            bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 3;
        }
        out += FromBytes(bytes);
    }
    return out;
}

std::string EscapeRequestTarget(std::wstring_view target)
{
    static const char* const hex = "0123456789ABCDEF";
    const std::string bytes = ToUtf8(target);
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        bool escape = b <= 0x20 || b >= 0x7F;
        switch (b) {
        case '"':
        case '#':
        case '<':
        case '>':
        case '\\':
        case '^':
        case '`':
        case '{':
        case '|':
        case '}':
            escape = true;
            break;
        case '%': {
            const bool valid = i + 2 < bytes.size() &&
                               HexValue(static_cast<unsigned char>(bytes[i + 1])) >= 0 &&
                               HexValue(static_cast<unsigned char>(bytes[i + 2])) >= 0;
            escape = !valid;
            break;
        }
        default:
            break;
        }
        if (escape) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

std::string AsciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

} // namespace qz::platform::internet
