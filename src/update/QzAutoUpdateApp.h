// The library's application object: constructed when the library is loaded.
#pragma once

#include "platform/WinApp.h"

class CQzAutoUpdateApp : public qz::platform::CWinApp {
public:
    CQzAutoUpdateApp();
    /// Enables control hosting (the update dialog embeds a browser) and
    /// initialises the font services.
    bool InitInstance() override;
};
