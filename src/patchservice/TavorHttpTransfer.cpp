#include "patchservice/TavorHttpTransfer.h"

#include "osal/QzString.h"
#include "patchservice/ResumeRecord.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"
#include "platform/StringLoader.h"
#include "platform/UserQuestion.h"
#include "platform/Utf8.h"
#include "platform/WinFormat.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <thread>

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

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (const wchar_t c : text)
        AppendUtf8(out, static_cast<char32_t>(c));
    return out;
}

// Digits only, no sign, no overflow.
bool ParseLength(std::wstring_view text, std::uint64_t& value)
{
    if (text.empty() || text.size() > 19)
        return false;
    value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return true;
}

// "bytes first-last/total"; an unknown total ("*") is no use to us.
bool ParseContentRange(std::wstring_view text, std::uint64_t& first, std::uint64_t& last, std::uint64_t& total)
{
    const std::wstring_view unit = L"bytes ";
    if (text.size() < unit.size())
        return false;
    for (std::size_t i = 0; i < unit.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(text[i])) != static_cast<wint_t>(unit[i]))
            return false;
    }
    text.remove_prefix(unit.size());
    const std::size_t dash = text.find(L'-');
    const std::size_t slash = text.find(L'/');
    return dash != std::wstring_view::npos && slash != std::wstring_view::npos && dash < slash &&
           ParseLength(text.substr(0, dash), first) && ParseLength(text.substr(dash + 1, slash - dash - 1), last) &&
           ParseLength(text.substr(slash + 1), total) && first <= last && last < total;
}

// Longer validators are not kept: a record must stay small, and so must the
// If-Range line that sends one back.
constexpr std::size_t kMaxValidator = 1024;

// What If-Range may carry: a strong entity tag; the modification date only
// where the answer has no entity tag at all, as a weak one means the server
// itself does not vouch for the bytes.
std::wstring AnswerValidator(HINTERNET request)
{
    std::wstring value;
    if (HttpQueryHeader(request, L"ETag", value) && !value.empty()) {
        if (value.rfind(L"W/", 0) == 0)
            return {};
    } else if (!HttpQueryHeader(request, L"Last-Modified", value)) {
        return {};
    }
    const bool printable = std::all_of(value.begin(), value.end(), [](wchar_t c) { return c >= 0x20 && c != 0x7F; });
    return printable && value.size() <= kMaxValidator ? value : std::wstring();
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
    reportServerErrors_ = false;
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
    contentLength_ = 0;
    receiver_ = nullptr;
    cancelCheck_ = nullptr;
    timeouts_ = kDownloadTimeouts;
    sizeLimit_ = 0;
    requiredSize_ = 0;
    commitOnSuccess_ = true;
    keepPartial_ = true;
    resume_ = false;
    resumePause_ = std::chrono::milliseconds(1000);
    bodyObserver_ = nullptr;
    logSink_ = nullptr;
    url_.clear();
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

void CTavorHttpTransfer::Log(const std::wstring& line) const
{
    if (logSink_)
        logSink_(line);
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
    url_ = url;
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
    // No URL to name in a record: nothing of this transfer is resumed.
    url_.clear();
    return Transfer();
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
    std::wstring headers;
    if (rangeFrom_ > 0)
        headers = FormatW(L"Range: bytes=%I64u-\r\nIf-Range: %s", static_cast<unsigned long long>(rangeFrom_),
                          validator_.c_str());
    const bool sent = HttpSendRequest(request_, headers);
    if (sent) {
        std::wstring raw;
        std::int32_t status = 0;
        std::uint64_t size = 0;
        if (ReadStatusCode(status, raw) && IsGoodStatus(status)) {
            std::wstring value;
            if (HttpQueryInfo(request_, HTTP_QUERY_CONTENT_LENGTH, value))
                contentLength_ = ToInt32(value);
            else if (contentLength_ == 0 && HttpQueryInfo(request_, HTTP_QUERY_TRANSFER_ENCODING, value))
                chunked_ = value == L"chunked";
            size = static_cast<std::uint64_t>(contentLength_);
            // The rest of a file is reported as the whole file, as progress is.
            std::uint64_t first = 0, last = 0, total = 0;
            if (status == 206 && rangeFrom_ > 0 && HttpQueryHeader(request_, L"Content-Range", value) &&
                ParseContentRange(value, first, last, total))
                size = total;
        }
        if (receiver_)
            receiver_->SetPatchSize(size);
    }
    return sent;
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
    PrepareResume();
    if (!SendResumable()) {
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

std::string CTavorHttpTransfer::NativeTarget() const { return NativeFileName(targetFile_); }

// A whole body goes to the target name, unless the caller holds it for a
// check; anything else stays beside it as "<target>.part" or goes.
bool CTavorHttpTransfer::FinishTarget(bool complete)
{
    // Nothing is left to continue of a body that ended, whatever its length,
    // nor of a partial file an earlier try left without a record.
    if (complete && resume_) {
        CResumeRecord::Remove(NativeTarget());
        const std::string partial = NativeTarget() + std::string(StagedFile::kPartialSuffix);
        if (target_.CurrentName() != partial)
            ::unlink(partial.c_str());
    }
    if (complete && requiredSize_ != 0 && totalReceived_ != requiredSize_)
        complete = false;
    if (complete)
        return !commitOnSuccess_ || target_.Commit();
    if (keepPartial_ && target_.Size() > 0) {
        target_.KeepPartial();
    } else {
        target_.Remove();
        if (resume_)
            CResumeRecord::Remove(NativeTarget());
    }
    return false;
}

void CTavorHttpTransfer::PrepareResume()
{
    rangeFrom_ = 0;
    validator_.clear();
    total_ = 0;
    continuing_ = false;
    resumedFrom_ = 0;
    resumeCount_ = 0;
    if (!resume_ || url_.empty())
        return;
    const std::string name = NativeTarget();
    struct stat st {};
    // No record is the common case; one we cannot take up is worth a line.
    if (::lstat(CResumeRecord::NameFor(name).c_str(), &st) != 0)
        return;
    std::string problem;
    const std::optional<CResumeRecord> record = CResumeRecord::Load(name, problem);
    if (!record) {
        Log(FormatW(L"CTavorHttpTransfer::Transfer(): the partial file of %s is not continued: %s.",
                    targetFile_.c_str(), WideFileName(problem).c_str()));
        return;
    }
    // Another URL, or another length than the service now announces, is another file.
    if (record->url != Utf8(url_) || (requiredSize_ != 0 && record->total != requiredSize_))
        return;
    StagedFile partial;
    if (!partial.ContinuePartial(name, problem)) {
        Log(FormatW(L"CTavorHttpTransfer::Transfer(): the partial file of %s is not continued: %s.",
                    targetFile_.c_str(), WideFileName(problem).c_str()));
        return;
    }
    if (partial.Size() == 0 || partial.Size() >= record->total)
        return;
    rangeFrom_ = partial.Size();
    validator_ = QzOSAL::QzWString(record->validator.c_str(), CP_UTF8).GetString();
    total_ = record->total;
    target_ = std::move(partial);
}

// Sends the request, asking only for the rest when a partial file is held.
// A server that does not continue it is asked once more for the whole file,
// unless its answer already is the whole file (200).
bool CTavorHttpTransfer::SendResumable()
{
    continuing_ = false;
    if (!OpenRequest() || !SendRequest())
        return false;
    if (rangeFrom_ == 0)
        return true;
    std::wstring why;
    if (AnswerContinues(why)) {
        continuing_ = true;
        return true;
    }
    Log(FormatW(L"CTavorHttpTransfer::Transfer(): the partial file is not continued (%s); starting from zero.",
                why.c_str()));
    rangeFrom_ = 0;
    std::wstring raw;
    std::int32_t status = 0;
    if (ReadStatusCode(status, raw) && status == 200)
        return true;
    return OpenRequest() && SendRequest();
}

bool CTavorHttpTransfer::AnswerContinues(std::wstring& why)
{
    std::wstring raw;
    std::int32_t status = 0;
    if (!ReadStatusCode(status, raw) || status != 206) {
        why = L"the server answered " + raw;
        return false;
    }
    std::wstring range;
    std::uint64_t first = 0, last = 0, total = 0;
    if (!HttpQueryHeader(request_, L"Content-Range", range) || !ParseContentRange(range, first, last, total) ||
        first != rangeFrom_ || last + 1 != total || total != total_) {
        why = L"the server answered 206 with Content-Range \"" + range + L"\"";
        return false;
    }
    // A body of another length than the range it names is not that range.
    std::wstring length;
    std::uint64_t bytes = 0;
    if (HttpQueryInfo(request_, HTTP_QUERY_CONTENT_LENGTH, length) &&
        (!ParseLength(length, bytes) || bytes != last - first + 1)) {
        why = L"the server answered 206 with Content-Length " + length + L" for Content-Range \"" + range + L"\"";
        return false;
    }
    // If-Range already asked for this validator; an answer naming another one
    // is not the file the partial one belongs to.
    const std::wstring answered = AnswerValidator(request_);
    if (!answered.empty() && answered != validator_) {
        why = L"the server answered 206 for " + answered;
        return false;
    }
    return true;
}

// The partial file goes on: the bytes on disk count as received.
bool CTavorHttpTransfer::ContinueTarget()
{
    totalReceived_ = target_.Size();
    bytesReceived_ = static_cast<std::uint32_t>(totalReceived_);
    if (resumedFrom_ == 0 && resumeCount_ == 0)
        resumedFrom_ = totalReceived_;
    Log(FormatW(L"CTavorHttpTransfer::ReceiveToFile(): resumed at %I64u of %I64u bytes.",
                static_cast<unsigned long long>(totalReceived_), static_cast<unsigned long long>(total_)));
    // A file continued from an earlier run is seen whole, from its start.
    if (bodyObserver_ && resumeCount_ == 0) {
        bodyObserver_->OnBodyStart();
        std::vector<char> block(blockSize_);
        for (std::uint64_t offset = 0; offset < totalReceived_;) {
            const ssize_t n = ::pread(target_.Descriptor(), block.data(),
                                      static_cast<std::size_t>(std::min<std::uint64_t>(block.size(),
                                                                                        totalReceived_ - offset)),
                                      static_cast<off_t>(offset));
            if (n <= 0)
                return false;
            bodyObserver_->OnBodyBytes(reinterpret_cast<const std::uint8_t*>(block.data()), static_cast<std::size_t>(n));
            offset += static_cast<std::uint64_t>(n);
        }
    }
    if (receiver_)
        receiver_->OnProgress(static_cast<std::int32_t>(bytesReceived_));
    return true;
}

// A new body: with a validator and a length it takes the partial name at
// once and gets its record, so that even a crash of the host leaves it to
// be continued.
void CTavorHttpTransfer::StartFile()
{
    if (bodyObserver_)
        bodyObserver_->OnBodyStart();
    totalReceived_ = 0;
    bytesReceived_ = 0;
    validator_.clear();
    total_ = 0;
    if (!resume_ || url_.empty() || !target_.IsOpen())
        return;
    const std::string name = NativeTarget();
    // An old record must never describe the new file.
    CResumeRecord::Remove(name);
    std::wstring length;
    if (statusCode_ < 200 || statusCode_ > 203 || chunked_ ||
        !HttpQueryInfo(request_, HTTP_QUERY_CONTENT_LENGTH, length) || !ParseLength(length, total_) || total_ == 0)
        return;
    const std::wstring validator = AnswerValidator(request_);
    const CResumeRecord record{Utf8(url_), Utf8(validator), total_};
    if (validator.empty() || !target_.KeepPartial() || !record.Save(name)) {
        CResumeRecord::Remove(name);
        total_ = 0;
        return;
    }
    validator_ = validator;
}

bool CTavorHttpTransfer::PauseBeforeResume()
{
    const auto end = std::chrono::steady_clock::now() + resumePause_;
    for (;;) {
        if (ShouldStop())
            return false;
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(50)));
    }
}

// A connection that dropped in the middle of the body is asked for the rest;
// a server that will not continue sends the whole file again.
bool CTavorHttpTransfer::ResumeAfterDrop()
{
    if (!resume_ || !readFailed_ || stopped_ || validator_.empty() || resumeCount_ >= kMaxResumes)
        return false;
    const std::uint32_t error = InternetGetLastError();
    // A time-out is a dead server, not a dropped connection.
    if (error == ERROR_INTERNET_TIMEOUT || error == ERROR_INTERNET_OPERATION_CANCELLED)
        return false;
    ++resumeCount_;
    Log(FormatW(L"CTavorHttpTransfer::ReceiveToFile(): the connection dropped at %I64u of %I64u bytes; "
                L"resuming (%d of %d).",
                static_cast<unsigned long long>(totalReceived_), static_cast<unsigned long long>(total_),
                resumeCount_, kMaxResumes));
    if (!PauseBeforeResume())
        return false;
    rangeFrom_ = target_.Size();
    if (!SendResumable() || !CheckStatus())
        return false;
    if (continuing_) {
        target_.SetContinued();
        return ContinueTarget();
    }
    // Whole again: a new file replaces the partial one.
    if (!target_.Create(NativeTarget()))
        return false;
    StartFile();
    return true;
}

bool CTavorHttpTransfer::ReceiveToFile()
{
    if (request_ == nullptr)
        return false;
    const bool opened = continuing_ ? target_.IsOpen() : OpenTargetFile();
    bytesReceived_ = 0;
    totalReceived_ = 0;
    sizeLimitExceeded_ = false;
    stopped_ = false;
    if (listener_ && expectedSize_ != 0)
        listener_->OnTransferBegin(Ansi(LoadResourceString(104)).c_str(), 0, expectedSize_);
    if (!opened)
        return false;
    if (!continuing_)
        StartFile();
    else if (!ContinueTarget())
        return FinishTarget(false);

    const auto block = std::make_unique<char[]>(blockSize_);
    bool result = false;
    for (;;) {
        readFailed_ = false;
        for (;;) {
            std::size_t read = 0;
            const std::span<std::uint8_t> room = bodyObserver_ ? bodyObserver_->BodyRoom(blockSize_)
                                                               : std::span<std::uint8_t>();
            char* const into = room.empty() ? block.get() : reinterpret_cast<char*>(room.data());
            if (!InternetReadFile(request_, into, room.empty() ? blockSize_ : room.size(), &read)) {
                readFailed_ = true;
                break;
            }
            if (read == 0) {
                result = true;
                break;
            }
            if (!OnData(into, static_cast<std::uint32_t>(read)))
                break;
            if (listener_ && listener_->ContinueTransfer() == 0) {
                stopped_ = true;
                break;
            }
            if (receiver_ && receiver_->IsCancelled()) {
                stopped_ = true;
                break;
            }
        }
        if (result || !ResumeAfterDrop())
            break;
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
