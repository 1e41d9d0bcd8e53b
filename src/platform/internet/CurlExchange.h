// One HTTP exchange driven through libcurl's multi interface on the caller's
// thread: send, wait for the answer's head, then pull the body in the
// caller's steps. The transfer is paused while the caller has not taken what
// arrived, so at most a small window of the body is held in memory.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

typedef void CURL;
typedef void CURLM;
struct curl_slist;

namespace qz::platform::internet {

/// What a request needs to know before it is sent.
struct ExchangeSetup {
    std::string agent;
    std::uint32_t accessType = 0;
    std::string proxy;
    std::string proxyBypass;
    bool secure = false;
    std::string host;
    std::uint16_t port = 0;
    std::string userName;
    std::string password;
    std::string verb = "GET";
    std::string target = "/"; ///< Escaped path and query.
    bool followRedirects = true;
    std::vector<std::string> headers; ///< "Name: value" lines.
    /// Asked at least every kKeepGoingInterval while a call waits; false
    /// cancels the exchange.
    std::function<bool()> keepGoing;
    long connectTimeoutSeconds = 60;
    /// Fewer bytes a second than this for lowSpeedSeconds is a time-out.
    long lowSpeedBytesPerSecond = 1;
    long lowSpeedSeconds = 60;
    long totalTimeoutSeconds = 0; ///< 0: none.
};

/// The final answer's status line and headers.
struct ResponseHead {
    std::string statusLine;
    std::vector<std::pair<std::string, std::string>> headers;
    /// The connection library refused the status line; refusal holds its words.
    bool refused = false;
    std::string refusal;
};

class CurlExchange {
  public:
    /// Redirects followed in a row before the request fails.
    static constexpr int kMaxRedirects = 10;
    /// Least body window; the window is twice the caller's read size above it.
    static constexpr std::size_t kMinimumWindow = 64 * 1024;
    /// Longest a call waits without asking keepGoing; a read that waits this
    /// long returns what has arrived, so progress shows whatever the rate.
    static constexpr std::chrono::milliseconds kKeepGoingInterval{250};
    /// Body bytes gathered from Write before they go to the connection: small
    /// writes leave in large pieces, and no more than this is ever held.
    static constexpr std::size_t kUploadWindow = 1024 * 1024;

    explicit CurlExchange(ExchangeSetup setup);
    ~CurlExchange();
    CurlExchange(const CurlExchange&) = delete;
    CurlExchange& operator=(const CurlExchange&) = delete;

    /// Sends with a whole body (possibly empty) and waits for the final head.
    bool Send(std::string_view body);
    /// Starts a request whose body of total bytes follows through Write.
    bool BeginUpload(std::uint64_t total);
    /// Takes one piece of the body. Pieces are gathered and sent once
    /// kUploadWindow bytes wait, so a failure of the connection may be
    /// reported by a later Write or by EndUpload.
    bool Write(const char* data, std::size_t length);
    /// Sends what is gathered, ends the body and waits for the final head.
    bool EndUpload();
    /// Fills buffer up to length bytes; less at the end of the body, or when
    /// some bytes arrived and kKeepGoingInterval passed.
    bool Read(char* buffer, std::size_t length, std::size_t& read);

    /// True once the final head is in.
    bool HeadReady() const { return state_ == State::HeadReady; }
    const ResponseHead& Head() const { return head_; }
    /// Most body bytes held at once so far.
    std::size_t BufferHighWater() const { return highWater_; }
    /// Most upload bytes held at once so far.
    std::size_t UploadHighWater() const { return uploadHighWater_; }

  private:
    enum class State { Fresh, Uploading, HeadReady, Failed };

    static std::size_t HeaderCallback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t WriteCallback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t ReadCallback(char* data, std::size_t size, std::size_t count, void* self);
    std::size_t OnHeader(std::string_view line);
    std::size_t OnBody(const char* data, std::size_t length);
    std::size_t OnUploadRead(char* data, std::size_t capacity);

    bool Configure();
    bool Start();
    template <class Predicate> void Drive(Predicate done);
    void CollectFinished();
    void Resume();
    bool AwaitHead();
    bool FlushUpload();
    bool FollowRedirect(bool& followed);
    bool FailWithResult();
    bool Fail(std::uint32_t error, std::string detail);
    int StatusCode() const;
    std::size_t Buffered() const { return buffer_.size() - bufferStart_; }

    ExchangeSetup setup_;
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* headerList_ = nullptr;
    bool attached_ = false;
    char errorText_[256] = {};

    State state_ = State::Fresh;
    ResponseHead head_;
    bool inHeadBlock_ = false;
    bool headDone_ = false;
    bool discardBody_ = false;
    int redirects_ = 0;

    bool finished_ = false;
    int result_ = 0;
    bool cancelled_ = false;
    std::chrono::steady_clock::time_point lastAsked_{};

    std::string buffer_;
    std::size_t bufferStart_ = 0;
    std::size_t window_ = kMinimumWindow;
    std::size_t highWater_ = 0;
    bool receivePaused_ = false;
    // The caller's buffer while a read waits: filled first, before buffer_.
    char* direct_ = nullptr;
    std::size_t directLeft_ = 0;
    std::size_t directFilled_ = 0;

    bool uploading_ = false;
    std::uint64_t uploadTotal_ = 0;
    std::uint64_t uploadWritten_ = 0;
    std::string uploadQueue_;
    std::size_t uploadStart_ = 0;
    std::size_t uploadHighWater_ = 0;
    bool uploadEnded_ = false;
    bool sendPaused_ = false;
    bool readCalled_ = false;
};

} // namespace qz::platform::internet
