// The first dialog of an interactive update: it waits while the updater
// asks the patch service, then either offers the patch (with its
// description in an embedded browser, the CRM data viewer and two choices)
// or says that there is none. It ends with 0 to update now, 1 otherwise.
#pragma once

#include "dialogs/BaseDlg.h"
#include "dialogs/UpdateSteps.h"
#include "gui/DocHostUIHandler.h"
#include "gui/WebBrowserControl.h"
#include "gui/controls/Static.h"
#include "gui/controls/UniButton.h"

#include <cstdint>
#include <string>

class CDlgUpdate : public CBaseDlg, public CQZDocHostUIHandler {
  public:
    /// `steps` runs the query and is not owned; `configuration` and
    /// `parent` may be null.
    CDlgUpdate(QzAutoUpdate::CUpdateConfiguration2* configuration, IUpdateSteps& steps, qz::platform::CWnd* parent);
    ~CDlgUpdate() override;

    /// Shows the waiting state and starts the query.
    BOOL OnInitDialog() override;
    /// Ends with 0 when a patch is offered, else 1; the choices are read.
    void OnOK() override;
    /// Ends with 1; the choices are read.
    void OnCancel() override;

    /// The query ended; wParam 1 when a patch is available.
    qz::platform::LRESULT OnQueryDone(qz::platform::WPARAM wParam, qz::platform::LPARAM lParam);
    /// Opens the viewer of the CRM data that would be sent.
    void OnShowCrm();
    /// Grows the dialog once and shows the patch description.
    void OnWhatsNew();

    // The three states of the dialog.
    void ShowWaiting();
    void ShowPatchAvailable();
    void ShowNoPatch();
    /// Moves the visible rows up over the room the hidden texts leave, so
    /// that no gap looks like a missing control; the dialog shrinks.
    void CloseEmptyRows();

    /// The don't-show-again box as it was when the dialog closed.
    bool IsDontShowAgain() const { return dontShowAgain_; }
    /// The send-CRM box as it was when the dialog closed.
    bool IsSendCrmData() const { return sendCrmData_; }
    /// Whether the dialog offers a patch now.
    bool IsPatchAvailable() const { return patchAvailable_; }
    /// The browser of the description (no window when the skin makes none).
    CQZ_WebBrowserControl& GetBrowser() { return browser_; }

    /// Makes the browser for "IDC_BROWSER"; other names go to the designer.
    bool CreateCustomControl(const std::wstring& name, const std::wstring& type, const qz::platform::RECT& rect,
                             bool create, const CQZControlTemplate* controlTemplate, qz::platform::HWND* window,
                             std::uint32_t* id) override;
    /// The browser object for "IDC_BROWSER", else null.
    qz::platform::CWnd* LookupCustomControl(const std::wstring& name) override;

  protected:
    void RegisterControls() override;
    std::wstring GetDefinitionFileName() const override { return L"Update.ini"; }
    std::uint32_t GetTemplateID() const override { return 1002; }

  private:
    void BindControls();
    void UpdateCrmControls();
    void ReadChoices();

    CQZ_Static activity_;
    // The check boxes when no definition file made them skinned buttons:
    // the user's two choices are read from these then.
    CQZ_UniButton dontShowAgainBox_;
    CQZ_UniButton sendCrmBox_;
    CQZ_Static noPatchText_;
    CQZ_Static productText_;
    CQZ_WebBrowserControl browser_;
    bool dontShowAgain_ = false;
    bool sendCrmData_ = false;
    bool patchAvailable_ = false;
    IUpdateSteps& steps_;

    DECLARE_MESSAGE_MAP()
};
