#include "platform/internet/CurlExchange.h"

#include "platform/internet/Internet.h"
#include "platform/internet/InternetErrors.h"
#include "platform/internet/InternetText.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace qz::platform::internet {

namespace {

void InitialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string_view TrimSpace(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

bool HasHeader(const std::vector<std::string>& headers, std::string_view name)
{
    const std::string wanted = AsciiLower(name);
    return std::any_of(headers.begin(), headers.end(), [&](const std::string& line) {
        const std::size_t colon = line.find(':');
        return colon != std::string::npos && AsciiLower(TrimSpace(line.substr(0, colon))) == wanted;
    });
}

bool IsFollowedRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::uint32_t MapResult(CURLcode code, long osErrno)
{
    switch (code) {
    case CURLE_OK:
        return ERROR_SUCCESS;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT:
        return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_OUT_OF_MEMORY:
        return ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_ABORTED_BY_CALLBACK:
        return ERROR_INTERNET_OPERATION_CANCELLED;
    case CURLE_TOO_MANY_REDIRECTS:
        return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        return ERROR_INTERNET_INVALID_CA;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
        return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_BAD_CONTENT_ENCODING:
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return osErrno == ECONNRESET ? ERROR_INTERNET_CONNECTION_RESET : ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_PARTIAL_FILE:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    default:
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

} // namespace

CurlExchange::CurlExchange(ExchangeSetup setup) : setup_(std::move(setup))
{
    InitialiseCurlOnce();
}

CurlExchange::~CurlExchange()
{
    if (attached_) {
        curl_multi_remove_handle(multi_, easy_);
    }
    if (easy_ != nullptr) {
        curl_easy_cleanup(easy_);
    }
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
    }
    curl_slist_free_all(headerList_);
}

bool CurlExchange::Fail(std::uint32_t error, std::string detail)
{
    SetLastError(error, std::move(detail));
    return false;
}

bool CurlExchange::FailWithResult()
{
    long osErrno = 0;
    curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osErrno);
    const auto code = static_cast<CURLcode>(result_);
    std::string detail = errorText_[0] != '\0' ? std::string(errorText_) : curl_easy_strerror(code);
    return Fail(MapResult(code, osErrno), std::move(detail));
}

bool CurlExchange::Configure()
{
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (easy_ == nullptr || multi_ == nullptr) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY, "cannot create a transfer");
    }
    std::string host = setup_.host;
    if (host.find(':') != std::string::npos) {
        host = "[" + host + "]";
    }
    std::string target = setup_.target;
    if (target.empty() || target.front() != '/') {
        target.insert(target.begin(), '/');
    }
    const std::uint16_t port = setup_.port != 0 ? setup_.port
                               : setup_.secure  ? INTERNET_DEFAULT_HTTPS_PORT
                                                : INTERNET_DEFAULT_HTTP_PORT;
    const std::string url =
        std::string(setup_.secure ? "https://" : "http://") + host + ":" + std::to_string(port) + target;

    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlExchange::HeaderCallback);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlExchange::WriteCallback);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // An answer that does not start with "HTTP/" then reaches OnBody, which
    // keeps its first line as an unparsable status line.
    curl_easy_setopt(easy_, CURLOPT_HTTP09_ALLOWED, 1L);
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, 64L * 1024);
    // Redirects are followed here, not inside the library, so that only the
    // final answer's head is reported and only GET and HEAD are redirected.
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    // By default the Windows limits: a minute to connect, a minute without any data.
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, setup_.connectTimeoutSeconds);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, setup_.lowSpeedBytesPerSecond);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, setup_.lowSpeedSeconds);
    curl_easy_setopt(easy_, CURLOPT_TIMEOUT, setup_.totalTimeoutSeconds);
    if (!setup_.agent.empty()) {
        curl_easy_setopt(easy_, CURLOPT_USERAGENT, setup_.agent.c_str());
    }
    if (setup_.accessType == INTERNET_OPEN_TYPE_DIRECT) {
        curl_easy_setopt(easy_, CURLOPT_PROXY, "");
    } else if (setup_.accessType == INTERNET_OPEN_TYPE_PROXY) {
        curl_easy_setopt(easy_, CURLOPT_PROXY, setup_.proxy.c_str());
        curl_easy_setopt(easy_, CURLOPT_NOPROXY, setup_.proxyBypass.c_str());
    }
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    // OpenSSL's own variables select another trust store, as they do for the
    // signature check; tests trust their own root this way.
    if (const char* file = std::getenv("SSL_CERT_FILE"); file != nullptr && *file != '\0') {
        curl_easy_setopt(easy_, CURLOPT_CAINFO, file);
    }
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir != nullptr && *dir != '\0') {
        curl_easy_setopt(easy_, CURLOPT_CAPATH, dir);
    }
    if (!setup_.password.empty()) {
        curl_easy_setopt(easy_, CURLOPT_USERNAME, setup_.userName.c_str());
        curl_easy_setopt(easy_, CURLOPT_PASSWORD, setup_.password.c_str());
        curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    }

    std::vector<std::string> lines = setup_.headers;
    // Only what the caller asks for: no default Accept, no Expect handshake,
    // no form content type.
    if (!HasHeader(lines, "Accept")) {
        lines.emplace_back("Accept:");
    }
    lines.emplace_back("Expect:");
    if (!HasHeader(lines, "Content-Type")) {
        lines.emplace_back("Content-Type:");
    }
    for (const std::string& line : lines) {
        curl_slist* next = curl_slist_append(headerList_, line.c_str());
        if (next == nullptr) {
            return Fail(ERROR_NOT_ENOUGH_MEMORY, "cannot add a header");
        }
        headerList_ = next;
    }
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);

    const std::string verb = setup_.verb.empty() ? "GET" : setup_.verb;
    if (verb == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else if (verb != "GET" && verb != "POST") {
        curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, verb.c_str());
    }
    if (verb != "GET" && verb != "HEAD") {
        setup_.followRedirects = false;
    }
    return true;
}

bool CurlExchange::Start()
{
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
        return Fail(ERROR_INTERNET_INTERNAL_ERROR, "cannot start the transfer");
    }
    attached_ = true;
    lastAsked_ = std::chrono::steady_clock::now();
    return true;
}

bool CurlExchange::Send(std::string_view body)
{
    if (state_ != State::Fresh) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request was sent already");
    }
    state_ = State::Failed;
    if (!Configure()) {
        return false;
    }
    const bool post = setup_.verb == "POST";
    if (post || !body.empty()) {
        if (post) {
            curl_easy_setopt(easy_, CURLOPT_POST, 1L);
        }
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy_, CURLOPT_COPYPOSTFIELDS, body.empty() ? "" : body.data());
    }
    if (!Start()) {
        return false;
    }
    return AwaitHead();
}

bool CurlExchange::BeginUpload(std::uint64_t total)
{
    if (state_ != State::Fresh) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request was sent already");
    }
    state_ = State::Failed;
    if (!Configure()) {
        return false;
    }
    uploading_ = true;
    uploadTotal_ = total;
    curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &CurlExchange::ReadCallback);
    curl_easy_setopt(easy_, CURLOPT_READDATA, this);
    // A window in one send call: the default 64 KiB buffer costs a send and
    // a poll per 64 KiB.
    curl_easy_setopt(easy_, CURLOPT_UPLOAD_BUFFERSIZE, static_cast<long>(kUploadWindow));
    if (setup_.verb == "POST") {
        curl_easy_setopt(easy_, CURLOPT_POST, 1L);
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(total));
    } else {
        curl_easy_setopt(easy_, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(total));
    }
    if (!Start()) {
        return false;
    }
    // Connected and the request head sent once the body is asked for.
    Drive([this] { return readCalled_ || headDone_; });
    if (finished_ && !headDone_) {
        return FailWithResult();
    }
    state_ = State::Uploading;
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CurlExchange::Write(const char* data, std::size_t length)
{
    if (state_ != State::Uploading || uploadEnded_) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "no body is being sent");
    }
    if (length > uploadTotal_ - uploadWritten_) {
        return Fail(ERROR_INVALID_PARAMETER, "more bytes than the announced length");
    }
    while (length > 0) {
        if (uploadQueue_.size() == kUploadWindow && !FlushUpload()) {
            return false;
        }
        const std::size_t n = std::min(length, kUploadWindow - uploadQueue_.size());
        uploadQueue_.append(data, n);
        uploadHighWater_ = std::max(uploadHighWater_, uploadQueue_.size());
        uploadWritten_ += n;
        data += n;
        length -= n;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CurlExchange::FlushUpload()
{
    if (uploadQueue_.capacity() < kUploadWindow) {
        uploadQueue_.reserve(kUploadWindow);
    }
    Resume();
    Drive([this] { return uploadStart_ == uploadQueue_.size() || headDone_; });
    if (uploadStart_ != uploadQueue_.size()) {
        state_ = State::Failed;
        if (finished_ && result_ != CURLE_OK) {
            return FailWithResult();
        }
        return Fail(ERROR_INTERNET_CONNECTION_ABORTED, "the server answered before the body was sent");
    }
    uploadQueue_.clear();
    uploadStart_ = 0;
    return true;
}

bool CurlExchange::EndUpload()
{
    if (state_ != State::Uploading) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "no body is being sent");
    }
    if (uploadWritten_ != uploadTotal_) {
        state_ = State::Failed;
        return Fail(ERROR_INTERNET_CONNECTION_ABORTED, "the body is shorter than the announced length");
    }
    if (!FlushUpload()) {
        return false;
    }
    uploadEnded_ = true;
    Resume();
    state_ = State::Failed;
    return AwaitHead();
}

bool CurlExchange::Read(char* buffer, std::size_t length, std::size_t& read)
{
    read = 0;
    if (state_ != State::HeadReady) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "no answer to read");
    }
    if (head_.refused) {
        return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, head_.refusal);
    }
    if (cancelled_) {
        return Fail(ERROR_INTERNET_OPERATION_CANCELLED, "cancelled");
    }
    window_ = std::max(kMinimumWindow, 2 * length);
    read = std::min(length, Buffered());
    if (read > 0) {
        std::memcpy(buffer, buffer_.data() + bufferStart_, read);
        bufferStart_ += read;
        if (bufferStart_ == buffer_.size()) {
            buffer_.clear();
            bufferStart_ = 0;
        } else if (bufferStart_ >= window_) {
            buffer_.erase(0, bufferStart_);
            bufferStart_ = 0;
        }
    }
    if (read < length && !finished_) {
        // What arrives now goes straight into the caller's buffer; only the
        // overflow of a callback is kept for the next read.
        direct_ = buffer + read;
        directLeft_ = length - read;
        Resume();
        const auto start = std::chrono::steady_clock::now();
        Drive([this, start, &read] {
            return directLeft_ == 0 ||
                   (directFilled_ + read > 0 && std::chrono::steady_clock::now() - start >= kKeepGoingInterval);
        });
        read += directFilled_;
        direct_ = nullptr;
        directLeft_ = 0;
        directFilled_ = 0;
    }
    if (cancelled_) {
        read = 0;
        return Fail(ERROR_INTERNET_OPERATION_CANCELLED, "cancelled");
    }
    if (read > 0) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    if (finished_ && result_ != CURLE_OK) {
        return FailWithResult();
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

template <class Predicate> void CurlExchange::Drive(Predicate done)
{
    // lastAsked_ runs on from call to call (Start sets it): an upload of
    // many small pieces, each sent within the interval, is asked all the same.
    while (!done() && !finished_) {
        int running = 0;
        CURLMcode code = curl_multi_perform(multi_, &running);
        if (code == CURLM_OK) {
            CollectFinished();
            if (done() || finished_) {
                return;
            }
            auto now = std::chrono::steady_clock::now();
            if (now - lastAsked_ >= kKeepGoingInterval) {
                lastAsked_ = now;
                if (setup_.keepGoing && !setup_.keepGoing()) {
                    cancelled_ = true;
                    finished_ = true;
                    result_ = CURLE_ABORTED_BY_CALLBACK;
                    std::snprintf(errorText_, sizeof errorText_, "cancelled");
                    return;
                }
            }
            // Wake for the next question even when bytes keep trickling in.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(kKeepGoingInterval -
                                                                                    (now - lastAsked_));
            code = curl_multi_poll(multi_, nullptr, 0, static_cast<int>(std::max<long long>(left.count(), 1)),
                                   nullptr);
        }
        if (code != CURLM_OK) {
            finished_ = true;
            result_ = CURLE_OUT_OF_MEMORY;
            std::snprintf(errorText_, sizeof errorText_, "%s", curl_multi_strerror(code));
        }
    }
}

void CurlExchange::CollectFinished()
{
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
            finished_ = true;
            result_ = message->data.result;
        }
    }
}

void CurlExchange::Resume()
{
    const bool resumeReceive = receivePaused_ && Buffered() < window_;
    const bool resumeSend = sendPaused_;
    if (!resumeReceive && !resumeSend) {
        return;
    }
    if (resumeReceive) {
        receivePaused_ = false;
    }
    if (resumeSend) {
        sendPaused_ = false;
    }
    // The call may run the callbacks at once; they set the flags again.
    const int stillPaused = receivePaused_ ? CURLPAUSE_RECV : 0;
    curl_easy_pause(easy_, stillPaused);
}

bool CurlExchange::AwaitHead()
{
    for (;;) {
        Drive([this] { return headDone_; });
        if (!headDone_) {
            long requestSize = 0;
            curl_easy_getinfo(easy_, CURLINFO_REQUEST_SIZE, &requestSize);
            const bool refusedHead =
                (result_ == CURLE_UNSUPPORTED_PROTOCOL || result_ == CURLE_WEIRD_SERVER_REPLY) &&
                requestSize > 0 && head_.statusLine.empty();
            if (refusedHead) {
                // The server answered, but not with a status line the
                // library accepts: report it as an unparsable status.
                head_.refused = true;
                head_.refusal = errorText_[0] != '\0' ? errorText_ : "Invalid status line";
                state_ = State::HeadReady;
                SetLastError(ERROR_SUCCESS);
                return true;
            }
            return FailWithResult();
        }
        bool followed = false;
        if (!FollowRedirect(followed)) {
            return false;
        }
        if (!followed) {
            state_ = State::HeadReady;
            SetLastError(ERROR_SUCCESS);
            return true;
        }
    }
}

bool CurlExchange::FollowRedirect(bool& followed)
{
    followed = false;
    if (!discardBody_ || head_.refused) {
        return true;
    }
    if (redirects_ >= kMaxRedirects) {
        return Fail(ERROR_HTTP_REDIRECT_FAILED, "more than " + std::to_string(kMaxRedirects) + " redirects");
    }
    // The Location may be relative: resolve it against the URL just fetched.
    std::string location;
    for (const auto& [name, value] : head_.headers) {
        if (AsciiLower(name) == "location") {
            location = value;
            break;
        }
    }
    char* current = nullptr;
    curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &current);
    CURLU* url = curl_url();
    char* resolved = nullptr;
    const bool valid = url != nullptr && current != nullptr &&
                       curl_url_set(url, CURLUPART_URL, current, 0) == CURLUE_OK &&
                       curl_url_set(url, CURLUPART_URL, location.c_str(), CURLU_ALLOW_SPACE) == CURLUE_OK &&
                       curl_url_get(url, CURLUPART_URL, &resolved, 0) == CURLUE_OK;
    const std::string next = valid ? resolved : std::string();
    curl_free(resolved);
    curl_url_cleanup(url);
    if (!valid) {
        return Fail(ERROR_HTTP_REDIRECT_FAILED, "cannot follow the location \"" + location + "\"");
    }
    // What was asked for in private is never fetched in the clear.
    if (AsciiLower(std::string(current).substr(0, 8)) == "https://" && AsciiLower(next.substr(0, 7)) == "http://") {
        return Fail(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR, "refused a redirect from https to http: " + next);
    }
    ++redirects_;
    curl_multi_remove_handle(multi_, easy_);
    attached_ = false;
    curl_easy_setopt(easy_, CURLOPT_URL, next.c_str());
    head_ = ResponseHead{};
    inHeadBlock_ = false;
    headDone_ = false;
    discardBody_ = false;
    finished_ = false;
    result_ = CURLE_OK;
    errorText_[0] = '\0';
    buffer_.clear();
    bufferStart_ = 0;
    receivePaused_ = false;
    if (!Start()) {
        return false;
    }
    followed = true;
    return true;
}

int CurlExchange::StatusCode() const
{
    // The library has accepted the line, so the code is the three digits
    // after the version.
    const std::size_t space = head_.statusLine.find(' ');
    if (space == std::string::npos) {
        return 0;
    }
    return std::atoi(head_.statusLine.c_str() + space + 1);
}

std::size_t CurlExchange::HeaderCallback(char* data, std::size_t size, std::size_t count, void* self)
{
    return static_cast<CurlExchange*>(self)->OnHeader(std::string_view(data, size * count));
}

std::size_t CurlExchange::WriteCallback(char* data, std::size_t size, std::size_t count, void* self)
{
    return static_cast<CurlExchange*>(self)->OnBody(data, size * count);
}

std::size_t CurlExchange::ReadCallback(char* data, std::size_t size, std::size_t count, void* self)
{
    return static_cast<CurlExchange*>(self)->OnUploadRead(data, size * count);
}

std::size_t CurlExchange::OnHeader(std::string_view raw)
{
    if (headDone_) {
        return raw.size(); // trailers of a chunked body
    }
    std::string_view line = raw;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (!inHeadBlock_) {
        head_.statusLine = std::string(line);
        head_.headers.clear();
        inHeadBlock_ = true;
        return raw.size();
    }
    if (line.empty()) {
        inHeadBlock_ = false;
        const int status = StatusCode();
        if (status >= 200) {
            headDone_ = true;
            const bool hasLocation =
                std::any_of(head_.headers.begin(), head_.headers.end(),
                            [](const auto& h) { return AsciiLower(h.first) == "location"; });
            discardBody_ = setup_.followRedirects && IsFollowedRedirect(status) && hasLocation;
        }
        return raw.size();
    }
    if ((line.front() == ' ' || line.front() == '\t') && !head_.headers.empty()) {
        head_.headers.back().second += " ";
        head_.headers.back().second += TrimSpace(line);
        return raw.size();
    }
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        head_.headers.emplace_back(std::string(TrimSpace(line.substr(0, colon))),
                                   std::string(TrimSpace(line.substr(colon + 1))));
    }
    return raw.size();
}

std::size_t CurlExchange::OnBody(const char* data, std::size_t length)
{
    if (!headDone_) {
        // No status line was recognised: the answer is not HTTP/1.x.
        const std::string_view text(data, length);
        head_.refused = true;
        head_.refusal = std::string(TrimSpace(text.substr(0, std::min(text.find('\n'), std::size_t{256}))));
        headDone_ = true;
        discardBody_ = true;
    }
    if (discardBody_) {
        return length;
    }
    if (directLeft_ > 0) {
        const std::size_t n = std::min(length, directLeft_);
        std::memcpy(direct_ + directFilled_, data, n);
        directFilled_ += n;
        directLeft_ -= n;
        data += n;
        length -= n;
        if (length == 0) {
            return n;
        }
        // The rest of this piece is kept whatever the window: a pause would
        // have libcurl deliver the part already taken again.
        buffer_.append(data, length);
        highWater_ = std::max(highWater_, Buffered());
        return n + length;
    }
    if (Buffered() >= window_) {
        receivePaused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (bufferStart_ > 0 && bufferStart_ == buffer_.size()) {
        buffer_.clear();
        bufferStart_ = 0;
    }
    buffer_.append(data, length);
    highWater_ = std::max(highWater_, Buffered());
    return length;
}

std::size_t CurlExchange::OnUploadRead(char* data, std::size_t capacity)
{
    readCalled_ = true;
    const std::size_t queued = uploadQueue_.size() - uploadStart_;
    if (queued == 0) {
        if (uploadEnded_) {
            return 0;
        }
        sendPaused_ = true;
        return CURL_READFUNC_PAUSE;
    }
    const std::size_t n = std::min(capacity, queued);
    std::memcpy(data, uploadQueue_.data() + uploadStart_, n);
    uploadStart_ += n;
    return n;
}

} // namespace qz::platform::internet
