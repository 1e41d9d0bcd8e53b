// Redirect answers of the CRM server: whatever a server prints, the parser
// ends, and what it finds is a piece of the answer.
#include "platform/FileNames.h"
#include "update/CrmUpload.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring answer = qz::platform::WideFileName(std::string_view(reinterpret_cast<const char*>(data), size));
    const CrmRedirect redirect = ParseCrmRedirect(answer);
    if (!redirect.found)
        return 0;
    // Server and path are cut from the answer, and the path starts the upload target.
    if (answer.find(redirect.server) == std::wstring::npos || answer.find(redirect.path) == std::wstring::npos ||
        redirect.path.empty() || redirect.path[0] != L'/' || redirect.port == 0)
        std::abort();
    return 0;
}
