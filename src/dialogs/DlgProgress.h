// The progress dialog of an interactive update: it starts the CRM step, the
// download and the signature check one after the other, shows how far the
// download is, lets the user cancel, and offers a new download after a
// failed check. It ends with 1 for a verified patch and 2 otherwise.
#pragma once

#include "dialogs/BaseDlg.h"
#include "dialogs/UpdateSteps.h"
#include "gui/controls/PeakMeterCtrl.h"
#include "gui/controls/Static.h"
#include "gui/controls/UniButton.h"

#include <cstdint>
#include <string>

class CDlgProgress : public CBaseDlg {
  public:
    /// `steps` runs the steps and is not owned; `configuration` and
    /// `parent` may be null.
    CDlgProgress(QzAutoUpdate::CUpdateConfiguration2* configuration, IUpdateSteps& steps,
                 qz::platform::CWnd* parent);
    ~CDlgProgress() override;

    /// Shows the CRM step and starts it.
    BOOL OnInitDialog() override;
    /// Only offered after a failed check: downloads again.
    void OnOK() override;
    /// While a step runs only marks the run cancelled and waits for the
    /// step's end; otherwise closes with 2.
    void OnCancel() override;

    // Answers to the updater's messages.
    qz::platform::LRESULT OnCrmDone(qz::platform::WPARAM wParam, qz::platform::LPARAM lParam);
    qz::platform::LRESULT OnDownloadDone(qz::platform::WPARAM wParam, qz::platform::LPARAM lParam);
    qz::platform::LRESULT OnDownloadProgress(qz::platform::WPARAM wParam, qz::platform::LPARAM lParam);
    qz::platform::LRESULT OnStartDownload(qz::platform::WPARAM wParam, qz::platform::LPARAM lParam);
    qz::platform::LRESULT OnCheckDone(qz::platform::WPARAM wParam, qz::platform::LPARAM lParam);

    /// True while a step runs or is about to; false after a cancel or a
    /// failed check.
    bool IsWorking() const { return working_; }
    /// The percentage shown last; -1 before the first progress of a download.
    std::int32_t GetLastPercent() const { return lastPercent_; }

    /// The status line of a download at `received` of `total` bytes with
    /// `percent` done; without a known total only the received size.
    static std::wstring FormatProgress(std::uint64_t received, std::int64_t total, std::uint32_t percent);

  protected:
    void RegisterControls() override;
    std::wstring GetDefinitionFileName() const override { return L"Progress.ini"; }
    std::uint32_t GetTemplateID() const override { return 102; }

  private:
    void BindControls();
    void ShowDownloading();
    void ShowCheckFailed();

    CQZ_PeakMeterCtrl meter_;
    CQZ_Static title_;
    CQZ_Static message_;
    CQZ_Static downloadStatus_;
    CQZ_UniButton cancelButton_;
    CQZ_UniButton okButton_;
    bool working_ = true;
    IUpdateSteps& steps_;
    std::int32_t lastPercent_ = 0;

    DECLARE_MESSAGE_MAP()
};
