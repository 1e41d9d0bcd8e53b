#include "platform/FileNames.h"

namespace qz::platform {
namespace {

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Length of the valid UTF-8 sequence at `s`, or 0 when it is not one.
std::size_t ValidSequence(std::string_view s, char32_t& value)
{
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t length;
    char32_t minimum;
    if (b0 < 0x80) {
        value = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, value = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, value = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, value = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not valid UTF-8.
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::string NativeFileName(std::wstring_view name)
{
    std::string out;
    out.reserve(name.size());
    for (const wchar_t wc : name) {
        const auto c = static_cast<char32_t>(wc);
        if (c >= 0xDC80 && c <= 0xDCFF)
            out.push_back(static_cast<char>(c - 0xDC00));
        else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            AppendUtf8(out, 0xFFFD);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::wstring WideFileName(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t value = 0;
        const std::size_t length = ValidSequence(bytes, value);
        if (length == 0) {
            out.push_back(static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(bytes[0])));
            bytes.remove_prefix(1);
        } else {
            out.push_back(static_cast<wchar_t>(value));
            bytes.remove_prefix(length);
        }
    }
    return out;
}

}  // namespace qz::platform
