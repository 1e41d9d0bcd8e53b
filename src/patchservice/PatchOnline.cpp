#include "patchservice/PatchOnline.h"

#include "patchservice/TavorHttpTransfer.h"
#include "platform/WinFormat.h"

using QzAutoUpdate::CUpdateConfiguration2;

namespace {

constexpr int kTemporaryFolder = 7;
constexpr std::int32_t kSchemeHttps = 3;

std::wstring Text(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

}  // namespace

CPatchOnline::CPatchOnline(CUpdateConfiguration2* configuration) : configuration_(configuration)
{
    BuildURL();
}

CPatchOnline::~CPatchOnline() = default;

std::wstring& CPatchOnline::GetResultFileName(std::wstring& name)
{
    name = L"result.xml";
    return name;
}

void CPatchOnline::Log(const std::wstring& line) const
{
    if (configuration_)
        configuration_->Log(line.c_str());
}

void CPatchOnline::BuildURL()
{
    if (configuration_ == nullptr)
        return;
    CUpdateConfiguration2& c = *configuration_;
    queryUrl_.SetText(Text(c.GetPatchServiceUrl()));
    const bool https = queryUrl_.GetScheme() == kSchemeHttps;
    queryUrl_.AddParam(L"program", Text(c.GetProgramName()));
    queryUrl_.AddParam(L"program_version", Text(c.GetProgramVersion()));
    queryUrl_.AddParam(L"program_language", Text(c.GetProgramLanguage()));
    if (const std::int32_t platform = c.GetPlatform(); platform != 0) {
        if (platform == 1)
            queryUrl_.AddParam(L"program_platform", L"win-x86");
        else if (platform == 2)
            queryUrl_.AddParam(L"program_platform", L"win-x64");
    }
    if (c.SendSerialNumber()) {
        if (!https) {
            Log(L"CPatchOnline::BuildURL(): Can not add serial number. HTTPS is required.");
        } else if (const std::wstring serial = Text(c.GetSerialNumber()); !serial.empty()) {
            queryUrl_.AddParam(L"serial", serial);
        } else {
            Log(L"CPatchOnline::BuildURL(): Can not add serial number. serial number must not empty.");
        }
    }
    queryUrl_.AddParam(L"format", L"html");
    Log(qz::platform::FormatW(L"CPatchOnline::BuildURL(): %s.", queryUrl_.GetText().c_str()));
}

QzOSAL::QzPath CPatchOnline::DownloadFolder() const
{
    // An empty folder text is taken as it stands: the host asked for it.
    if (const wchar_t* folder = configuration_->GetDownloadFolder())
        return QzOSAL::QzPath(std::wstring(folder));
    return QzOSAL::QzPath(kTemporaryFolder);
}

std::uint32_t CPatchOnline::IsAvailable(bool report)
{
    CTavorHttpTransfer transfer;
    if (configuration_) {
        localFile_ = DownloadFolder();
        std::wstring name;
        localFile_.AppendPath(GetResultFileName(name));
    }
    transfer.SetAskBeforeOverwriting(false);
    transfer.SetSaveErrorAnswer(false);
    if (!transfer.DownloadToFile(queryUrl_.GetText(), 0, localFile_.GetPath().c_str()))
        return QzAutoUpdate::kResultFailed;

    contentLength_ = transfer.GetContentLength();
    if (!transfer.HasContent()) {
        Log(L"CPatchOnline::IsAvailable(): Content length is zero!");
        return QzAutoUpdate::kResultFailed;
    }
    Log(qz::platform::FormatW(L"CPatchOnline::IsAvailable(): Content length is available (%I64u).",
                              static_cast<unsigned long long>(contentLength_)));
    if (!report)
        return QzAutoUpdate::kResultSuccess;

    patchInfo_.ParseResult(localFile_);
    if (!patchInfo_.IsValid())
        return QzAutoUpdate::kResultFailed;
    if (configuration_) {
        configuration_->SetPatchVersion(patchInfo_.GetVersion().ToString().c_str());
        configuration_->SetPatchDescription(patchInfo_.GetDescription().c_str());
    }
    return QzAutoUpdate::kResultSuccess;
}

std::uint32_t CPatchOnline::Download(bool report)
{
    CTavorHttpTransfer transfer;
    if (configuration_ == nullptr)
        return QzAutoUpdate::kResultNoConfiguration;
    if (patchInfo_.GetUrl().IsEmpty()) {
        Log(L"CPatchOnline::Download(): Download url isn't available - try IsAvailable().");
        IsAvailable(true);
        if (patchInfo_.GetUrl().IsEmpty()) {
            Log(L"CPatchOnline::Download(): Download url isn't still available.");
            return QzAutoUpdate::kResultNoDownloadUrl;
        }
    }
    const std::wstring& url = patchInfo_.GetUrl().GetText();
    Log(qz::platform::FormatW(L"CPatchOnline::Download(): Using download url: %s.", url.c_str()));

    localFile_ = DownloadFolder();
    localFile_.AppendPath(Text(configuration_->GetPatchFileName()));
    transfer.SetAskBeforeOverwriting(false);
    if (report)
        transfer.SetProgressReceiver(configuration_);
    transfer.SetSaveErrorAnswer(false);

    const bool notify = configuration_->UseDownloadNotifications();
    if (notify)
        configuration_->OnDownloadBegin();
    std::uint32_t result = QzAutoUpdate::kResultTransferFailed;
    if (transfer.DownloadToFile(url, 0, localFile_.GetPath().c_str())) {
        result = QzAutoUpdate::kResultSuccess;
        if (report) {
            Log(qz::platform::FormatW(L"CPatchOnline::Download(): Adding file: %s.", localFile_.GetPath().c_str()));
            configuration_->AddFile(localFile_.GetPath().c_str(),
                                    static_cast<QzAutoUpdate::InstallerKind>(patchInfo_.GetInstallerKind()));
        }
    }
    if (notify)
        configuration_->OnDownloadEnd();
    return result;
}
