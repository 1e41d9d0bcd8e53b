#include "platform/pe/FileVersion.h"

#include "platform/pe/ByteSource.h"
#include "platform/pe/PeImage.h"
#include "platform/pe/VersionInfo.h"

#include <cwchar>

namespace qz::platform {

std::wstring GetFileVersionString(const std::wstring& file, const std::wstring& key)
{
    const auto source = FileByteSource::Open(NativePath(file));
    if (!source) {
        return {};
    }
    const auto image = PeImage::Parse(*source);
    if (!image) {
        return {};
    }
    const auto resource = ReadVersionResource(*image, *source);
    if (!resource) {
        return {};
    }
    const auto info = VersionInfo::Parse(*resource);
    if (!info) {
        return {};
    }
    const auto translations = info->Translations();
    if (translations.empty()) {
        return {};
    }
    wchar_t table[16];
    std::swprintf(table, sizeof table / sizeof table[0], L"%04x%04x", translations.front().language,
                  translations.front().codePage);
    return info->QueryString(L"\\StringFileInfo\\" + std::wstring(table) + L"\\" + key)
        .value_or(std::wstring{});
}

} // namespace qz::platform
