#include "update/QzAutoUpdateApp.h"

#include "platform/ORLFont.h"

CQzAutoUpdateApp::CQzAutoUpdateApp() : CWinApp(nullptr) {}

bool CQzAutoUpdateApp::InitInstance()
{
    qz::platform::AfxEnableControlContainer();
    CORLFont::Initialize();
    return true;
}

namespace {
// Static objects of one translation unit are constructed in order, so the
// application object exists when the module's initialisation runs.
CQzAutoUpdateApp theApp;
const bool g_initialised = qz::platform::AfxInitModuleOnce();
}  // namespace
