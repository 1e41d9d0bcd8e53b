#include "WorkerTestDialog.h"

#include "dialogs/UpdateSteps.h"

#include <cstdlib>

namespace qz::test {

using namespace qz::platform;

bool RequireOffscreenGui()
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return EnsureGuiApplication();
}

BEGIN_MESSAGE_MAP(WorkerTestDialog, CDialog)
ON_MESSAGE(WM_UPDATE_QUERY_DONE, OnQueryDone)
ON_MESSAGE(WM_UPDATE_CRM_DONE, OnCrmDone)
ON_MESSAGE(WM_UPDATE_START_DOWNLOAD, OnStartDownload)
ON_MESSAGE(WM_UPDATE_PROGRESS, OnProgress)
ON_MESSAGE(WM_UPDATE_DOWNLOAD_DONE, OnDownloadDone)
ON_MESSAGE(WM_UPDATE_CHECK_DONE, OnCheckDone)
END_MESSAGE_MAP()

WorkerTestDialog::WorkerTestDialog(CUpdater& u) : updater(u) {}

std::intptr_t WorkerTestDialog::Run()
{
    DialogTemplate dialog;
    dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    dialog.cx = 120;
    dialog.cy = 40;
    dialog.caption = L"Worker test";
    if (!InitModalIndirect(dialog))
        return -1;
    return DoModal();
}

BOOL WorkerTestDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (onInit)
        onInit(*this);
    return TRUE;
}

std::vector<ReceivedMessage> WorkerTestDialog::Received(UINT message) const
{
    std::vector<ReceivedMessage> found;
    for (const ReceivedMessage& m : messages) {
        if (m.message == message)
            found.push_back(m);
    }
    return found;
}

void WorkerTestDialog::Record(UINT message, WPARAM wParam, LPARAM lParam)
{
    messages.push_back({message, wParam, lParam});
}

LRESULT WorkerTestDialog::OnQueryDone(WPARAM wParam, LPARAM lParam)
{
    Record(WM_UPDATE_QUERY_DONE, wParam, lParam);
    EndDialog(wParam == 1 ? 0 : 1);
    return 0;
}

LRESULT WorkerTestDialog::OnCrmDone(WPARAM wParam, LPARAM lParam)
{
    Record(WM_UPDATE_CRM_DONE, wParam, lParam);
    if (CUpdater::IsCancelRequested()) {
        updater.CancelWithResult(QzAutoUpdate::kResultProgressFailed);
        EndDialog(2);
    } else {
        PostMessage(WM_UPDATE_START_DOWNLOAD);
    }
    return 0;
}

LRESULT WorkerTestDialog::OnStartDownload(WPARAM wParam, LPARAM lParam)
{
    Record(WM_UPDATE_START_DOWNLOAD, wParam, lParam);
    updater.StartDownload(this);
    return 0;
}

LRESULT WorkerTestDialog::OnProgress(WPARAM wParam, LPARAM lParam)
{
    Record(WM_UPDATE_PROGRESS, wParam, lParam);
    return 0;
}

LRESULT WorkerTestDialog::OnDownloadDone(WPARAM wParam, LPARAM lParam)
{
    Record(WM_UPDATE_DOWNLOAD_DONE, wParam, lParam);
    if (lParam == 1)
        updater.StartFileCheck(this);
    else
        EndDialog(2);
    return 0;
}

LRESULT WorkerTestDialog::OnCheckDone(WPARAM wParam, LPARAM lParam)
{
    Record(WM_UPDATE_CHECK_DONE, wParam, lParam);
    EndDialog(1);
    return 0;
}

}  // namespace qz::test

// The offscreen application lives until the process ends, so fontconfig's
// caches are never released; they are not leaks of ours.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
