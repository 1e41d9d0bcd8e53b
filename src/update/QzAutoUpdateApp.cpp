#include "update/QzAutoUpdateApp.h"

#include "platform/ORLFont.h"
#include "platform/window/GuiQuestions.h"
#include "dialogs/Languages.h"
#include "update/CurrentConfiguration.h"

CQzAutoUpdateApp::CQzAutoUpdateApp() : CWinApp(nullptr) {}

bool CQzAutoUpdateApp::InitInstance()
{
    qz::platform::AfxEnableControlContainer();
    CORLFont::Initialize();
    // The transfer engine's questions (replace an existing file?) need a
    // message box; without a GUI they are answered No.
    qz::platform::InstallGuiQuestions();
    // Texts follow the language of the configuration of the running call.
    qz::dialogs::SetConfigurationSource(&qz::update::GetCurrentConfiguration);
    qz::dialogs::InstallStringProvider();
    return true;
}

namespace {
// Static objects of one translation unit are constructed in order, so the
// application object exists when the module's initialisation runs.
CQzAutoUpdateApp theApp;
const bool g_initialised = qz::platform::AfxInitModuleOnce();
}  // namespace
