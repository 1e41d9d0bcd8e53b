// The public face of QzAutoUpdate: the host configuration interface, the
// action and result codes, and the signature of the one export, DoAction.
//
// A host needs nothing but this header: it derives from
// CUpdateConfiguration2, loads libQzAutoUpdate.so with dlopen, looks up
// "DoAction" with dlsym and calls it. Every default below is inline so that
// the host's vtable is complete without linking anything of the library.
#pragma once

#include <cstdint>

namespace QzAutoUpdate {

/// Owner window of the library's modal dialogs: a QWidget* of the host, or
/// null for none.
using WindowHandle = void*;

/// Action codes understood by DoAction.
enum Action : std::uint32_t {
    kActionUpdate = 1,     ///< Interactive update check (check-only without dialogs).
    kActionCrmUpload = 2,  ///< Upload the CRM data file named by the host.
    kActionCheck = 3,      ///< Silent availability check.
    kActionDownload = 4,   ///< Silent download of the patch.
};

/// Result codes returned by DoAction; one numbering for the whole library.
enum Result : std::uint32_t {
    kResultSuccess = 1,
    kResultFailed = 2,          ///< Upload failed, or no usable patch.
    kResultNoConfiguration = 3, ///< Null configuration, or action 0.
    kResultUnknownAction = 4,
    kResultInstallCancelled = 7,
    kResultInstallNow = 8,
    kResultInstallLater = 9,
    kResultNoDownloadUrl = 10,
    kResultNoCrmFile = 11,
    kResultCancelledDuringDownload = 12,
    kResultProgressCancelled = 13,  ///< Internal; DoAction reports 15 instead.
    kResultProgressFailed = 14,     ///< Internal; DoAction reports 15 instead.
    kResultTransferFailed = 15,
};

/// Installer kind of "pug_installer" as handed to AddFile.
using InstallerKind = std::uint32_t;

/// The one interface between the library and its host.
///
/// The slot order of the virtual operations is part of the binary contract
/// and must never change. Booleans are one byte and callers test for exactly
/// 1, so a host returns true or false, never another value. Returned texts
/// must stay valid until the next call on the same object. The library never
/// deletes a configuration object, hence no virtual destructor.
class CUpdateConfiguration2 {
public:
    /// Slot 0: show the send-CRM check box and the CRM viewer button.
    virtual bool IsCrmOptionVisible() { return true; }
    /// Slot 1: initial state of the send-CRM check box.
    virtual bool GetSendCrmDefault() { return true; }
    /// Slot 2: final state of the send-CRM check box.
    virtual void SetSendCrmData(bool /*send*/) {}
    /// Slot 3: call OnDownloadBegin/OnDownloadEnd around a silent download.
    virtual bool UseDownloadNotifications() { return true; }
    /// Slot 4: true runs the dialogs of action 1, anything else the check-only flow.
    virtual bool IsInteractive() { return true; }
    /// Slot 5: the inverse of the update dialog's don't-show-again box.
    virtual void SetShowAgain(bool /*showAgain*/) {}
    /// Slot 6: ask when to install; false means install now without asking.
    virtual bool IsInstallDialogEnabled() { return true; }
    /// Slot 7: folder of the dialogs' skin files; null for the default skin.
    virtual const wchar_t* GetSkinFolder() { return nullptr; }
    /// Slot 8: folder for downloaded files; null for the temporary folder.
    virtual const wchar_t* GetDownloadFolder() { return nullptr; }
    /// Slot 9: file name of the downloaded patch inside the download folder.
    virtual const wchar_t* GetPatchFileName() { return L"QzUpdate.exe"; }
    /// Slot 10: kind false: file shown by the CRM viewer; kind true: file uploaded.
    virtual const wchar_t* GetCrmFilePath(bool kind) = 0;
    /// Slot 11: value of the "program" query key.
    virtual const wchar_t* GetProgramName() = 0;
    /// Slot 12: product name put in place of "$TAVOR$" in dialog texts.
    virtual const wchar_t* GetProductName() { return GetProgramName(); }
    /// Slot 13: base URL of the patch query.
    virtual const wchar_t* GetPatchServiceUrl() = 0;
    /// Slot 14: URL whose answer names the CRM upload server.
    virtual const wchar_t* GetCrmRedirectUrl()
    {
        return L"http://services.qzautoupdate.example/redirects/crm/crm.php3";
    }
    /// Slot 15: value of the "program_language" key and the language of the dialogs.
    virtual const wchar_t* GetProgramLanguage() = 0;
    /// Slot 16: value of the "program_version" query key.
    virtual const wchar_t* GetProgramVersion() = 0;
    /// Slot 17: value of the "serial" key; asked only when SendSerialNumber is true.
    virtual const wchar_t* GetSerialNumber() = 0;
    /// Slot 18: whether the serial number goes into the query.
    virtual bool SendSerialNumber() { return false; }
    /// Slot 19: path of the description page written for the found patch.
    virtual void SetPatchDescriptionFile(const wchar_t* /*path*/) {}
    /// Slot 20: version of the found patch as dotted text.
    virtual void SetPatchVersion(const wchar_t* /*version*/) {}
    /// Slot 21: size of the patch in bytes.
    virtual void SetPatchSize(std::uint64_t /*bytes*/) {}
    /// Slot 22: a downloaded, accepted patch file and its installer kind.
    virtual void AddFile(const wchar_t* path, InstallerKind kind) = 0;
    /// Slot 23: a silent download is about to start.
    virtual void OnDownloadBegin() {}
    /// Slot 24: a silent download has ended.
    virtual void OnDownloadEnd() {}
    /// Slot 25: bytes received so far, after each written block.
    virtual void OnProgress(std::int32_t /*bytesReceived*/) {}
    /// Slot 26: asked after each block; true stops the transfer.
    virtual bool IsCancelled() { return false; }
    /// Slot 27: one log line. Every log line of the library arrives here.
    virtual void Log(const wchar_t* line) = 0;
    /// Slot 28: run the workers on their own threads (false: inline).
    virtual bool UseWorkerThreads() { return true; }
    /// Slot 29: owner window of the modal dialogs.
    virtual WindowHandle GetParentWindow() { return nullptr; }
    /// Slot 30: show the update dialog's don't-show-again box.
    virtual bool IsDontShowAgainVisible() { return true; }
    /// Slot 31: 1 adds "win-x86", 2 "win-x64", anything else no platform key.
    virtual std::int32_t GetPlatform() { return 2; }
    /// Slot 32: description text of the found patch.
    virtual void SetPatchDescription(const wchar_t* /*text*/) {}

protected:
    CUpdateConfiguration2() = default;
    CUpdateConfiguration2(const CUpdateConfiguration2&) = default;
    CUpdateConfiguration2& operator=(const CUpdateConfiguration2&) = default;
    // Not virtual on purpose: the library never owns or deletes a host object.
    ~CUpdateConfiguration2() = default;
};

static_assert(sizeof(bool) == 1, "the host interface passes one-byte booleans");

/// Signature of the export, for dlsym.
using DoActionFunction = std::uint32_t (*)(CUpdateConfiguration2* configuration,
                                           std::uint32_t action);

/// Name under which the export is found.
inline constexpr const char* kDoActionSymbol = "DoAction";

}  // namespace QzAutoUpdate
