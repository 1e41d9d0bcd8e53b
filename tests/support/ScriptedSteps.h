// The workflow behind the update dialogs, played by a test: each step does
// what the test scripts (usually posting the step's end message) and every
// call is recorded in order.
#pragma once

#include "dialogs/UpdateSteps.h"
#include "platform/window/Wnd.h"

#include <functional>
#include <string>
#include <vector>

namespace qz::test {

class ScriptedSteps : public IUpdateSteps {
  public:
    using Step = std::function<void(qz::platform::CWnd* dialog)>;

    /// A step that ends at once with `message`.
    static Step Answer(qz::platform::UINT message, qz::platform::WPARAM wParam = 0, qz::platform::LPARAM lParam = 0)
    {
        return [=](qz::platform::CWnd* dialog) { dialog->PostMessage(message, wParam, lParam); };
    }

    Step patchCheck;
    Step crmUpload;
    Step download;
    Step fileCheck;
    std::int64_t patchSize = 0;
    QzOSAL::QzPath description;
    bool cancelled = false;
    /// "check", "crm", "download", "verify", "cancel" or "cancel N".
    std::vector<std::string> calls;

    void StartPatchCheck(qz::platform::CWnd* dialog) override { Run("check", patchCheck, dialog); }
    void StartCrmUpload(qz::platform::CWnd* dialog) override { Run("crm", crmUpload, dialog); }
    void StartDownload(qz::platform::CWnd* dialog) override { Run("download", download, dialog); }
    void StartFileCheck(qz::platform::CWnd* dialog) override { Run("verify", fileCheck, dialog); }
    void Cancel() override
    {
        calls.push_back("cancel");
        cancelled = true;
    }
    void CancelWithResult(std::uint32_t result) override
    {
        calls.push_back("cancel " + std::to_string(result));
        cancelled = true;
    }
    bool IsRunCancelled() const override { return cancelled; }
    std::int64_t PatchFileSize() const override { return patchSize; }
    QzOSAL::QzPath DescriptionFile() const override { return description; }

  private:
    void Run(const char* name, const Step& step, qz::platform::CWnd* dialog)
    {
        calls.push_back(name);
        if (step)
            step(dialog);
    }
};

} // namespace qz::test
