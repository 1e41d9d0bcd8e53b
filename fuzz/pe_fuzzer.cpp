// Feeds arbitrary bytes to the PE header parser, the resource walk and the
// version-resource reader; and the layout the image digest learns from the
// same bytes arriving in pieces must be the parser's.
#include "platform/pe/ByteSource.h"
#include "platform/pe/PeImage.h"
#include "platform/pe/VersionInfo.h"
#include "platform/trust/ImageDigest.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qz::platform;
    const MemoryByteSource source(std::span(data, size));
    const auto parsed = PeImage::Parse(source);
    const auto layout = parsed ? ImageDigestLayout::Of(*parsed) : std::nullopt;
    ImageDigestStream stream;
    for (std::size_t at = 0; at < size; at += 7) {
        stream.Update(std::span(data + at, std::min<std::size_t>(7, size - at)));
    }
    if (stream.GetState() == ImageDigestStream::State::Hashing) {
        if (!layout || !(stream.Layout() == *layout)) {
            __builtin_trap();
        }
    } else if (layout && layout->IsValid() && stream.GetState() == ImageDigestStream::State::Unknowable &&
               parsed->HeadersEnd() <= ImageDigestStream::kMaxHeaderBytes) {
        __builtin_trap(); // a valid layout within reach is never given up
    }
    if (const auto& image = parsed) {
        for (const PeSection& section : image->Sections()) {
            if (const auto offset = image->RvaToOffset(section.virtualAddress, 16)) {
                std::uint8_t probe[16];
                if (!source.Read(*offset, probe)) {
                    __builtin_trap(); // a mapped range must lie within the file
                }
            }
        }
        if (const auto resource = ReadVersionResource(*image, source)) {
            if (const auto info = VersionInfo::Parse(*resource)) {
                for (const VersionTranslation& t : info->Translations()) {
                    (void)t;
                }
                (void)info->QueryString(L"\\StringFileInfo\\040904b0\\ProductVersion");
            }
        }
    }
    // The raw bytes as a version block, too.
    if (const auto info = VersionInfo::Parse(std::span(data, size))) {
        (void)info->Translations();
        (void)info->QueryValue(L"\\VarFileInfo\\Translation");
        (void)info->QueryString(L"\\StringFileInfo\\040904b0\\CompanyName");
    }
    return 0;
}
