#include "platform/UserQuestion.h"

#include <mutex>

namespace qz::platform {
namespace {
std::mutex g_mutex;
YesNoHandler g_handler;
}  // namespace

bool AskYesNo(const std::wstring& question)
{
    YesNoHandler handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;
    }
    return handler ? handler(question) : false;
}

void SetYesNoHandler(YesNoHandler handler)
{
    std::lock_guard lock(g_mutex);
    g_handler = std::move(handler);
}

}  // namespace qz::platform
