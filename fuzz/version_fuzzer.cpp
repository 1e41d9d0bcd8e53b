// Any text parses into some version; printing it and parsing the print must
// give the same version back.
#include "osal/QzVersion.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Bytes as wide text: every byte one character, plus a few wide values
    // taken four bytes at a time when the input starts with 0xFF.
    std::wstring text;
    if (size > 0 && data[0] == 0xFF) {
        for (std::size_t i = 1; i + 4 <= size; i += 4) {
            std::uint32_t v = static_cast<std::uint32_t>(data[i]) |
                              static_cast<std::uint32_t>(data[i + 1]) << 8 |
                              static_cast<std::uint32_t>(data[i + 2]) << 16 |
                              static_cast<std::uint32_t>(data[i + 3]) << 24;
            text.push_back(static_cast<wchar_t>(v & 0x7FFFFFFF));
        }
    } else {
        for (std::size_t i = 0; i < size; ++i)
            text.push_back(static_cast<wchar_t>(data[i]));
    }

    const QzOSAL::QzVersion first(text);
    const std::wstring printed = first.ToString();
    const QzOSAL::QzVersion second(printed);
    if (!(second == first) || second.ToString() != printed)
        std::abort();
    if (first > second || first < second || !(first >= second) || !(first <= second))
        std::abort();
    return 0;
}
