// Fuzzes the resource-script parser and the readers of what it produces:
// dialog templates and string blocks.
#include "rc/RcParser.h"
#include "rc/ResourceEncoder.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qz::platform;
    std::string text(reinterpret_cast<const char*>(data), size);
    // Every quoted include resolves to the input itself, so include depth and
    // #pragma once are exercised too.
    RcParseResult result = ParseRc(text, "fuzz.rc",
                                   [&text](const std::string& name, bool angled, const std::string&,
                                           std::string& resolved) -> std::optional<std::string> {
                                       if (angled) {
                                           return std::nullopt;
                                       }
                                       resolved = name;
                                       return text;
                                   });
    for (const RcResource& r : result.resources) {
        if (r.type == ResName::Ordinal(5)) {
            std::optional<DialogTemplate> t = DecodeDialogTemplate(r.data);
            if (!t || EncodeDialogTemplate(*t) != r.data) {
                __builtin_trap(); // what the parser writes must read back the same
            }
        } else {
            for (unsigned i = 0; i < 16; ++i) {
                if (!StringFromBlock(r.data, i)) {
                    __builtin_trap();
                }
            }
        }
    }
    // The raw input as a template must never crash the reader.
    if (std::optional<DialogTemplate> t = DecodeDialogTemplate(std::span(data, size))) {
        (void)EncodeDialogTemplate(*t);
    }
    return 0;
}
