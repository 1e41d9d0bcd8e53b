// Arbitrary bytes through narrow -> wide -> narrow in several code pages, and
// arbitrary wide values back through each: nothing may crash, and text that
// decoded cleanly must encode back to the same bytes in the stateless pages.
#include "osal/QzString.h"
#include "platform/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace qz::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::uint32_t pages[] = {0, 1252, 932, 936, 949, 950, 1200, 12000, 54936,
                                   65000, 65001, 65002, 20866, 28595};
    for (std::uint32_t cp : pages) {
        const auto wide = MultiByteToWide(cp, bytes);
        if (!wide)
            std::abort();  // every page listed is known
        const auto narrow = WideToMultiByte(cp, *wide);
        if (!narrow)
            std::abort();
        // Clean UTF-8 and 1252 (which maps all 256 bytes) encode back exactly.
        if ((cp == 65001 && MultiByteToWide(cp, bytes, MB_ERR_INVALID_CHARS)) || cp == 1252) {
            if (*narrow != bytes)
                std::abort();
        }
        (void)MultiByteToWide(cp, bytes, MB_ERR_INVALID_CHARS);
        (void)WideToMultiByte(cp, *wide, WC_ERR_INVALID_CHARS);
    }

    // The same bytes as raw wide values, including surrogates and values
    // beyond Unicode.
    std::wstring raw;
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        const std::uint32_t v = static_cast<std::uint32_t>(data[i]) |
                                static_cast<std::uint32_t>(data[i + 1]) << 8 |
                                static_cast<std::uint32_t>(data[i + 2]) << 16 |
                                static_cast<std::uint32_t>(data[i + 3]) << 24;
        raw.push_back(static_cast<wchar_t>(v & 0x7FFFFFFF));
    }
    for (std::uint32_t cp : pages) {
        bool usedDefault = false;
        if (!WideToMultiByte(cp, raw, 0, &usedDefault))
            std::abort();
    }
    (void)Utf16ToWide(WideToUtf16(raw));

    // The string classes over the same input, as zero-terminated text.
    const std::string zeroTerminated(bytes);
    QzOSAL::QzAString a(zeroTerminated.c_str(), 65001u, 1252u);
    QzOSAL::QzWString w(&a);
    QzOSAL::QzAString back(w.GetString(), 1252u);
    if (std::string_view(back.GetString()) != std::string_view(zeroTerminated.c_str()))
        std::abort();
    (void)a.LooksLikeUtf8();
    return 0;
}
