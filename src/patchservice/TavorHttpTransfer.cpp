#include "patchservice/TavorHttpTransfer.h"

#include "osal/QzString.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"
#include "platform/StringLoader.h"
#include "platform/UserQuestion.h"
#include "platform/WinFormat.h"

#include <sys/stat.h>

#include <climits>
#include <cwchar>
#include <memory>

using namespace qz::platform;

namespace {

constexpr const wchar_t* kDefaultFileName = L"TavorHttpTransferFile.dat";
constexpr const wchar_t* kUserName = L"TavorHttpUser";
constexpr const wchar_t* kAgent = L"TavorHttpClient";

bool IsGoodStatus(std::int32_t status)
{
    return (status >= 200 && status <= 203) || status == 206;
}

// _wtoi: leading digits as a 32-bit int; overflow saturates at the int limits.
std::int64_t ToInt32(const std::wstring& text)
{
    const long long value = std::wcstoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return value;
}

// "%i" of swscanf: base detected from the prefix; false when no number starts the text.
bool ParseStatus(const std::wstring& text, std::int32_t& status)
{
    int value = 0;
    if (std::swscanf(text.c_str(), L"%i", &value) != 1)
        return false;
    status = value;
    return true;
}

std::string Ansi(const std::wstring& text)
{
    const QzOSAL::QzAString narrow(text, CP_ACP);
    return narrow.GetString();
}

}  // namespace

CTavorHttpTransfer::CTavorHttpTransfer()
    : defaultFileName_(kDefaultFileName), targetFile_(kDefaultFileName), userName_(kUserName)
{
}

CTavorHttpTransfer::~CTavorHttpTransfer()
{
    CloseHandles();
    CloseTargetFile();
}

void CTavorHttpTransfer::CloseHandles()
{
    for (HINTERNET* handle : {&request_, &connection_, &session_}) {
        if (*handle != nullptr) {
            InternetCloseHandle(*handle);
            *handle = nullptr;
        }
    }
}

void CTavorHttpTransfer::ResetUrlParts()
{
    scheme_ = INTERNET_SCHEME_UNKNOWN;
    hostName_.clear();
    urlPath_.clear();
    extraInfo_.clear();
    password_.clear();
    port_ = 0;
}

void CTavorHttpTransfer::Reset()
{
    saveErrorAnswer_ = true;
    autodial_ = false;
    reportServerErrors_ = false;
    requireConnection_ = false;
    askBeforeOverwriting_ = true;
    defaultFileName_ = kDefaultFileName;
    targetFile_ = kDefaultFileName;
    userName_ = kUserName;
    statusCode_ = 0;
    bytesReceived_ = 0;
    expectedSize_ = 0;
    blockSize_ = kDefaultBlockSize;
    listener_ = nullptr;
    bodyObserver_ = nullptr;
    context_ = 0;
    answerSaved_ = false;
    chunked_ = false;
    abort_ = false;
    contentLength_ = 0;
    receiver_ = nullptr;
    cancelCheck_ = nullptr;
    timeouts_ = kDownloadTimeouts;
    sizeLimit_ = 0;
    requiredSize_ = 0;
    commitOnSuccess_ = true;
    keepPartial_ = true;
    ResetUrlParts();
}

bool CTavorHttpTransfer::ShouldStop()
{
    if ((receiver_ && receiver_->IsCancelled()) || (cancelCheck_ && cancelCheck_()) ||
        (listener_ && listener_->ContinueTransfer() == 0))
        stopped_ = true;
    return stopped_;
}

void CTavorHttpTransfer::Status(const std::wstring& text)
{
    if (listener_)
        listener_->OnTransferStatus(Ansi(text).c_str());
}

void CTavorHttpTransfer::Error(const std::wstring& text)
{
    if (listener_)
        listener_->OnTransferError(Ansi(text).c_str());
}

void CTavorHttpTransfer::StatusText(std::uint32_t id) { Status(LoadResourceString(id)); }

void CTavorHttpTransfer::ErrorText(std::uint32_t id) { Error(LoadResourceString(id)); }

bool CTavorHttpTransfer::CrackUrl(const std::wstring& url)
{
    ResetUrlParts();
    UrlComponents parts;
    if (!InternetCrackUrl(url, ICU_DECODE, parts))
        return false;
    // A user name inside the URL is not used; every connection names ours.
    scheme_ = parts.scheme;
    hostName_ = parts.hostName;
    urlPath_ = parts.urlPath;
    extraInfo_ = parts.extraInfo;
    password_ = parts.password;
    port_ = parts.port;
    return true;
}

bool CTavorHttpTransfer::DownloadToFile(const std::wstring& url, std::uint32_t expectedSize,
                                        const wchar_t* targetFile)
{
    if (targetFile != nullptr)
        targetFile_ = targetFile;
    if (expectedSize != 0)
        expectedSize_ = expectedSize;
    if (!CrackUrl(url))
        return false;
    return Transfer();
}

bool CTavorHttpTransfer::DownloadFromHostPath(const std::wstring& host, const std::wstring& path,
                                              std::uint32_t expectedSize, const char* targetFile)
{
    if (targetFile != nullptr)
        targetFile_ = QzOSAL::QzWString(targetFile, CP_ACP).GetString();
    if (expectedSize != 0)
        expectedSize_ = expectedSize;
    hostName_ = host;
    urlPath_ = path;
    return Transfer();
}

bool CTavorHttpTransfer::IsConnected()
{
    std::uint32_t flags = 0;
    if (autodial_ && !InternetGetConnectedState(&flags, 0, hostName_))
        InternetAutodial(INTERNET_AUTODIAL_FORCE_ONLINE, nullptr);
    return InternetGetConnectedState(&flags, 0, hostName_);
}

bool CTavorHttpTransfer::OpenSession()
{
    if (session_ != nullptr) {
        InternetCloseHandle(session_);
        session_ = nullptr;
    }
    session_ = InternetOpen(kAgent, INTERNET_OPEN_TYPE_PRECONFIG);
    if (session_ == nullptr)
        return false;
    // A dead or trickling server, or a user's Cancel, ends the wait within
    // the facade's check interval instead of at the next block.
    InternetSetTimeouts(session_, timeouts_);
    InternetSetKeepGoing(session_, [this] { return !ShouldStop(); });
    return true;
}

bool CTavorHttpTransfer::Connect()
{
    if (session_ == nullptr)
        return false;
    if (connection_ != nullptr)
        InternetCloseHandle(connection_);
    const std::uint16_t port = port_ != 0 ? port_ : INTERNET_DEFAULT_HTTP_PORT;
    connection_ = InternetConnect(session_, hostName_, port, userName_, std::wstring(), INTERNET_SERVICE_HTTP,
                                  0, context_);
    return connection_ != nullptr;
}

bool CTavorHttpTransfer::OpenRequest()
{
    if (connection_ == nullptr)
        return false;
    if (request_ != nullptr)
        InternetCloseHandle(request_);
    std::uint32_t flags = INTERNET_FLAG_DONT_CACHE;
    if (scheme_ == INTERNET_SCHEME_HTTPS)
        flags |= INTERNET_FLAG_SECURE;
    request_ = HttpOpenRequest(connection_, std::wstring(), urlPath_ + extraInfo_, std::wstring(), std::wstring(),
                               {L"*/*"}, flags, context_);
    return request_ != nullptr;
}

bool CTavorHttpTransfer::OpenUrl(const std::wstring& url)
{
    if (session_ == nullptr)
        return false;
    if (request_ != nullptr)
        InternetCloseHandle(request_);
    request_ = InternetOpenUrl(session_, url, std::wstring(), INTERNET_FLAG_DONT_CACHE, context_);
    return request_ != nullptr;
}

bool CTavorHttpTransfer::ReadStatusCode(std::int32_t& status, std::wstring& raw)
{
    raw.clear();
    if (!HttpQueryInfo(request_, HTTP_QUERY_STATUS_CODE, raw))
        return false;
    return ParseStatus(raw, status);
}

bool CTavorHttpTransfer::SendRequest()
{
    contentLength_ = 0;
    if (request_ == nullptr)
        return false;
    const bool sent = HttpSendRequest(request_);
    if (sent) {
        std::wstring raw;
        std::int32_t status = 0;
        if (ReadStatusCode(status, raw) && IsGoodStatus(status)) {
            std::wstring value;
            if (HttpQueryInfo(request_, HTTP_QUERY_CONTENT_LENGTH, value))
                contentLength_ = ToInt32(value);
            else if (contentLength_ == 0 && HttpQueryInfo(request_, HTTP_QUERY_TRANSFER_ENCODING, value))
                chunked_ = value == L"chunked";
        }
        if (receiver_)
            receiver_->SetPatchSize(static_cast<std::uint64_t>(contentLength_));
    }
    return sent && !abort_;
}

bool CTavorHttpTransfer::CheckStatus()
{
    std::wstring raw;
    std::int32_t status = 0;
    if (!ReadStatusCode(status, raw)) {
        statusCode_ = -1;
        Error(FormatW(L"Unable to parse ReturnCode from server, server answer was \"%s\"", raw.c_str()));
        return false;
    }
    statusCode_ = status;
    if (IsGoodStatus(status))
        return true;
    if (reportServerErrors_)
        Error(FormatW(L"Server error occured,\"%s\"", raw.c_str()));
    return false;
}

bool CTavorHttpTransfer::Transfer()
{
    answerSaved_ = false;
    if (!IsConnected() && requireConnection_) {
        ErrorText(109);
        return false;
    }
    if (hostName_.empty() || urlPath_.empty()) {
        ErrorText(109);
        return false;
    }
    if (!OpenSession()) {
        ErrorText(110);
        return false;
    }
    StatusText(105);
    if (!Connect()) {
        ErrorText(110);
        return false;
    }
    StatusText(106);
    if (!OpenRequest() || !SendRequest()) {
        ErrorText(110);
        return false;
    }
    if (CheckStatus()) {
        StatusText(107);
        if (ReceiveToFile()) {
            StatusText(108);
            return true;
        }
        if (listener_ && listener_->ContinueTransfer() == 0)
            return false;
        ErrorText(109);
        return false;
    }
    if (statusCode_ == 404 || !saveErrorAnswer_) {
        ErrorText(109);
        return false;
    }
    answerSaved_ = true;
    Status(L"Transfering server answer ....");
    if (ReceiveToFile())
        Status(L"Done.");
    else
        ErrorText(109);
    return false;
}

bool CTavorHttpTransfer::OpenTargetFile()
{
    CloseTargetFile();
    const std::string name = NativeFileName(targetFile_);
    struct stat existing {};
    if (askBeforeOverwriting_ && ::lstat(name.c_str(), &existing) == 0 &&
        !AskYesNo(FormatW(LoadResourceString(103).c_str(), targetFile_.c_str())))
        return false;
    // The body goes to a new file of its own; the target name receives it
    // only once it is whole, so nobody else's file is written through.
    return target_.Create(name);
}

void CTavorHttpTransfer::CloseTargetFile() { target_.Discard(); }

// A whole body goes to the target name, unless the caller holds it for a
// check; anything else stays beside it as "<target>.part" or goes.
bool CTavorHttpTransfer::FinishTarget(bool complete)
{
    if (complete && requiredSize_ != 0 && totalReceived_ != requiredSize_)
        complete = false;
    if (complete)
        return !commitOnSuccess_ || target_.Commit();
    if (keepPartial_ && target_.Size() > 0)
        target_.KeepPartial();
    else
        target_.Discard();
    return false;
}

bool CTavorHttpTransfer::ReceiveToFile()
{
    if (request_ == nullptr)
        return false;
    const bool opened = OpenTargetFile();
    bytesReceived_ = 0;
    totalReceived_ = 0;
    sizeLimitExceeded_ = false;
    stopped_ = false;
    if (listener_ && expectedSize_ != 0)
        listener_->OnTransferBegin(Ansi(LoadResourceString(104)).c_str(), 0, expectedSize_);
    if (!opened)
        return false;
    if (bodyObserver_)
        bodyObserver_->OnBodyStart();

    const auto block = std::make_unique<char[]>(blockSize_);
    bool result = false;
    for (;;) {
        std::size_t read = 0;
        if (!InternetReadFile(request_, block.get(), blockSize_, &read))
            break;
        if (read == 0) {
            result = true;
            break;
        }
        if (!OnData(block.get(), static_cast<std::uint32_t>(read)))
            break;
        if (listener_ && listener_->ContinueTransfer() == 0)
            break;
        if (receiver_ && receiver_->IsCancelled()) {
            stopped_ = true;
            break;
        }
    }
    return FinishTarget(result);
}

bool CTavorHttpTransfer::OnData(const char* block, std::uint32_t length)
{
    if (!target_.IsOpen())
        return false;
    if (sizeLimit_ != 0 && totalReceived_ + length > sizeLimit_) {
        sizeLimitExceeded_ = true;
        return false;
    }
    // Past the announced length the body is not the file: stop before it fills the disk.
    if (requiredSize_ != 0 && totalReceived_ + length > requiredSize_)
        return false;
    if (!target_.Write(block, length))
        return false;
    if (bodyObserver_)
        bodyObserver_->OnBodyBytes(reinterpret_cast<const std::uint8_t*>(block), length);
    bytesReceived_ += length;
    totalReceived_ += length;
    if (listener_ && expectedSize_ != 0)
        listener_->OnTransferProgress(bytesReceived_);
    if (receiver_)
        receiver_->OnProgress(static_cast<std::int32_t>(bytesReceived_));
    return true;
}

bool CTavorHttpTransfer::DownloadFromAnsiUrl(const char* url)
{
    if (url == nullptr || !CrackUrl(QzOSAL::QzWString(url, CP_ACP).GetString()))
        return false;
    return Probe();
}

bool CTavorHttpTransfer::Probe()
{
    std::uint32_t flags = 0;
    if (requireConnection_ && !InternetGetConnectedState(&flags, 0, hostName_)) {
        Error(L"Internet connect failed.");
        return false;
    }
    if (hostName_.empty() || urlPath_.empty()) {
        Error(L"Invalid server or file specified.");
        return false;
    }
    if (!OpenSession()) {
        Error(L"Opening internet subsystem failed.");
        return false;
    }
    Status(L"Connecting to Server .... ");
    if (!Connect()) {
        Error(L"Unable to connect to server.");
        return false;
    }
    Status(L"Sending request .... ");
    if (!OpenRequest() || !SendRequest()) {
        Error(L"Unable to open file on server.");
        return false;
    }
    if (!CheckStatus())
        return false;
    Status(L"Transfering file ....");
    std::vector<char> block(blockSize_);
    std::size_t read = 0;
    if (InternetReadFile(request_, block.data(), block.size(), &read) && read == blockSize_) {
        Status(L"Done.");
        return true;
    }
    Error(L"Filetransfer failed !");
    return false;
}
