#include "platform/WinApp.h"

#include <atomic>
#include <mutex>

namespace qz::platform {
namespace {
CWinApp* g_app = nullptr;
std::atomic<bool> g_controlContainer{false};
}  // namespace

CWinApp::CWinApp(const wchar_t* appName) : appName_(appName) { g_app = this; }

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

bool CWinApp::InitInstance() { return true; }

int CWinApp::ExitInstance() { return 0; }

CWinApp* AfxGetApp() { return g_app; }

bool AfxInitModuleOnce()
{
    static std::once_flag once;
    static bool result = false;
    std::call_once(once, [] { result = g_app != nullptr && g_app->InitInstance(); });
    return result;
}

void AfxEnableControlContainer() { g_controlContainer = true; }

bool AfxIsControlContainerEnabled() { return g_controlContainer; }

}  // namespace qz::platform
