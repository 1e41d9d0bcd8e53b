#include "patchservice/PatchOnline.h"

#include "patchservice/TavorHttpTransfer.h"
#include "platform/FileNames.h"
#include "platform/ShellFolders.h"
#include "platform/StagedFile.h"
#include "platform/WinFormat.h"
#include "platform/trust/DetachedSignature.h"

#include <sys/stat.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>

using QzAutoUpdate::CUpdateConfiguration2;

namespace {

constexpr std::int32_t kSchemeHttps = 3;

std::wstring Text(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

bool IsHttps(const std::wstring& url)
{
    std::wstring scheme = url.substr(0, 6);
    for (wchar_t& c : scheme)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return scheme == L"https:";
}

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

std::optional<QzOSAL::QzPath> CPatchOnline::ResolveDownloadFolder(CUpdateConfiguration2& configuration)
{
    // An empty folder text is taken as it stands: the host asked for it.
    if (const wchar_t* folder = configuration.GetDownloadFolder()) {
        struct stat st {};
        const std::string native = qz::platform::NativeFileName(folder);
        if (::stat(native.c_str(), &st) == 0 && (st.st_mode & S_IWOTH) != 0 && (st.st_mode & S_ISVTX) == 0)
            configuration.Log(qz::platform::FormatW(L"CPatchOnline::ResolveDownloadFolder(): anybody may rename "
                                                    L"files in %s; the patch handed over may be swapped there.",
                                                    folder)
                                  .c_str());
        return QzOSAL::QzPath(std::wstring(folder));
    }
    // The shared /tmp is no place for what the host will run: the folder is
    // the user's own, and refused when anybody else could write into it.
    std::string problem;
    const std::string folder = qz::platform::PrivateTempFolder(problem);
    if (folder.empty()) {
        configuration.Log(qz::platform::FormatW(L"CPatchOnline::ResolveDownloadFolder(): the temporary folder %s "
                                                L"is refused: %s.",
                                                qz::platform::GetTempFolderPath().c_str(),
                                                qz::platform::WideFileName(problem).c_str())
                              .c_str());
        return std::nullopt;
    }
    return QzOSAL::QzPath(qz::platform::WideFileName(folder) + L"/");
}

bool CPatchOnline::IsAcceptable(const CPatchInfo& info) const
{
    if (!info.IsValid())
        return false;
    // What was asked for in private is not fetched in the clear.
    if (IsHttps(queryUrl_.GetText()) && !IsHttps(info.GetUrl().GetText())) {
        Log(qz::platform::FormatW(L"CPatchOnline::IsAcceptable(): the patch URL %s is not https, as the query "
                                  L"was; refused.",
                                  info.GetUrl().GetText().c_str()));
        return false;
    }
    if (IsHttps(queryUrl_.GetText()) && !info.GetSignatureUrl().IsEmpty() &&
        !IsHttps(info.GetSignatureUrl().GetText())) {
        Log(qz::platform::FormatW(L"CPatchOnline::IsAcceptable(): the signature URL %s is not https, as the query "
                                  L"was; refused.",
                                  info.GetSignatureUrl().GetText().c_str()));
        return false;
    }
    return true;
}

std::wstring CPatchOnline::SignatureUrl(const CPatchInfo& info)
{
    if (!info.GetSignatureUrl().IsEmpty())
        return info.GetSignatureUrl().GetText();
    std::wstring url = info.GetUrl().GetText();
    const std::size_t scheme = url.find(L"://");
    const std::size_t authorityEnd = url.find_first_of(L"/?#", scheme == std::wstring::npos ? 0 : scheme + 3);
    // ".p7s" belongs to the path's last name; a URL without a path names none.
    if (scheme == std::wstring::npos || authorityEnd == std::wstring::npos || url[authorityEnd] != L'/')
        return {};
    return url.insert(std::min(url.find_first_of(L"?#", authorityEnd), url.size()), L".p7s");
}

bool CPatchOnline::FetchSignature(const CPatchInfo& info, const qz::platform::ByteSource& patch,
                                  const QzOSAL::QzPath& patchFile, const std::function<bool()>& cancel)
{
    const std::wstring signature = qz::platform::DetachedSignaturePath(patchFile.GetPath());
    // A signature left from another download never stands in for this one's.
    std::error_code ignored;
    std::filesystem::remove(qz::platform::NativeFileName(signature), ignored);
    const std::wstring url = SignatureUrl(info);
    if (qz::platform::LooksLikePeFile(patch) || url.empty())
        return true;
    CTavorHttpTransfer transfer;
    transfer.SetAskBeforeOverwriting(false);
    transfer.SetSaveErrorAnswer(false);
    transfer.SetCancelCheck(cancel);
    transfer.SetSizeLimit(qz::platform::kMaxDetachedSignatureSize);
    return transfer.DownloadToFile(url, 0, signature.c_str()) || !transfer.WasStopped();
}

std::function<bool()> CPatchOnline::CancelCheck() const
{
    if (cancelCheck_)
        return cancelCheck_;
    CUpdateConfiguration2* configuration = configuration_;
    return [configuration] { return configuration && configuration->IsCancelled(); };
}

std::uint32_t CPatchOnline::IsAvailable(bool report)
{
    CTavorHttpTransfer transfer;
    resultDocument_.clear();
    if (configuration_) {
        const std::optional<QzOSAL::QzPath> folder = ResolveDownloadFolder(*configuration_);
        if (!folder)
            return QzAutoUpdate::kResultFailed;
        localFile_ = *folder;
        std::wstring name;
        localFile_.AppendPath(GetResultFileName(name));
    }
    transfer.SetAskBeforeOverwriting(false);
    transfer.SetSaveErrorAnswer(false);
    transfer.SetTimeouts(kQueryTimeouts);
    transfer.SetSizeLimit(kMaxResultDocument);
    transfer.SetKeepPartial(false);
    transfer.SetCancelCheck(CancelCheck());
    const bool transferred = transfer.DownloadToFile(queryUrl_.GetText(), 0, localFile_.GetPath().c_str());
    if (transfer.IsSizeLimitExceeded())
        Log(qz::platform::FormatW(L"CPatchOnline::IsAvailable(): the answer is longer than %I64u bytes; refused.",
                                  static_cast<unsigned long long>(kMaxResultDocument)));
    if (!transferred ||
        !qz::platform::ReadDescriptor(transfer.GetStagedFile().Descriptor(), kMaxResultDocument, resultDocument_))
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

    patchInfo_.ParseResultDocument(resultDocument_);
    // Nothing of a rejected document is kept: a download never acts on it.
    if (!IsAcceptable(patchInfo_)) {
        patchInfo_ = CPatchInfo();
        return QzAutoUpdate::kResultFailed;
    }
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

    const std::optional<QzOSAL::QzPath> folder = ResolveDownloadFolder(*configuration_);
    if (!folder)
        return QzAutoUpdate::kResultTransferFailed;
    localFile_ = *folder;
    localFile_.AppendPath(Text(configuration_->GetPatchFileName()));
    transfer.SetAskBeforeOverwriting(false);
    if (report)
        transfer.SetProgressReceiver(configuration_);
    transfer.SetSaveErrorAnswer(false);
    transfer.SetCancelCheck(CancelCheck());
    transfer.SetResume(true);
    transfer.SetLogSink([this](const std::wstring& line) { Log(line); });
    // The service said how long the patch is; a body of another length is
    // cut, padded or not the patch.
    transfer.SetRequiredSize(static_cast<std::uint64_t>(patchInfo_.GetFileSize()));

    const bool notify = configuration_->UseDownloadNotifications();
    if (notify)
        configuration_->OnDownloadBegin();
    // The file keeps a name the host would run only once its signature holds.
    transfer.SetCommitOnSuccess(false);
    CPatchDigest digest;
    transfer.SetBodyObserver(&digest);
    std::uint32_t result = QzAutoUpdate::kResultTransferFailed;
    bool checked = false;
    if (transfer.DownloadToFile(url, 0, localFile_.GetPath().c_str())) {
        qz::platform::StagedFile download = transfer.TakeStagedFile();
        const auto source = qz::platform::FileByteSource::FromDescriptor(download.Descriptor());
        bool failed = false;
        if (source && FetchSignature(patchInfo_, *source, localFile_, CancelCheck())) {
            const qz::platform::AuthenticodeVerdict verdict = qz::platform::CheckPatchSignature(
                *source, qz::platform::DetachedSignaturePath(localFile_.GetPath()), &digest.Finish());
            digestStreamed_ = verdict.streamedDigest;
            checked = verdict.valid && download.Commit();
            failed = !checked;
            if (failed)
                Log(L"CPatchOnline::Download(): check was failed.");
        }
        // Bytes of two connections that fail the check may be of two files:
        // the next try starts clean.
        if (failed && download.IsContinued())
            download.Remove();
        else if (!checked)
            download.KeepPartial();
    }
    if (checked) {
        result = QzAutoUpdate::kResultSuccess;
        if (report) {
            Log(qz::platform::FormatW(L"CPatchOnline::Download(): Adding file: %s.", localFile_.GetPath().c_str()));
            configuration_->AddFile(localFile_.GetPath().c_str(),
                                    static_cast<QzAutoUpdate::InstallerKind>(patchInfo_.GetInstallerKind()));
        }
    } else if (transfer.GetStatusCode() / 100 == 2 && !transfer.WasStopped() &&
               transfer.GetTotalReceived() != static_cast<std::uint64_t>(patchInfo_.GetFileSize())) {
        Log(qz::platform::FormatW(L"CPatchOnline::Download(): %I64u bytes arrived where the service announced "
                                  L"%I64u.",
                                  static_cast<unsigned long long>(transfer.GetTotalReceived()),
                                  static_cast<unsigned long long>(patchInfo_.GetFileSize())));
    }
    if (notify)
        configuration_->OnDownloadEnd();
    return result;
}
