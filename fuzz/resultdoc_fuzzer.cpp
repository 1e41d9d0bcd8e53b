// The patch service's result document: any bytes must read without a crash,
// and reading the same bytes twice must change nothing more.
#include "patchservice/PatchInfo.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view document(reinterpret_cast<const char*>(data), size);
    CPatchInfo info;
    info.ParseResultDocument(document);
    const bool valid = info.IsValid();
    const std::wstring version = info.GetVersion().ToString();
    const std::wstring description = info.GetDescription();
    // Every field is overwritten by the same values: a second read is idempotent.
    info.ParseResultDocument(document);
    if (info.IsValid() != valid || info.GetVersion().ToString() != version || info.GetDescription() != description)
        std::abort();
    return 0;
}
