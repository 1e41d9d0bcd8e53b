// What the update dialogs ask of the workflow that shows them: the steps they
// start, how they cancel, and what they show of the patch. Each step ends
// with one of the messages below, always posted, never sent: a worker must
// not wait for the dialog's thread.
#pragma once

#include "osal/QzPath.h"
#include "platform/WinUser.h"

#include <cstdint>

namespace qz::platform {
class CWnd;
}

/// The patch query ended; wParam 1 when a valid patch was found.
inline constexpr qz::platform::UINT WM_UPDATE_QUERY_DONE = qz::platform::WM_USER + 1;
/// The CRM step ended (whatever the upload's outcome).
inline constexpr qz::platform::UINT WM_UPDATE_CRM_DONE = qz::platform::WM_USER + 2;
/// The download ended; lParam is the transfer's result, 1 for success.
inline constexpr qz::platform::UINT WM_UPDATE_DOWNLOAD_DONE = qz::platform::WM_USER + 3;
/// Bytes received so far in wParam.
inline constexpr qz::platform::UINT WM_UPDATE_PROGRESS = qz::platform::WM_USER + 4;
/// The progress dialog asks itself to start the download.
inline constexpr qz::platform::UINT WM_UPDATE_START_DOWNLOAD = qz::platform::WM_USER + 5;
/// The signature check ended; wParam 1 when the signature is valid.
inline constexpr qz::platform::UINT WM_UPDATE_CHECK_DONE = qz::platform::WM_USER + 6;

class IUpdateSteps {
  public:
    // Each step reports to `dialog` with its message when it ends.
    virtual void StartPatchCheck(qz::platform::CWnd* dialog) = 0;
    virtual void StartCrmUpload(qz::platform::CWnd* dialog) = 0;
    virtual void StartDownload(qz::platform::CWnd* dialog) = 0;
    virtual void StartFileCheck(qz::platform::CWnd* dialog) = 0;

    /// Cancels the run; the progress dialog then closes with 2.
    virtual void Cancel() = 0;
    /// Cancels the run and stores `result` as its result code.
    virtual void CancelWithResult(std::uint32_t result) = 0;
    /// Whether the run has been cancelled.
    virtual bool IsRunCancelled() const = 0;

    /// The patch size the service announced; 0 or less when unknown.
    virtual std::int64_t PatchFileSize() const = 0;
    /// The description page of the patch; an empty path when there is none.
    virtual QzOSAL::QzPath DescriptionFile() const = 0;

  protected:
    ~IUpdateSteps() = default;
};
