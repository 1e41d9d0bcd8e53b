// Shared pieces of the window-system tests: the offscreen application and a
// dialog over the test template that records the commands it receives.
#pragma once

#include "../data/window/window_test_ids.h"
#include "platform/window/Dialog.h"
#include "platform/window/WindowQt.h"
#include "support/Keyboard.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

class QWidget;

namespace qz::platform::test {

/// Creates the offscreen application once; every window test starts here.
void RequireGui();

/// Runs `fn` once the running event loop (a modal dialog's) is idle.
void WhenIdle(std::function<void()> fn);

/// The test template IDD_TEST_DIALOG; records every command and lets a test
/// act from inside its modal loop.
class RecordingDialog : public CDialog {
  public:
    explicit RecordingDialog(UINT templateId);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnApply() { commands.push_back(IDC_BTN_APPLY); }
    void OnOption() { commands.push_back(IDC_CHK_OPTION); }
    void OnClose();
    void OnNameChange() { ++nameChanges; }
    void OnAnswer(UINT id) { commands.push_back(static_cast<int>(id)); }

    /// Called at the end of OnInitDialog.
    std::function<void(RecordingDialog&)> onInit;
    /// IDs of the commands in the order they arrived.
    std::vector<int> commands;
    int closeMessages = 0;
    int nameChanges = 0;

    DECLARE_MESSAGE_MAP()
};

/// Base fixture: a GUI and no DPI override left behind.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { RequireGui(); }
    void TearDown() override { SetDisplayDpiOverride(0); }
};

} // namespace qz::platform::test
