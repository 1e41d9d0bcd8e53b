#include "dialogs/DlgProgress.h"

#include "dialogs/ByteSizeFormatter.h"
#include "dialogs/Languages.h"
#include "dialogs/res/resource.h"
#include "platform/WinFormat.h"

using namespace qz::platform;
using qz::dialogs::LoadLocalizedString;

namespace {

// Codes the progress dialog stores in the updater when it is cancelled.
constexpr std::uint32_t kCancelledDuringStep = QzAutoUpdate::kResultCancelledDuringDownload;
constexpr std::uint32_t kCancelledAfterCrmStep = QzAutoUpdate::kResultProgressFailed;

constexpr int kEndVerified = IDOK;
constexpr int kEndCancelledOrFailed = IDCANCEL;

}  // namespace

BEGIN_MESSAGE_MAP(CDlgProgress, CBaseDlg)
ON_COMMAND(IDCANCEL, OnCancel)
ON_MESSAGE(WM_UPDATE_CRM_DONE, OnCrmDone)
ON_MESSAGE(WM_UPDATE_DOWNLOAD_DONE, OnDownloadDone)
ON_MESSAGE(WM_UPDATE_PROGRESS, OnDownloadProgress)
ON_MESSAGE(WM_UPDATE_START_DOWNLOAD, OnStartDownload)
ON_MESSAGE(WM_UPDATE_CHECK_DONE, OnCheckDone)
END_MESSAGE_MAP()

CDlgProgress::CDlgProgress(QzAutoUpdate::CUpdateConfiguration2* configuration, IUpdateSteps& steps, CWnd* parent)
    : CBaseDlg(configuration, IDD_PROGRESS, parent), steps_(steps)
{
}

CDlgProgress::~CDlgProgress() = default;

void CDlgProgress::RegisterControls()
{
    RegisterControl(L"IDCANCEL", IDCANCEL, &cancelButton_, 0);
    RegisterControl(L"IDOK", IDOK, &okButton_, 0);
    RegisterControl(L"IDC_PROGRESS", IDC_PROGRESS, &meter_, 0);
    RegisterControl(L"IDC_TXT_MESSAGE", IDC_TXT_MESSAGE, &message_, 0);
    RegisterControl(L"IDC_TXT_TITLE", IDC_TXT_TITLE, &title_, 0);
    RegisterControl(L"IDC_TXT_DOWNLOAD_STATUS", IDC_TXT_DOWNLOAD_STATUS, &downloadStatus_, 0);
}

void CDlgProgress::BindControls()
{
    // The definition file binds the members of the items it lists; the
    // others are bound to their template items here, as data exchange does.
    const struct {
        CQZ_SkinnedControl* member;
        int id;
    } bindings[] = {
        {&meter_, IDC_PROGRESS},       {&downloadStatus_, IDC_TXT_DOWNLOAD_STATUS},
        {&title_, IDC_TXT_TITLE},      {&message_, IDC_TXT_MESSAGE},
        {&cancelButton_, IDCANCEL},    {&okButton_, IDOK},
    };
    for (const auto& binding : bindings) {
        if (binding.member->GetSafeHwnd() == nullptr) {
            if (HWND item = ::qz::platform::GetDlgItem(m_hWnd, binding.id))
                binding.member->SubclassControl(item);
        }
    }
}

BOOL CDlgProgress::OnInitDialog()
{
    CBaseDlg::OnInitDialog();
    BindControls();
    title_.SetWindowText(LoadLocalizedString(IDS_DOWNLOAD_UPDATE));
    message_.SetWindowText(LoadLocalizedString(IDS_TRANSFERRING_PROGRAM_FILES));
    ShowControl(IDC_TXT_DOWNLOAD_STATUS, false);
    ShowControl(IDC_PROGRESS, false);
    ShowControl(IDOK, false);
    cancelButton_.SetWindowText(LoadLocalizedString(IDS_CANCEL));
    steps_.StartCrmUpload(this);
    SetForegroundWindow();
    BringWindowToTop();
    return TRUE;
}

void CDlgProgress::ShowDownloading()
{
    working_ = true;
    title_.SetWindowText(LoadLocalizedString(IDS_DOWNLOAD_UPDATE));
    message_.SetWindowText(LoadLocalizedString(IDS_DOWNLOAD_MESSAGE));
    downloadStatus_.SetWindowText(LoadLocalizedString(IDS_DOWNLOADING));
    ShowControl(IDC_TXT_DOWNLOAD_STATUS, true);
    meter_.SetMaximum(100.0);
    ShowControl(IDC_PROGRESS, true);
    lastPercent_ = -1;
    ShowControl(IDOK, false);
    cancelButton_.SetWindowText(LoadLocalizedString(IDS_CANCEL));
    // The hidden Yes button must not keep the keyboard.
    if (cancelButton_.GetSafeHwnd())
        cancelButton_.SetFocus();
    PostMessage(WM_UPDATE_START_DOWNLOAD);
}

void CDlgProgress::ShowCheckFailed()
{
    title_.SetWindowText(LoadLocalizedString(IDS_CHECK_FAILED));
    message_.SetWindowText(LoadLocalizedString(IDS_UPDATE_CORRUPT));
    downloadStatus_.SetWindowText(LoadLocalizedString(IDS_RESTART_QUESTION));
    ShowControl(IDOK, true);
    cancelButton_.SetWindowText(LoadLocalizedString(IDS_NO));
    // Yes is the button drawn as the answer, so Enter must press it.
    if (okButton_.GetSafeHwnd())
        okButton_.SetFocus();
    working_ = false;
}

void CDlgProgress::OnOK()
{
    ShowDownloading();
}

void CDlgProgress::OnCancel()
{
    if (working_) {
        // The running step ends on its own (the transfer after its next
        // block); its end message closes the dialog.
        working_ = false;
        steps_.CancelWithResult(kCancelledDuringStep);
        return;
    }
    steps_.Cancel();
    EndDialog(kEndCancelledOrFailed);
}

LRESULT CDlgProgress::OnCrmDone(WPARAM, LPARAM)
{
    if (steps_.IsRunCancelled()) {
        steps_.CancelWithResult(kCancelledAfterCrmStep);
        EndDialog(kEndCancelledOrFailed);
        return 0;
    }
    ShowDownloading();
    return 0;
}

LRESULT CDlgProgress::OnStartDownload(WPARAM, LPARAM)
{
    steps_.StartDownload(this);
    return 0;
}

std::wstring CDlgProgress::FormatProgress(std::uint64_t received, std::int64_t total, std::uint32_t percent)
{
    const std::wstring downloading = LoadLocalizedString(IDS_DOWNLOADING);
    // In a text read from right to left, "12.3 MB" would come apart around
    // the Latin unit: each size is isolated and takes the direction of its
    // own first letter, so a translated unit reads the language's way.
    const bool isolate = qz::dialogs::IsRightToLeft(qz::dialogs::GetCurrentLanguageId());
    const auto size = [isolate](std::uint64_t bytes) {
        const std::wstring text = qz::dialogs::FormatByteSize(bytes);
        return isolate ? L"\u2068" + text + L"\u2069" : text;
    };
    // Without a size from the service no share can be given.
    if (total <= 0)
        return downloading + L"   " + size(received);
    return FormatW(LoadLocalizedString(IDS_PROGRESS_FORMAT).c_str(), downloading.c_str(), static_cast<int>(percent),
                   size(received).c_str(), size(static_cast<std::uint64_t>(total)).c_str());
}

LRESULT CDlgProgress::OnDownloadProgress(WPARAM wParam, LPARAM)
{
    const std::uint64_t received = wParam;
    const std::int64_t total = steps_.PatchFileSize();
    if (total <= 0) {
        downloadStatus_.SetWindowText(FormatProgress(received, total, 0));
        return 0;
    }
    const std::uint64_t percent = received * 100 / static_cast<std::uint64_t>(total);
    if (static_cast<std::int32_t>(percent) <= lastPercent_)
        return 0;
    meter_.SetValue(static_cast<double>(percent));
    downloadStatus_.SetWindowText(FormatProgress(received, total, static_cast<std::uint32_t>(percent)));
    lastPercent_ = static_cast<std::int32_t>(percent);
    return 0;
}

LRESULT CDlgProgress::OnDownloadDone(WPARAM, LPARAM lParam)
{
    ShowControl(IDC_PROGRESS, false);
    if (lParam == 1) {
        downloadStatus_.SetWindowText(LoadLocalizedString(IDS_CHECKING_UPDATE));
        steps_.StartFileCheck(this);
    } else {
        EndDialog(kEndCancelledOrFailed);
    }
    return 0;
}

LRESULT CDlgProgress::OnCheckDone(WPARAM wParam, LPARAM)
{
    if (wParam == 0 && working_) {
        ShowCheckFailed();
        return 0;
    }
    EndDialog(kEndVerified);
    return 0;
}
