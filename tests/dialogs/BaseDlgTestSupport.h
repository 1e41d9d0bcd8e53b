// Driving the update dialogs as a user would: the offscreen GUI, the
// current configuration the language lookup reads, and clicks and keys sent
// from inside a running modal loop.
#pragma once

#include "platform/window/Dialog.h"
#include "support/Keyboard.h"

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <cstdint>
#include <functional>
#include <string>

namespace qz::test {

/// Makes the offscreen application; false when no GUI can be had.
bool RequireDialogGui();

/// Makes `configuration` the current configuration of the language lookup
/// for the scope's lifetime.
class ScopedCurrentConfiguration {
  public:
    explicit ScopedCurrentConfiguration(QzAutoUpdate::CUpdateConfiguration2* configuration);
    ~ScopedCurrentConfiguration();
    ScopedCurrentConfiguration(const ScopedCurrentConfiguration&) = delete;
    ScopedCurrentConfiguration& operator=(const ScopedCurrentConfiguration&) = delete;
};

/// Runs `dialog` modally; `act` runs once its window is up and the modal
/// loop waits for input. Returns DoModal's result.
std::intptr_t RunModal(platform::CDialog& dialog, std::function<void(platform::CDialog&)> act);

/// A left click in the middle of dialog item `id`.
void ClickItem(platform::HWND dialog, int id);
/// Closes the window with its close box.
void CloseBox(platform::HWND window);

/// A file under the test's temporary folder with `bytes` as content; its
/// path.
std::wstring WriteTempFile(const std::string& name, const std::string& bytes);

} // namespace qz::test
