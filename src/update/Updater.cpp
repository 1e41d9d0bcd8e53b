#include "update/Updater.h"

#include "dialogs/DlgInstall.h"
#include "dialogs/DlgProgress.h"
#include "dialogs/DlgUpdate.h"
#include "patchservice/PatchOnline.h"
#include "patchservice/TavorHttpTransfer.h"
#include "platform/FileNames.h"
#include "platform/pe/ByteSource.h"
#include "platform/trust/Authenticode.h"
#include "platform/trust/DetachedSignature.h"
#include "platform/window/WindowSystem.h"
#include "update/CrmUpload.h"
#include "update/CurrentConfiguration.h"
#include "update/States.h"
#include "update/Unexpected.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include <unistd.h>

using QzAutoUpdate::CUpdateConfiguration2;

namespace {

// End codes of the update and progress dialogs that lead on.
constexpr std::intptr_t kUpdateNow = 0;
constexpr std::intptr_t kProgressVerified = 1;

// Set by the cancel paths, read by every worker and by the download's
// progress receiver. Each new updater starts with it clear (see CUpdater).
std::atomic<bool> cancelFlag{false};

std::wstring Text(const wchar_t* text)
{
    return text ? std::wstring(text) : std::wstring();
}

void DeleteFileW(const QzOSAL::QzPath& path)
{
    if (!path.GetPath().empty())
        ::unlink(qz::platform::NativeFileName(path.GetPath()).c_str());
}

}  // namespace

// --- CProgressReceiver ---------------------------------------------------

void CUpdater::CProgressReceiver::OnProgress(std::int32_t bytesReceived)
{
    // Inline on the dialog's thread this keeps the dialog painted and its
    // Cancel button working; on a worker thread there is nothing to do.
    qz::platform::DispatchPendingMessages();
    if (dialog_)
        qz::platform::PostMessage(dialog_, WM_UPDATE_PROGRESS, static_cast<qz::platform::WPARAM>(bytesReceived), 0);
}

bool CUpdater::CProgressReceiver::IsCancelled()
{
    // Asked at least every 250 ms while the transfer waits: inline, that is
    // what keeps Cancel working when a server sends nothing at all.
    qz::platform::DispatchPendingMessages();
    return cancelFlag.load();
}

const wchar_t* CUpdater::CProgressReceiver::GetCrmFilePath(bool) { return nullptr; }
const wchar_t* CUpdater::CProgressReceiver::GetProgramName() { return nullptr; }
const wchar_t* CUpdater::CProgressReceiver::GetPatchServiceUrl() { return nullptr; }
const wchar_t* CUpdater::CProgressReceiver::GetProgramLanguage() { return nullptr; }
const wchar_t* CUpdater::CProgressReceiver::GetProgramVersion() { return nullptr; }
const wchar_t* CUpdater::CProgressReceiver::GetSerialNumber() { return nullptr; }
void CUpdater::CProgressReceiver::AddFile(const wchar_t*, QzAutoUpdate::InstallerKind) {}
void CUpdater::CProgressReceiver::Log(const wchar_t*) {}

// --- CUpdater --------------------------------------------------------------

CUpdater::CUpdater(CUpdateConfiguration2* configuration) : configuration_(configuration)
{
    // Calls never overlap and every worker of an earlier call has been
    // joined, so a cancel of an earlier run must not stop this one.
    cancelFlag.store(false);
    qz::update::SetCurrentConfiguration(configuration);
}

CUpdater::~CUpdater()
{
    // A worker may still run after a second Cancel closed its dialog; it
    // uses this object and the host's configuration until it ends.
    JoinWorker();
    // A download nobody checked stays on disk, but not under the name a host runs.
    if (download_.IsOpen() && download_.CurrentName() != download_.FinalName())
        download_.KeepPartial();
    DeleteFileW(descriptionFile_);
    Singleton<CStates>::Release();
    if (qz::update::GetCurrentConfiguration() == configuration_)
        qz::update::SetCurrentConfiguration(nullptr);
}

void CUpdater::Log(const wchar_t* line) const
{
    if (configuration_)
        configuration_->Log(line);
}

void CUpdater::JoinWorker()
{
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

void CUpdater::Start(Worker worker, qz::platform::CWnd* dialog, qz::platform::UINT endMessage)
{
    auto* parameters = new WorkerParameters{this, dialog ? dialog->GetSafeHwnd() : nullptr};
    if (configuration_ && !configuration_->UseWorkerThreads()) {
        RunWorker(worker, parameters, endMessage);
        return;
    }
    // The previous worker has posted its end message already (that is what
    // led here), so this join is short.
    JoinWorker();
    try {
        worker_ = std::thread(&CUpdater::RunWorker, worker, parameters, endMessage);
    } catch (const std::system_error&) {
        // No thread to be had: the step runs here, as when the host asks for no threads.
        Log(L"CUpdater::Start(): no worker thread could be started; the step runs inline.");
        RunWorker(worker, parameters, endMessage);
    }
}

// A step whose host callbacks throw still ends: the failure is logged and
// whoever waits for the step hears that it ended, with the answer "failed".
void CUpdater::RunWorker(Worker worker, WorkerParameters* parameters, qz::platform::UINT endMessage)
{
    CUpdater* updater = parameters->updater;
    const qz::platform::HWND dialog = parameters->dialog;
    const bool checkOnly = endMessage == WM_UPDATE_QUERY_DONE && updater && updater->checkOnly_;
    if (qz::update::RunLoggingExceptions(updater ? updater->configuration_ : nullptr,
                                         L"CUpdater::RunWorker(): the step ended by an unexpected error (%s).",
                                         [worker, parameters] { worker(parameters); }))
        return;
    if (checkOnly)
        updater->doneEvent_.SetEvent();
    else if (dialog)
        qz::platform::PostMessage(dialog, endMessage, 0, 0);
}

void CUpdater::StartPatchCheck(qz::platform::CWnd* dialog)
{
    checkOnly_ = false;
    Start(&CUpdater::ThreadPatchCheck, dialog, WM_UPDATE_QUERY_DONE);
}

void CUpdater::StartCrmUpload(qz::platform::CWnd* dialog)
{
    Start(&CUpdater::ThreadCRMUpload, dialog, WM_UPDATE_CRM_DONE);
}

void CUpdater::StartDownload(qz::platform::CWnd* dialog)
{
    Start(&CUpdater::ThreadDownload, dialog, WM_UPDATE_DOWNLOAD_DONE);
}

void CUpdater::StartFileCheck(qz::platform::CWnd* dialog)
{
    Start(&CUpdater::ThreadFileCheck, dialog, WM_UPDATE_CHECK_DONE);
}

void CUpdater::Cancel()
{
    CancelWithResult(QzAutoUpdate::kResultProgressCancelled);
}

void CUpdater::CancelWithResult(std::uint32_t result)
{
    cancelFlag.store(true);
    result_ = result;
}

bool CUpdater::IsCancelRequested()
{
    return cancelFlag.load();
}

std::uint32_t CUpdater::RunAction(std::uint32_t action)
{
    if (action == QzAutoUpdate::kActionUpdate)
        return RunUpdate();
    if (action != QzAutoUpdate::kActionCrmUpload)
        return QzAutoUpdate::kResultSuccess;
    if (configuration_ == nullptr)
        return QzAutoUpdate::kResultNoConfiguration;
    if (configuration_->GetCrmFilePath(true) == nullptr)
        return QzAutoUpdate::kResultNoCrmFile;
    // Asked again: a returned text is only valid until the next call.
    const QzOSAL::QzPath dataFile(Text(configuration_->GetCrmFilePath(true)));
    CUpdateConfiguration2* host = configuration_;
    return UploadCrmData(configuration_, dataFile, true, [host] { return host->IsCancelled(); })
               ? QzAutoUpdate::kResultSuccess
                                                         : QzAutoUpdate::kResultFailed;
}

std::uint32_t CUpdater::RunUpdate()
{
    if (configuration_ == nullptr)
        return QzAutoUpdate::kResultNoConfiguration;
    const bool interactive = configuration_->IsInteractive() == 1;
    const std::shared_ptr<CStates> states = Singleton<CStates>::Instance();
    states->SetCrmUploadWanted(configuration_->GetSendCrmDefault());

    bool accepted = false;
    if (!interactive) {
        checkOnly_ = true;
        Start(&CUpdater::ThreadPatchCheck, nullptr, WM_UPDATE_QUERY_DONE);
        if (worker_.joinable()) {
            doneEvent_.Wait();
            JoinWorker();
        }
        // The version goes where it goes everywhere else; a host sees it
        // even when nothing was found (then 0.0.0.0).
        configuration_->SetPatchVersion(patchInfo_.GetVersion().ToString().c_str());
    } else {
        qz::platform::CWnd* owner = OwnerWindow();
        {
            CDlgUpdate dialog(configuration_, *this, owner);
            const std::intptr_t end = dialog.DoModal();
            if (end < 0)
                Log(L"CUpdater::RunUpdate(): the update dialog could not be shown.");
            accepted = end == kUpdateNow;
            // Closed before the query ended: the query still fills this
            // updater, so it must be over before the next step; it is told
            // to stop rather than waited for.
            if (!accepted)
                cancelFlag.store(true);
            JoinWorker();
            configuration_->SetShowAgain(!dialog.IsDontShowAgain());
            if (accepted && configuration_->IsCrmOptionVisible() == 1) {
                configuration_->SetSendCrmData(dialog.IsSendCrmData());
                states->SetCrmUploadWanted(dialog.IsSendCrmData());
            }
        }
        if (accepted) {
            CDlgProgress progress(configuration_, *this, owner);
            const std::intptr_t end = progress.DoModal();
            // A second Cancel closes the dialog while a step still runs; the
            // step stops at its next look at the cancel flag.
            JoinWorker();
            if (end != kProgressVerified)
                result_ = QzAutoUpdate::kResultTransferFailed;
        }
    }
    std::uint32_t result = result_;
    AskInstallTime(result, accepted);
    return result;
}

void CUpdater::AskInstallTime(std::uint32_t& result, bool accepted)
{
    if (!accepted || IsCancelRequested() || result != QzAutoUpdate::kResultSuccess || configuration_ == nullptr)
        return;
    if (configuration_->IsInstallDialogEnabled() != 1) {
        result = QzAutoUpdate::kResultInstallNow;
        return;
    }
    CDlgInstall dialog(configuration_, OwnerWindow());
    const std::intptr_t end = dialog.DoModal();
    if (end < 0) {
        Log(L"CUpdater::AskInstallTime(): the install dialog could not be shown.");
        return;
    }
    result = static_cast<std::uint32_t>(end);
}

qz::platform::CWnd* CUpdater::OwnerWindow() const
{
    return qz::platform::CWnd::FromHandle(qz::platform::HandleFromHostWindow(configuration_->GetParentWindow()));
}

// --- Workers ---------------------------------------------------------------

void CUpdater::ThreadPatchCheck(WorkerParameters* parameters)
{
    std::unique_ptr<WorkerParameters> block(parameters);
    CUpdater& updater = *block->updater;
    CUpdateConfiguration2* configuration = updater.configuration_;
    CPatchOnline online(configuration);
    // Closing the update dialog ends the query at once, not when the server
    // answers; so does the host's cancel in the check without dialogs.
    online.SetCancelCheck(
        [configuration] { return cancelFlag.load() || (configuration && configuration->IsCancelled()); });
    const std::uint32_t queried = online.IsAvailable(false);
    const QzOSAL::QzPath resultFile = online.GetLocalFile();
    bool found = false;
    if (queried == QzAutoUpdate::kResultSuccess) {
        // The bytes this query received, whatever another process has
        // since put under the same name.
        updater.patchInfo_.ParseResultDocument(online.GetResultDocument());
        const bool valid = online.IsAcceptable(updater.patchInfo_);
        // Nothing of a rejected document is reported, its version included.
        if (!valid)
            updater.patchInfo_ = CPatchInfo();
        if (valid) {
            updater.patchInfo_.WriteDescriptionFile(resultFile);
            updater.descriptionFile_ = updater.patchInfo_.GetDescriptionFile();
            found = true;
        }
        if (configuration && valid) {
            configuration->SetPatchDescriptionFile(updater.descriptionFile_.GetPath().c_str());
            configuration->SetPatchVersion(updater.patchInfo_.GetVersion().ToString().c_str());
            configuration->SetPatchSize(static_cast<std::uint64_t>(updater.patchInfo_.GetFileSize()));
        }
        DeleteFileW(resultFile);
    }
    const qz::platform::HWND dialog = block->dialog;
    const bool checkOnly = updater.checkOnly_;
    block.reset();
    if (checkOnly)
        updater.doneEvent_.SetEvent();
    else if (dialog)
        qz::platform::PostMessage(dialog, WM_UPDATE_QUERY_DONE, found ? 1 : 0, 0);
}

void CUpdater::ThreadCRMUpload(WorkerParameters* parameters)
{
    std::unique_ptr<WorkerParameters> block(parameters);
    CUpdater* updater = block->updater;
    if (updater && updater->configuration_ && !IsCancelRequested()) {
        CUpdateConfiguration2& configuration = *updater->configuration_;
        const std::shared_ptr<CStates> states = Singleton<CStates>::Instance();
        if (states->IsCrmUploadWanted() && configuration.GetCrmFilePath(true) != nullptr) {
            configuration.Log(L"CUpdater::ThreadCRMUpload(): start uploading CRM data.");
            const QzOSAL::QzPath dataFile(Text(configuration.GetCrmFilePath(true)));
            UploadCrmData(&configuration, dataFile, true, [] { return cancelFlag.load(); });
            configuration.Log(L"CUpdater::ThreadCRMUpload(): finished uploading CRM data.");
        }
    }
    if (block->dialog)
        qz::platform::PostMessage(block->dialog, WM_UPDATE_CRM_DONE, 0, 0);
}

void CUpdater::ThreadDownload(WorkerParameters* parameters)
{
    std::unique_ptr<WorkerParameters> block(parameters);
    CUpdater& updater = *block->updater;
    CUpdateConfiguration2* configuration = updater.configuration_;
    std::optional<QzOSAL::QzPath> target(QzOSAL::QzPath::kTempFolder);
    if (configuration) {
        target = CPatchOnline::ResolveDownloadFolder(*configuration);
        if (target)
            target->AppendPath(Text(configuration->GetPatchFileName()));
    } else {
        target->AppendPath(L"QzPatch.exe");
    }
    bool transferred = false;
    qz::platform::StagedFile download;
    auto digest = std::make_unique<CPatchDigest>();
    if (target) {
        CProgressReceiver receiver(block->dialog);
        CTavorHttpTransfer transfer;
        transfer.SetProgressReceiver(&receiver);
        transfer.SetBodyObserver(digest.get());
        transfer.SetAskBeforeOverwriting(false);
        transfer.SetRequiredSize(static_cast<std::uint64_t>(updater.patchInfo_.GetFileSize()));
        transfer.SetResume(true);
        transfer.SetLogSink([configuration](const std::wstring& line) {
            if (configuration)
                configuration->Log(line.c_str());
        });
        // The check reads what was written; the name receives it only after.
        transfer.SetCommitOnSuccess(false);
        transferred = transfer.DownloadToFile(updater.patchInfo_.GetUrl().GetText(), 0, target->GetPath().c_str());
        // The hashing thread ends with the download, not with the updater.
        if (transferred)
            digest->Finish();
        else
            digest->Cancel();
        if (transferred) {
            download = transfer.TakeStagedFile();
            // The signature of a patch that is no PE file comes with it; a
            // Cancel meanwhile cancels the download.
            const auto source = qz::platform::FileByteSource::FromDescriptor(download.Descriptor());
            transferred = source && CPatchOnline::FetchSignature(updater.patchInfo_, *source, *target,
                                                                 [&receiver] { return receiver.IsCancelled(); });
            if (!transferred)
                download.KeepPartial();
        }
    }
    if (block->dialog) {
        // Stored before posting: the message starts the check, which reads it.
        updater.downloadedFile_ = target ? *target : QzOSAL::QzPath();
        updater.download_ = std::move(download);
        updater.downloadDigest_ = std::move(digest);
        qz::platform::PostMessage(block->dialog, WM_UPDATE_DOWNLOAD_DONE, 0, transferred ? 1 : 0);
    } else if (download.IsOpen()) {
        download.KeepPartial();
    }
}

void CUpdater::ThreadFileCheck(WorkerParameters* parameters)
{
    std::unique_ptr<WorkerParameters> block(parameters);
    CUpdater* updater = block->updater;
    bool answer = false;
    if (updater && updater->configuration_ && !IsCancelRequested()) {
        CUpdateConfiguration2& configuration = *updater->configuration_;
        configuration.Log(L"CUpdater::ThreadFileCheck(): start checking file for a valid certificate.");
        qz::platform::StagedFile& download = updater->download_;
        // Through the descriptor that wrote the bytes: what is checked is
        // what the host gets, whatever happens to names meanwhile.
        bool ok = false;
        if (download.IsOpen()) {
            const auto source = qz::platform::FileByteSource::FromDescriptor(download.Descriptor());
            CPatchDigest* digest = updater->downloadDigest_.get();
            if (source) {
                const qz::platform::AuthenticodeVerdict verdict = qz::platform::CheckPatchSignature(
                    *source, qz::platform::DetachedSignaturePath(updater->downloadedFile_.GetPath()),
                    digest ? &digest->Finish() : nullptr);
                updater->digestStreamed_ = verdict.streamedDigest;
                ok = verdict.valid && download.Commit();
            }
        } else {
            ok = VerifySignature(QzOSAL::QzFileSystemItem(updater->downloadedFile_));
        }
        updater->fileVerified_ = ok;
        if (ok) {
            configuration.Log(L"CUpdater::ThreadFileCheck(): check ok; adding file to list.");
            answer = true;
            configuration.AddFile(updater->downloadedFile_.GetPath().c_str(),
                                  static_cast<QzAutoUpdate::InstallerKind>(updater->patchInfo_.GetInstallerKind()));
        } else {
            // The file stays on disk, beside the name the host would run;
            // one of bytes from two connections may be of two files, and goes.
            if (download.IsContinued())
                download.Remove();
            else if (download.IsOpen())
                download.KeepPartial();
            configuration.Log(L"CUpdater::ThreadFileCheck(): check was failed.");
        }
    }
    if (block->dialog)
        qz::platform::PostMessage(block->dialog, WM_UPDATE_CHECK_DONE, answer ? 1 : 0, 0);
}

bool CUpdater::VerifySignature(const QzOSAL::QzFileSystemItem& item)
{
    // An item without a path is checked as the empty name, which fails.
    const auto source = qz::platform::FileByteSource::Open(qz::platform::NativePath(item.GetFullPath()));
    return source &&
           qz::platform::CheckPatchSignature(*source, qz::platform::DetachedSignaturePath(item.GetFullPath())).valid;
}
