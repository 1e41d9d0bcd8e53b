// Private window messages between the updater's workers and its dialogs.
// Always posted, never sent: a worker must not wait for the dialog's thread.
#pragma once

#include "platform/window/WinUser.h"

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
