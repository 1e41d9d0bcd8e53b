// The update workflow of actions 1 and 2: the patch query, the CRM upload,
// the download and the signature check, each done by a short-lived worker
// that reports to the dialog which started it with one posted message.
#pragma once

#include "dialogs/UpdateSteps.h"
#include "osal/QzFileSystemItem.h"
#include "osal/QzPath.h"
#include "patchservice/PatchInfo.h"
#include "patchservice/PatchOnline.h"
#include "platform/StagedFile.h"
#include "platform/window/Wnd.h"
#include "update/Event.h"

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <cstdint>
#include <memory>
#include <thread>

class CUpdater : public IUpdateSteps {
public:
    /// The progress receiver of the workflow's download: it keeps the
    /// dialog's thread responsive, forwards progress to the dialog and stops
    /// the transfer once the run is cancelled.
    class CProgressReceiver : public QzAutoUpdate::CUpdateConfiguration2 {
    public:
        /// `dialog` receives WM_UPDATE_PROGRESS; null for none.
        explicit CProgressReceiver(qz::platform::HWND dialog) : dialog_(dialog) {}

        void OnProgress(std::int32_t bytesReceived) override;
        bool IsCancelled() override;
        const wchar_t* GetCrmFilePath(bool kind) override;
        const wchar_t* GetProgramName() override;
        const wchar_t* GetPatchServiceUrl() override;
        const wchar_t* GetProgramLanguage() override;
        const wchar_t* GetProgramVersion() override;
        const wchar_t* GetSerialNumber() override;
        void AddFile(const wchar_t* path, QzAutoUpdate::InstallerKind kind) override;
        void Log(const wchar_t* line) override;

    private:
        qz::platform::HWND dialog_;
    };

    /// What a worker gets: the updater and the window of the dialog that
    /// started it (null in check-only mode). Made by the starter, freed by
    /// the worker.
    struct WorkerParameters {
        CUpdater* updater;
        qz::platform::HWND dialog;
    };

    /// An updater for one DoAction call; `configuration` may be null.
    explicit CUpdater(QzAutoUpdate::CUpdateConfiguration2* configuration);
    CUpdater(const CUpdater&) = delete;
    CUpdater& operator=(const CUpdater&) = delete;
    /// Waits for a worker still running, deletes the description page and
    /// gives up the shared CStates.
    virtual ~CUpdater();

    /// 1 runs RunUpdate, 2 uploads the host's CRM data file; others give 1.
    std::uint32_t RunAction(std::uint32_t action);
    /// The flow of action 1; returns its result code.
    std::uint32_t RunUpdate();

    // Starters, called by the dialogs' handlers on the host's thread. Each
    // runs its worker inline when the host asks for no threads.
    void StartPatchCheck(qz::platform::CWnd* dialog) override;
    void StartCrmUpload(qz::platform::CWnd* dialog) override;
    void StartDownload(qz::platform::CWnd* dialog) override;
    void StartFileCheck(qz::platform::CWnd* dialog) override;

    // The workers; each takes ownership of its parameter block.
    static void ThreadPatchCheck(WorkerParameters* parameters);
    static void ThreadCRMUpload(WorkerParameters* parameters);
    static void ThreadDownload(WorkerParameters* parameters);
    static void ThreadFileCheck(WorkerParameters* parameters);

    /// Whether the item's file carries a valid signature, with any publisher:
    /// Authenticode in a PE file, else the detached one beside it (".p7s").
    static bool VerifySignature(const QzOSAL::QzFileSystemItem& item);

    /// Cancels the run; the progress dialog then closes with 2 (result 13).
    void Cancel() override;
    /// Cancels the run and stores `result` as its result code.
    void CancelWithResult(std::uint32_t result) override;
    /// Whether the run has been cancelled (a process-wide flag).
    static bool IsCancelRequested();
    bool IsRunCancelled() const override { return IsCancelRequested(); }

    /// The last step of action 1: when the download was accepted and the
    /// run is neither cancelled nor failed, turns `result` into the user's
    /// install decision.
    void AskInstallTime(std::uint32_t& result, bool accepted);

    /// The patch as the query described it.
    const CPatchInfo& GetPatchInfo() const { return patchInfo_; }
    std::int64_t PatchFileSize() const override { return patchInfo_.GetFileSize(); }
    /// The description page the update dialog shows; deleted with the updater.
    QzOSAL::QzPath DescriptionFile() const override { return descriptionFile_; }
    /// Where the last download went.
    const QzOSAL::QzPath& GetDownloadedFile() const { return downloadedFile_; }
    /// Whether the last check took the digest computed during the download.
    bool WasDigestStreamed() const { return digestStreamed_; }
    /// The last answer of the signature check.
    bool IsFileVerified() const { return fileVerified_; }
    /// The run's result code so far (13, 14 or 12 after a cancel).
    std::uint32_t GetResult() const { return result_; }
    /// The host's configuration; null when the updater was built without one.
    QzAutoUpdate::CUpdateConfiguration2* GetConfiguration() const { return configuration_; }

private:
    using Worker = void (*)(WorkerParameters*);
    void Start(Worker worker, qz::platform::CWnd* dialog, qz::platform::UINT endMessage);
    static void RunWorker(Worker worker, WorkerParameters* parameters, qz::platform::UINT endMessage);
    void JoinWorker();
    void Log(const wchar_t* line) const;
    /// The host's parent window as the dialogs' owner; null for none.
    qz::platform::CWnd* OwnerWindow() const;

    bool checkOnly_ = false;
    bool fileVerified_ = false;
    qz::update::CEvent doneEvent_;
    CPatchInfo patchInfo_;
    QzAutoUpdate::CUpdateConfiguration2* configuration_;
    std::uint32_t result_ = QzAutoUpdate::kResultSuccess;
    QzOSAL::QzPath descriptionFile_;
    QzOSAL::QzPath downloadedFile_;
    // The downloaded bytes, still staged beside their final name, with the
    // descriptor the check reads them through.
    qz::platform::StagedFile download_;
    /// The digest the download computed of download_, for its check.
    std::unique_ptr<CPatchDigest> downloadDigest_;
    bool digestStreamed_ = false;
    // At most one worker runs; it is joined before the next starts and
    // before anything it uses is destroyed.
    std::thread worker_;
};
