// The application object of a loadable module: one static instance, whose
// InitInstance runs once when the module is loaded.
#pragma once

namespace qz::platform {

class CWinApp {
public:
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    /// Module initialisation; false reports a failed start.
    virtual bool InitInstance();
    /// Module shutdown; the result is the module's exit code.
    virtual int ExitInstance();

    const wchar_t* GetAppName() const { return appName_; }

private:
    const wchar_t* appName_;
};

/// The module's application object, or null before it is constructed.
CWinApp* AfxGetApp();

/// Runs the application object's InitInstance, once per process whatever the
/// number of calls; the result of that one run is returned every time.
bool AfxInitModuleOnce();

/// Allows dialogs to host embedded controls (the web browser). The Qt-based
/// window system hosts widgets without registration; the call only records
/// that the module asked for it.
void AfxEnableControlContainer();
bool AfxIsControlContainerEnabled();

}  // namespace qz::platform
