#include "platform/StringLoader.h"

#include <mutex>

namespace qz::platform {
namespace {

std::mutex g_mutex;
StringProvider g_provider;

std::wstring BuiltIn(std::uint32_t id)
{
    switch (id) {
    case 103: return L"%s already exists. Overwrite the file?";
    case 104: return L"Downloading file...";
    case 105: return L"Connecting to server...";
    case 106: return L"Sending request...";
    case 107: return L"Transferring file...";
    case 108: return L"Done.";
    case 109: return L"No new program version has been found. Your version is up to date.";
    case 110: return L"Cannot connect to the server. Please check your connection to the Internet.";
    default: return {};
    }
}

}  // namespace

std::wstring LoadResourceString(std::uint32_t id)
{
    StringProvider provider;
    {
        std::lock_guard lock(g_mutex);
        provider = g_provider;
    }
    if (provider) {
        std::wstring text = provider(id);
        if (!text.empty())
            return text;
    }
    return BuiltIn(id);
}

void SetStringProvider(StringProvider provider)
{
    std::lock_guard lock(g_mutex);
    g_provider = std::move(provider);
}

}  // namespace qz::platform
