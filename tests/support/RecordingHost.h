// A host configuration for tests: answers the eight operations every host
// must implement from plain fields, lets a test replace any operation, and
// records every call with its arguments, in order, from any thread.
#pragma once

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <functional>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <vector>

namespace qz::test {

struct HostCall {
    std::string operation;  ///< Name of the operation, e.g. "Log".
    std::wstring argument;  ///< Its argument as text; empty when it has none.
};

class RecordingHost : public QzAutoUpdate::CUpdateConfiguration2 {
public:
    // Answers of the operations without default.
    std::wstring programName = L"TestProgram";
    std::wstring patchServiceUrl = L"http://127.0.0.1:1/patch";
    std::wstring programLanguage = L"en-GB";
    std::wstring programVersion = L"1.0.0.0";
    std::wstring serialNumber = L"SERIAL-0001";
    const wchar_t* crmFiles[2] = {nullptr, nullptr};  ///< Answers for kind 0 and 1.

    /// Replacements, keyed by operation name; set them before the run. A text
    /// replacement without value answers null.
    std::map<std::string, bool> bools;
    std::map<std::string, std::optional<std::wstring>> texts;
    std::optional<std::int32_t> platform;
    QzAutoUpdate::WindowHandle parentWindow = nullptr;
    /// Called on every IsCancelled, after recording; its answer is returned.
    std::function<bool()> cancelled;

    /// A copy of the calls so far.
    std::vector<HostCall> Calls() const;
    /// The arguments of every call of one operation, in order.
    std::vector<std::wstring> ArgumentsOf(const std::string& operation) const;
    /// The log lines received so far.
    std::vector<std::wstring> LogLines() const { return ArgumentsOf("Log"); }
    void ClearCalls();

    bool IsCrmOptionVisible() override;
    bool GetSendCrmDefault() override;
    void SetSendCrmData(bool send) override;
    bool UseDownloadNotifications() override;
    bool IsInteractive() override;
    void SetShowAgain(bool showAgain) override;
    bool IsInstallDialogEnabled() override;
    const wchar_t* GetSkinFolder() override;
    const wchar_t* GetDownloadFolder() override;
    const wchar_t* GetPatchFileName() override;
    const wchar_t* GetCrmFilePath(bool kind) override;
    const wchar_t* GetProgramName() override;
    const wchar_t* GetProductName() override;
    const wchar_t* GetPatchServiceUrl() override;
    const wchar_t* GetCrmRedirectUrl() override;
    const wchar_t* GetProgramLanguage() override;
    const wchar_t* GetProgramVersion() override;
    const wchar_t* GetSerialNumber() override;
    bool SendSerialNumber() override;
    void SetPatchDescriptionFile(const wchar_t* path) override;
    void SetPatchVersion(const wchar_t* version) override;
    void SetPatchSize(std::uint64_t bytes) override;
    void AddFile(const wchar_t* path, QzAutoUpdate::InstallerKind kind) override;
    void OnDownloadBegin() override;
    void OnDownloadEnd() override;
    void OnProgress(std::int32_t bytesReceived) override;
    bool IsCancelled() override;
    void Log(const wchar_t* line) override;
    bool UseWorkerThreads() override;
    QzAutoUpdate::WindowHandle GetParentWindow() override;
    bool IsDontShowAgainVisible() override;
    std::int32_t GetPlatform() override;
    void SetPatchDescription(const wchar_t* text) override;

private:
    void Record(const char* operation, std::wstring argument = {});
    bool AnswerBool(const char* operation, bool byDefault);
    const wchar_t* AnswerText(const char* operation, const wchar_t* byDefault);

    mutable std::mutex mutex_;
    std::vector<HostCall> calls_;
};

}  // namespace qz::test
