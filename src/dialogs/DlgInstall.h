// The last question of an update run: install now, when the program closes,
// or not at all. Its result is the result of the whole run.
#pragma once

#include "dialogs/BaseDlg.h"
#include "gui/controls/Static.h"

#include <cstdint>
#include <string>

class CDlgInstall : public CBaseDlg {
  public:
    /// The dialog's results, which the host receives unchanged.
    static constexpr int kInstallNow = 8;
    static constexpr int kInstallLater = 9;
    static constexpr int kInstallCancelled = 7;

    CDlgInstall(QzAutoUpdate::CUpdateConfiguration2* configuration, qz::platform::CWnd* parent);
    ~CDlgInstall() override;

    /// Puts the product name into the headline.
    BOOL OnInitDialog() override;
    /// "Update immediately" and Enter.
    void OnOK() override;
    /// "Cancel", Escape and the close box.
    void OnCancel() override;
    /// "Install when program is closed".
    void OnLater();

  protected:
    void RegisterControls() override;
    std::wstring GetDefinitionFileName() const override { return L"Install.ini"; }
    std::uint32_t GetTemplateID() const override;

  private:
    CQZ_Static productText_;

    DECLARE_MESSAGE_MAP()
};
