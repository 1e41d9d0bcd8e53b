#include "support/RecordingHost.h"

namespace qz::test {
namespace {
std::wstring Text(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(L"(null)"); }
std::wstring Flag(bool value) { return value ? L"1" : L"0"; }
}  // namespace

using Base = QzAutoUpdate::CUpdateConfiguration2;

std::vector<HostCall> RecordingHost::Calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::wstring> RecordingHost::ArgumentsOf(const std::string& operation) const
{
    std::lock_guard lock(mutex_);
    std::vector<std::wstring> result;
    for (const HostCall& call : calls_) {
        if (call.operation == operation)
            result.push_back(call.argument);
    }
    return result;
}

void RecordingHost::ClearCalls()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void RecordingHost::Record(const char* operation, std::wstring argument)
{
    std::lock_guard lock(mutex_);
    calls_.push_back({operation, std::move(argument)});
}

bool RecordingHost::AnswerBool(const char* operation, bool byDefault)
{
    Record(operation);
    const auto it = bools.find(operation);
    return it != bools.end() ? it->second : byDefault;
}

const wchar_t* RecordingHost::AnswerText(const char* operation, const wchar_t* byDefault)
{
    Record(operation);
    const auto it = texts.find(operation);
    if (it == texts.end())
        return byDefault;
    return it->second ? it->second->c_str() : nullptr;
}

bool RecordingHost::IsCrmOptionVisible() { return AnswerBool("IsCrmOptionVisible", Base::IsCrmOptionVisible()); }
bool RecordingHost::GetSendCrmDefault() { return AnswerBool("GetSendCrmDefault", Base::GetSendCrmDefault()); }
void RecordingHost::SetSendCrmData(bool send) { Record("SetSendCrmData", Flag(send)); }
bool RecordingHost::UseDownloadNotifications()
{
    return AnswerBool("UseDownloadNotifications", Base::UseDownloadNotifications());
}
bool RecordingHost::IsInteractive() { return AnswerBool("IsInteractive", Base::IsInteractive()); }
void RecordingHost::SetShowAgain(bool showAgain) { Record("SetShowAgain", Flag(showAgain)); }
bool RecordingHost::IsInstallDialogEnabled()
{
    return AnswerBool("IsInstallDialogEnabled", Base::IsInstallDialogEnabled());
}
const wchar_t* RecordingHost::GetSkinFolder() { return AnswerText("GetSkinFolder", Base::GetSkinFolder()); }
const wchar_t* RecordingHost::GetDownloadFolder()
{
    return AnswerText("GetDownloadFolder", Base::GetDownloadFolder());
}
const wchar_t* RecordingHost::GetPatchFileName()
{
    return AnswerText("GetPatchFileName", Base::GetPatchFileName());
}
const wchar_t* RecordingHost::GetCrmFilePath(bool kind)
{
    Record("GetCrmFilePath", Flag(kind));
    return crmFiles[kind ? 1 : 0];
}
const wchar_t* RecordingHost::GetProgramName() { return AnswerText("GetProgramName", programName.c_str()); }
const wchar_t* RecordingHost::GetProductName()
{
    Record("GetProductName");
    const auto it = texts.find("GetProductName");
    if (it == texts.end())
        return Base::GetProductName();
    return it->second ? it->second->c_str() : nullptr;
}
const wchar_t* RecordingHost::GetPatchServiceUrl()
{
    return AnswerText("GetPatchServiceUrl", patchServiceUrl.c_str());
}
const wchar_t* RecordingHost::GetCrmRedirectUrl()
{
    return AnswerText("GetCrmRedirectUrl", Base::GetCrmRedirectUrl());
}
const wchar_t* RecordingHost::GetProgramLanguage()
{
    return AnswerText("GetProgramLanguage", programLanguage.c_str());
}
const wchar_t* RecordingHost::GetProgramVersion()
{
    return AnswerText("GetProgramVersion", programVersion.c_str());
}
const wchar_t* RecordingHost::GetSerialNumber() { return AnswerText("GetSerialNumber", serialNumber.c_str()); }
bool RecordingHost::SendSerialNumber() { return AnswerBool("SendSerialNumber", Base::SendSerialNumber()); }
void RecordingHost::SetPatchDescriptionFile(const wchar_t* path) { Record("SetPatchDescriptionFile", Text(path)); }
void RecordingHost::SetPatchVersion(const wchar_t* version) { Record("SetPatchVersion", Text(version)); }
void RecordingHost::SetPatchSize(std::uint64_t bytes) { Record("SetPatchSize", std::to_wstring(bytes)); }
void RecordingHost::AddFile(const wchar_t* path, QzAutoUpdate::InstallerKind kind)
{
    Record("AddFile", Text(path) + L"|" + std::to_wstring(kind));
}
void RecordingHost::OnDownloadBegin() { Record("OnDownloadBegin"); }
void RecordingHost::OnDownloadEnd() { Record("OnDownloadEnd"); }
void RecordingHost::OnProgress(std::int32_t bytesReceived) { Record("OnProgress", std::to_wstring(bytesReceived)); }
bool RecordingHost::IsCancelled()
{
    const bool answer = AnswerBool("IsCancelled", Base::IsCancelled());
    return cancelled ? cancelled() : answer;
}
void RecordingHost::Log(const wchar_t* line) { Record("Log", Text(line)); }
bool RecordingHost::UseWorkerThreads() { return AnswerBool("UseWorkerThreads", Base::UseWorkerThreads()); }
QzAutoUpdate::WindowHandle RecordingHost::GetParentWindow()
{
    Record("GetParentWindow");
    return parentWindow;
}
bool RecordingHost::IsDontShowAgainVisible()
{
    return AnswerBool("IsDontShowAgainVisible", Base::IsDontShowAgainVisible());
}
std::int32_t RecordingHost::GetPlatform()
{
    Record("GetPlatform");
    return platform ? *platform : Base::GetPlatform();
}
void RecordingHost::SetPatchDescription(const wchar_t* text) { Record("SetPatchDescription", Text(text)); }

}  // namespace qz::test
