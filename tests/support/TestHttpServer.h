// A loopback HTTP and HTTPS server for tests. It answers each path with a
// scripted answer, including faulty ones (wrong lengths, truncated chunks,
// resets, slow bodies, broken status lines), and records every request it
// received. It listens on 127.0.0.1 on an ephemeral port; an acceptor thread
// hands each connection to a thread of its own. Creating one adds 127.0.0.1
// and localhost to no_proxy, so a proxy set on the machine is bypassed.
//
// Code bound to a fixed port (80) is tested by pointing http_proxy at a
// server and using a host name under .invalid: its requests then arrive with
// absolute targets ("http://crm.test.invalid/up.php"), which SetAnswer takes
// as paths like any other.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace qz::test {

/// One request as the server read it.
struct RecordedRequest {
    std::string requestLine; ///< e.g. "GET /a?b=1 HTTP/1.1"
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body; ///< Raw body bytes, de-chunked when sent chunked.
    bool tls = false;

    /// The first value of a header (name case-insensitive), or nullopt.
    std::optional<std::string> Header(std::string_view name) const;
};

/// How the server answers a request.
struct HttpAnswer {
    enum class Framing {
        ContentLength, ///< Content-Length of the body (or declaredLength).
        Chunked,       ///< Transfer-Encoding: chunked, chunkSize bytes a chunk.
        Close,         ///< No length; the end of the body closes the connection.
    };

    int status = 200;
    std::string reason = "OK";
    /// Sent verbatim in place of "HTTP/1.1 <status> <reason>" when not empty.
    std::string rawStatusLine;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    /// When set, the body is generatedLength bytes of PatternByte, streamed
    /// without being held in memory.
    std::optional<std::uint64_t> generatedLength;
    /// Where in the pattern a generated body starts (the rest of a file).
    std::uint64_t generatedOffset = 0;

    Framing framing = Framing::ContentLength;
    /// A Content-Length to announce instead of the true one; when it is larger
    /// the server closes the connection after the real body.
    std::optional<std::uint64_t> declaredLength;
    std::size_t chunkSize = 1000;
    /// Chunked only: close after the body without the last (empty) chunk.
    bool truncateChunks = false;
    /// Reset the connection (RST) after this many body bytes.
    std::optional<std::uint64_t> resetAfter;
    /// A slow body: slowBytes bytes, then a pause of slowInterval, and so on.
    std::size_t slowBytes = 0;
    std::chrono::milliseconds slowInterval{0};
    /// Close the connection after this answer.
    bool close = false;
    /// A silent server: nothing is sent for this long (or until the server
    /// is destroyed), then the answer.
    std::chrono::milliseconds silence{0};

    static HttpAnswer Ok(std::string body);
    static HttpAnswer Status(int status, std::string reason, std::string body);
    static HttpAnswer Redirect(int status, std::string location);
    static HttpAnswer Generated(std::uint64_t length);
};

/// A file served as a web server serves one: validators, Range and If-Range
/// honoured, with faults scripted on top.
struct ServedFile {
    std::string body;
    /// When set, the file is generatedLength bytes of PatternByte.
    std::optional<std::uint64_t> generatedLength;
    std::string etag;         ///< Sent, and matched by If-Range, when not empty.
    std::string lastModified; ///< The same for Last-Modified.
    /// Range is not understood: every answer is the whole file with 200.
    bool ignoreRange = false;
    /// Offsets of the file at which the connection is reset, each once, in order.
    std::vector<std::uint64_t> cuts;
    /// When set, the Content-Range a 206 claims, made from the true first
    /// offset and length of the file: a lie.
    std::function<std::string(std::uint64_t first, std::uint64_t total)> contentRange;
    /// A 206 whose body starts this many bytes before the range its
    /// Content-Range names (Content-Length counts them): a lie in the body.
    std::uint64_t earlyBytes = 0;
    /// A slow body, as in HttpAnswer.
    std::size_t slowBytes = 0;
    std::chrono::milliseconds slowInterval{0};

    std::uint64_t Length() const { return generatedLength ? *generatedLength : body.size(); }
};

class TestHttpServer {
  public:
    enum class Mode { Http, Https };

    explicit TestHttpServer(Mode mode = Mode::Http);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    std::uint16_t Port() const { return port_; }
    /// "http://127.0.0.1:<port>" (or https) followed by target.
    std::string Url(std::string_view target) const;

    /// Answers requests whose target, or whose path without query, is path.
    /// Unscripted paths get 404.
    void SetAnswer(const std::string& path, HttpAnswer answer);
    /// Computes the answer from the request, on the connection's thread.
    void SetHandler(const std::string& path, std::function<HttpAnswer(const RecordedRequest&)> handler);
    /// Serves a file at path: 200, 206 for "Range: bytes=N-" or "bytes=N-M"
    /// (unless an If-Range names another validator), 416 past its end.
    void ServeFile(const std::string& path, ServedFile file);

    /// Every request received so far, complete with its body, in order.
    std::vector<RecordedRequest> Requests() const;
    void ClearRequests();
    /// Connections accepted so far.
    int ConnectionCount() const { return connections_.load(); }
    /// Answers being sent right now: one whose client went away ends, one
    /// whose client still holds the connection waits.
    int AnswersInProgress() const { return answering_.load(); }

    /// The byte at offset of a generated body.
    static char PatternByte(std::uint64_t offset) { return static_cast<char>(offset % 251); }
    /// The PEM file of the certificate authority that signed the HTTPS
    /// server's certificate (made at first use, valid for a day, removed at exit).
    static std::string CaFile();
    /// A loopback port on which nothing listens.
    static std::uint16_t UnusedPort();

  private:
    struct Connection;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void AcceptLoop();
    void Serve(int fd);
    bool ServeOne(Connection& connection);
    HttpAnswer AnswerFor(const RecordedRequest& request);
    bool SendAnswer(Connection& connection, const RecordedRequest& request, const HttpAnswer& answer);
    bool WaitReady(int fd, short events, int timeoutMs) const;
    bool Pause(int milliseconds) const;

    Mode mode_;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    void* sslContext_ = nullptr;
    std::atomic<int> connections_{0};
    std::atomic<int> answering_{0};

    mutable std::mutex mutex_;
    std::map<std::string, std::function<HttpAnswer(const RecordedRequest&)>> handlers_;
    std::vector<RecordedRequest> requests_;
    std::list<Worker> workers_;

    std::thread acceptor_;
};

} // namespace qz::test
