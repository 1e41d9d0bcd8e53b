// A dialog for driving the updater's workers as the update and progress
// dialogs do: it starts a worker from OnInitDialog, records every private
// message it receives and answers it as the progress dialog would.
#pragma once

#include "platform/window/Dialog.h"
#include "update/Updater.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace qz::test {

struct ReceivedMessage {
    platform::UINT message;
    platform::WPARAM wParam;
    platform::LPARAM lParam;
};

/// Makes the offscreen GUI the windows need; false when there is none.
bool RequireOffscreenGui();

class WorkerTestDialog : public platform::CDialog {
public:
    explicit WorkerTestDialog(CUpdater& updater);

    /// Shows the dialog modally until a handler ends it; returns its code.
    std::intptr_t Run();

    platform::BOOL OnInitDialog() override;

    /// Called from OnInitDialog: starts the first worker.
    std::function<void(WorkerTestDialog&)> onInit;

    /// Every private message received, in order.
    std::vector<ReceivedMessage> messages;
    /// Messages of one kind.
    std::vector<ReceivedMessage> Received(platform::UINT message) const;

    CUpdater& updater;

private:
    void Record(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnQueryDone(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnCrmDone(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnStartDownload(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnProgress(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnDownloadDone(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnCheckDone(platform::WPARAM wParam, platform::LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};

}  // namespace qz::test
