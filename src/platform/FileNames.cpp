#include "platform/FileNames.h"

#include "platform/Utf8.h"

#include <fstream>
#include <iterator>

namespace qz::platform {

std::string NativeFileName(std::wstring_view name)
{
    std::string out;
    out.reserve(name.size());
    for (const wchar_t wc : name) {
        const auto c = static_cast<char32_t>(wc);
        if (c >= 0xDC80 && c <= 0xDCFF)
            out.push_back(static_cast<char>(c - 0xDC00));
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::wstring WideFileName(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8At(bytes, at, c);
        if (length == 0) {
            out.push_back(static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(bytes[at])));
            ++at;
        } else {
            out.push_back(static_cast<wchar_t>(c));
            at += length;
        }
    }
    return out;
}

std::optional<std::string> ReadWholeFile(const std::string& nativePath)
{
    std::ifstream in(nativePath, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

}  // namespace qz::platform
