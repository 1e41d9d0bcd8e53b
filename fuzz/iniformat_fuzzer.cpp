// INI-form server answers: any text must parse, and every pair found must be
// reachable by its section and key.
#include "patchservice/IniFormatParser.h"
#include "platform/FileNames.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring text = qz::platform::WideFileName(std::string_view(reinterpret_cast<const char*>(data), size));
    CIniFormatParser parser;
    parser.Parse(text);
    // Probe the sections the text could name.
    for (std::size_t open = text.find(L'['); open != std::wstring::npos; open = text.find(L'[', open + 1)) {
        const std::size_t close = text.find(L']', open);
        if (close == std::wstring::npos)
            break;
        const std::wstring section = text.substr(open + 1, close - open - 1);
        if (const CIniFormatParser::KeyMap* keys = parser.GetSection(section)) {
            for (const auto& [key, value] : *keys) {
                std::wstring found;
                if (!parser.Lookup(section, key, found) || found != value)
                    std::abort();
            }
        }
    }
    return 0;
}
