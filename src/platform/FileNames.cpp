#include "platform/FileNames.h"

#include "platform/CodePage.h"

#include <fstream>
#include <iterator>

namespace qz::platform {

std::string NativeFileName(std::wstring_view name)
{
    return AnsiBytesFromWide(name);
}

std::wstring WideFileName(std::string_view bytes)
{
    return WideFromAnsiBytes(bytes);
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
