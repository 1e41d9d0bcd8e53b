#include "support/TestHttpServer.h"

#include "support/LoopbackPort.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace qz::test {

namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

[[noreturn]] void Die(const char* what)
{
    throw std::runtime_error(std::string("TestHttpServer: ") + what);
}

// OpenSSL's socket BIO writes with write(), which raises SIGPIPE when the
// client has already hung up and so kills a test program that keeps the
// default disposition. This BIO is the socket BIO with send(MSG_NOSIGNAL).
int SendNoSignal(BIO* bio, const char* data, int length)
{
    int fd = -1;
    BIO_get_fd(bio, &fd);
    const ssize_t n = send(fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    BIO_clear_retry_flags(bio);
    if (n <= 0 && BIO_sock_should_retry(static_cast<int>(n))) {
        BIO_set_retry_write(bio);
    }
    return static_cast<int>(n);
}

const BIO_METHOD* NoSignalSocketMethod()
{
    static const BIO_METHOD* method = [] {
        const BIO_METHOD* socket = BIO_s_socket();
        BIO_METHOD* m = BIO_meth_new(BIO_TYPE_SOCKET, "socket without SIGPIPE");
        if (m == nullptr || BIO_meth_set_write(m, SendNoSignal) != 1 ||
            BIO_meth_set_read(m, BIO_meth_get_read(socket)) != 1 ||
            BIO_meth_set_puts(m, BIO_meth_get_puts(socket)) != 1 ||
            BIO_meth_set_ctrl(m, BIO_meth_get_ctrl(socket)) != 1 ||
            BIO_meth_set_create(m, BIO_meth_get_create(socket)) != 1 ||
            BIO_meth_set_destroy(m, BIO_meth_get_destroy(socket)) != 1) {
            Die("cannot make the socket BIO");
        }
        return m;
    }();
    return method;
}

// A certificate authority and a server certificate for 127.0.0.1 and
// localhost, made once per process; the CA's PEM file lives in a temporary
// directory that is removed at exit.
class TestPki {
  public:
    TestPki()
    {
        caKey_ = EVP_EC_gen("P-256");
        serverKey_ = EVP_EC_gen("P-256");
        if (caKey_ == nullptr || serverKey_ == nullptr) {
            Die("cannot generate keys");
        }
        caCert_ = MakeCertificate(caKey_, caKey_, nullptr, "QzAutoUpdate Test Root", true, 1);
        serverCert_ = MakeCertificate(serverKey_, caKey_, caCert_, "localhost", false, 2);

        std::string pattern = (std::filesystem::temp_directory_path() / "qz-test-tls-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            Die("cannot make a temporary directory");
        }
        dir_ = pattern;
        caFile_ = dir_ + "/ca.pem";
        FILE* file = std::fopen(caFile_.c_str(), "w");
        if (file == nullptr || PEM_write_X509(file, caCert_) != 1) {
            Die("cannot write the CA file");
        }
        std::fclose(file);
    }

    ~TestPki()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        X509_free(serverCert_);
        X509_free(caCert_);
        EVP_PKEY_free(serverKey_);
        EVP_PKEY_free(caKey_);
    }

    const std::string& CaFile() const { return caFile_; }
    X509* ServerCertificate() const { return serverCert_; }
    EVP_PKEY* ServerKey() const { return serverKey_; }

  private:
    static void AddExtension(X509* cert, X509V3_CTX* context, int nid, const char* value)
    {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, context, nid, value);
        if (extension == nullptr || X509_add_ext(cert, extension, -1) != 1) {
            Die("cannot add a certificate extension");
        }
        X509_EXTENSION_free(extension);
    }

    static X509* MakeCertificate(EVP_PKEY* key, EVP_PKEY* signer, X509* issuer, const char* commonName,
                                 bool ca, long serial)
    {
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
        X509_set_issuer_name(cert, issuer != nullptr ? X509_get_subject_name(issuer) : name);
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, issuer != nullptr ? issuer : cert, cert, nullptr, nullptr, 0);
        AddExtension(cert, &context, NID_subject_key_identifier, "hash");
        if (ca) {
            AddExtension(cert, &context, NID_basic_constraints, "critical,CA:TRUE");
            AddExtension(cert, &context, NID_key_usage, "critical,keyCertSign,cRLSign");
        } else {
            AddExtension(cert, &context, NID_authority_key_identifier, "keyid:always");
            AddExtension(cert, &context, NID_basic_constraints, "critical,CA:FALSE");
            AddExtension(cert, &context, NID_key_usage, "critical,digitalSignature,keyEncipherment");
            AddExtension(cert, &context, NID_ext_key_usage, "serverAuth");
            AddExtension(cert, &context, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
        }
        if (X509_sign(cert, signer, EVP_sha256()) == 0) {
            Die("cannot sign a certificate");
        }
        return cert;
    }

    EVP_PKEY* caKey_ = nullptr;
    EVP_PKEY* serverKey_ = nullptr;
    X509* caCert_ = nullptr;
    X509* serverCert_ = nullptr;
    std::string dir_;
    std::string caFile_;
};

TestPki& Pki()
{
    static TestPki pki;
    return pki;
}

// PatternByte laid out so that any offset's next 256 KiB are one slice.
constexpr std::size_t kPiece = 256 * 1024;

const std::string& PatternBuffer()
{
    static const std::string buffer = [] {
        std::string bytes(kPiece + 251, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = TestHttpServer::PatternByte(i);
        }
        return bytes;
    }();
    return buffer;
}

} // namespace

std::optional<std::string> RecordedRequest::Header(std::string_view name) const
{
    const std::string wanted = Lower(name);
    for (const auto& [key, value] : headers) {
        if (Lower(key) == wanted) {
            return value;
        }
    }
    return std::nullopt;
}

HttpAnswer HttpAnswer::Ok(std::string body)
{
    HttpAnswer answer;
    answer.body = std::move(body);
    return answer;
}

HttpAnswer HttpAnswer::Status(int status, std::string reason, std::string body)
{
    HttpAnswer answer;
    answer.status = status;
    answer.reason = std::move(reason);
    answer.body = std::move(body);
    return answer;
}

HttpAnswer HttpAnswer::Redirect(int status, std::string location)
{
    HttpAnswer answer = Status(status, "Moved", "moved");
    answer.headers.emplace_back("Location", std::move(location));
    return answer;
}

HttpAnswer HttpAnswer::Generated(std::uint64_t length)
{
    HttpAnswer answer;
    answer.generatedLength = length;
    return answer;
}

// One accepted connection, plain or TLS, on a non-blocking socket; every wait
// also watches the server's wake pipe so that shutdown never blocks.
struct TestHttpServer::Connection {
    const TestHttpServer* server = nullptr;
    int fd = -1;
    SSL* ssl = nullptr;
    std::string pending; // read but not yet consumed

    ~Connection()
    {
        if (ssl != nullptr) {
            if (fd >= 0) {
                SSL_shutdown(ssl);
            }
            SSL_free(ssl);
        }
        if (fd >= 0) {
            close(fd);
        }
    }

    // Waits for the socket as the TLS layer asks; false on failure or shutdown.
    bool WaitForTls(int result)
    {
        switch (SSL_get_error(ssl, result)) {
        case SSL_ERROR_WANT_READ:
            return server->WaitReady(fd, POLLIN, -1);
        case SSL_ERROR_WANT_WRITE:
            return server->WaitReady(fd, POLLOUT, -1);
        default:
            return false;
        }
    }

    bool Handshake()
    {
        for (;;) {
            const int result = SSL_accept(ssl);
            if (result == 1) {
                return true;
            }
            if (!WaitForTls(result)) {
                return false;
            }
        }
    }

    // Appends what arrives next; false at the end of the stream.
    bool Fill()
    {
        char chunk[16384];
        for (;;) {
            if (ssl != nullptr) {
                const int n = SSL_read(ssl, chunk, sizeof chunk);
                if (n > 0) {
                    pending.append(chunk, static_cast<std::size_t>(n));
                    return true;
                }
                if (!WaitForTls(n)) {
                    return false;
                }
                continue;
            }
            const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
            if (n > 0) {
                pending.append(chunk, static_cast<std::size_t>(n));
                return true;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR) || !server->WaitReady(fd, POLLIN, -1)) {
                return false;
            }
        }
    }

    bool WriteAll(const char* data, std::size_t length)
    {
        while (length > 0) {
            if (ssl != nullptr) {
                const int n = SSL_write(ssl, data, static_cast<int>(std::min<std::size_t>(length, 1 << 30)));
                if (n > 0) {
                    data += n;
                    length -= static_cast<std::size_t>(n);
                } else if (!WaitForTls(n)) {
                    return false;
                }
                continue;
            }
            const ssize_t n = send(fd, data, length, MSG_NOSIGNAL);
            if (n > 0) {
                data += n;
                length -= static_cast<std::size_t>(n);
            } else if ((errno != EAGAIN && errno != EINTR) || !server->WaitReady(fd, POLLOUT, -1)) {
                return false;
            }
        }
        return true;
    }

    bool WriteAll(std::string_view text) { return WriteAll(text.data(), text.size()); }

    // Reads until text ends with a CR LF line and takes it from pending.
    bool ReadLine(std::string& line)
    {
        for (;;) {
            const std::size_t end = pending.find("\r\n");
            if (end != std::string::npos) {
                line = pending.substr(0, end);
                pending.erase(0, end + 2);
                return true;
            }
            if (pending.size() > 1024 * 1024 || !Fill()) {
                return false;
            }
        }
    }

    bool ReadBytes(std::size_t count, std::string& out)
    {
        while (pending.size() < count) {
            if (!Fill()) {
                return false;
            }
        }
        out.append(pending, 0, count);
        pending.erase(0, count);
        return true;
    }

    // Ends the connection with a reset once the peer has what was sent.
    void Reset()
    {
        for (int waited = 0; waited < 2000; ++waited) {
            int unsent = 0;
            if (ioctl(fd, SIOCOUTQ, &unsent) != 0 || unsent == 0) {
                break;
            }
            if (!server->Pause(1)) {
                return; // shutting down
            }
        }
        linger option{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        close(fd);
        fd = -1;
    }
};

TestHttpServer::TestHttpServer(Mode mode) : mode_(mode)
{
    // A proxy configured on the test machine must not take loopback requests.
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* current = std::getenv(name);
        std::string value = current != nullptr ? current : "";
        if (value.find("127.0.0.1") == std::string::npos) {
            value += std::string(value.empty() ? "" : ",") + "127.0.0.1,localhost";
            setenv(name, value.c_str(), 1);
        }
    }
    if (pipe2(wakePipe_, O_CLOEXEC) != 0) {
        Die("cannot make the wake pipe");
    }
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = qz::test::LoopbackAddress(0);
    socklen_t length = sizeof address;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 64) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Die("cannot listen on loopback");
    }
    port_ = ntohs(address.sin_port);
    if (mode_ == Mode::Https) {
        SSL_CTX* context = SSL_CTX_new(TLS_server_method());
        if (context == nullptr || SSL_CTX_use_certificate(context, Pki().ServerCertificate()) != 1 ||
            SSL_CTX_use_PrivateKey(context, Pki().ServerKey()) != 1) {
            Die("cannot set up TLS");
        }
        sslContext_ = context;
    }
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

TestHttpServer::~TestHttpServer()
{
    const char wake = 'x';
    [[maybe_unused]] const ssize_t written = write(wakePipe_[1], &wake, 1);
    acceptor_.join();
    std::list<Worker> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (Worker& worker : workers) {
        worker.thread.join();
    }
    close(listenFd_);
    close(wakePipe_[0]);
    close(wakePipe_[1]);
    SSL_CTX_free(static_cast<SSL_CTX*>(sslContext_));
}

std::string TestHttpServer::Url(std::string_view target) const
{
    return std::string(mode_ == Mode::Https ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
           std::string(target);
}

void TestHttpServer::SetAnswer(const std::string& path, HttpAnswer answer)
{
    SetHandler(path, [answer = std::move(answer)](const RecordedRequest&) { return answer; });
}

void TestHttpServer::SetHandler(const std::string& path,
                                std::function<HttpAnswer(const RecordedRequest&)> handler)
{
    std::lock_guard lock(mutex_);
    handlers_[path] = std::move(handler);
}

namespace {

// "bytes=first-" or "bytes=first-last" of a file of length bytes.
bool ParseRange(const std::string& text, std::uint64_t length, std::uint64_t& first, std::uint64_t& end)
{
    if (Lower(text.substr(0, 6)) != "bytes=") {
        return false;
    }
    const std::size_t dash = text.find('-', 6);
    if (dash == std::string::npos || dash == 6 || text.find(',') != std::string::npos) {
        return false;
    }
    first = std::strtoull(text.c_str() + 6, nullptr, 10);
    end = dash + 1 < text.size() ? std::strtoull(text.c_str() + dash + 1, nullptr, 10) + 1 : length;
    end = std::min(end, length);
    return true;
}

} // namespace

void TestHttpServer::ServeFile(const std::string& path, ServedFile file)
{
    struct State {
        ServedFile file;
        std::mutex mutex;
    };
    auto state = std::make_shared<State>();
    state->file = std::move(file);
    SetHandler(path, [state](const RecordedRequest& request) {
        std::lock_guard lock(state->mutex);
        ServedFile& file = state->file;
        const std::uint64_t length = file.Length();
        std::uint64_t first = 0;
        std::uint64_t end = length;
        const std::optional<std::string> range = request.Header("Range");
        const std::optional<std::string> ifRange = request.Header("If-Range");
        const bool sameFile = !ifRange || (!file.etag.empty() && *ifRange == file.etag) ||
                              (!file.lastModified.empty() && *ifRange == file.lastModified);
        HttpAnswer answer;
        if (range && !file.ignoreRange && sameFile && ParseRange(*range, length, first, end)) {
            if (first >= length) {
                answer = HttpAnswer::Status(416, "Range Not Satisfiable", "");
                answer.headers.emplace_back("Content-Range", "bytes */" + std::to_string(length));
                return answer;
            }
            answer.status = 206;
            answer.reason = "Partial Content";
            answer.headers.emplace_back("Content-Range", file.contentRange
                                                             ? file.contentRange(first, length)
                                                             : "bytes " + std::to_string(first) + "-" +
                                                                   std::to_string(end - 1) + "/" +
                                                                   std::to_string(length));
            first -= std::min(first, file.earlyBytes);
        } else {
            first = 0;
            end = length;
        }
        if (!file.ignoreRange) {
            answer.headers.emplace_back("Accept-Ranges", "bytes");
        }
        if (!file.etag.empty()) {
            answer.headers.emplace_back("ETag", file.etag);
        }
        if (!file.lastModified.empty()) {
            answer.headers.emplace_back("Last-Modified", file.lastModified);
        }
        if (file.generatedLength) {
            answer.generatedLength = end - first;
            answer.generatedOffset = first;
        } else {
            answer.body = file.body.substr(first, end - first);
        }
        // Cuts the body has passed are spent; the next one ahead cuts this answer.
        while (!file.cuts.empty() && file.cuts.front() < first) {
            file.cuts.erase(file.cuts.begin());
        }
        if (!file.cuts.empty() && file.cuts.front() < end) {
            answer.resetAfter = file.cuts.front() - first;
            file.cuts.erase(file.cuts.begin());
        }
        answer.slowBytes = file.slowBytes;
        answer.slowInterval = file.slowInterval;
        return answer;
    });
}

std::vector<RecordedRequest> TestHttpServer::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

void TestHttpServer::ClearRequests()
{
    std::lock_guard lock(mutex_);
    requests_.clear();
}

std::string TestHttpServer::CaFile()
{
    return Pki().CaFile();
}

std::uint16_t TestHttpServer::UnusedPort() { return qz::test::UnusedLoopbackPort(); }

// Waits for events on fd or for timeoutMs; true only when fd became ready,
// false on time-out, error or shutdown.
bool TestHttpServer::WaitReady(int fd, short events, int timeoutMs) const
{
    pollfd fds[2] = {{wakePipe_[0], POLLIN, 0}, {fd, events, 0}};
    for (;;) {
        const int n = poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n > 0 && (fds[0].revents & POLLIN) == 0 && fds[1].revents != 0;
    }
}

// Lets milliseconds pass; false when the server is shutting down meanwhile.
bool TestHttpServer::Pause(int milliseconds) const
{
    pollfd wake = {wakePipe_[0], POLLIN, 0};
    for (;;) {
        const int n = poll(&wake, 1, milliseconds);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n == 0;
    }
}

void TestHttpServer::AcceptLoop()
{
    for (;;) {
        if (!WaitReady(listenFd_, POLLIN, -1)) {
            return;
        }
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ++connections_;
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers_.push_back({std::thread([this, fd, done] {
                                Serve(fd);
                                done->store(true);
                            }),
                            done});
    }
}

void TestHttpServer::Serve(int fd)
{
    Connection connection;
    connection.server = this;
    connection.fd = fd;
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    if (sslContext_ != nullptr) {
        connection.ssl = SSL_new(static_cast<SSL_CTX*>(sslContext_));
        BIO* bio = BIO_new(NoSignalSocketMethod());
        BIO_set_fd(bio, fd, BIO_NOCLOSE);
        SSL_set_bio(connection.ssl, bio, bio);
        if (!connection.Handshake()) {
            ERR_clear_error();
            return;
        }
    }
    while (ServeOne(connection)) {
    }
    ERR_clear_error();
}

bool TestHttpServer::ServeOne(Connection& connection)
{
    RecordedRequest request;
    request.tls = connection.ssl != nullptr;
    if (!connection.ReadLine(request.requestLine)) {
        return false;
    }
    const std::size_t methodEnd = request.requestLine.find(' ');
    const std::size_t targetEnd = request.requestLine.find(' ', methodEnd + 1);
    if (methodEnd == std::string::npos || targetEnd == std::string::npos) {
        connection.WriteAll("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        return false;
    }
    request.method = request.requestLine.substr(0, methodEnd);
    request.target = request.requestLine.substr(methodEnd + 1, targetEnd - methodEnd - 1);
    for (;;) {
        std::string line;
        if (!connection.ReadLine(line)) {
            return false;
        }
        if (line.empty()) {
            break;
        }
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            request.headers.emplace_back(std::string(Trim(std::string_view(line).substr(0, colon))),
                                         std::string(Trim(std::string_view(line).substr(colon + 1))));
        }
    }
    if (Lower(request.Header("Expect").value_or("")) == "100-continue") {
        connection.WriteAll("HTTP/1.1 100 Continue\r\n\r\n");
    }
    if (Lower(request.Header("Transfer-Encoding").value_or("")) == "chunked") {
        for (;;) {
            std::string sizeLine;
            if (!connection.ReadLine(sizeLine)) {
                return false;
            }
            const std::size_t size = std::strtoul(sizeLine.c_str(), nullptr, 16);
            if (size == 0) {
                std::string trailer;
                do {
                    if (!connection.ReadLine(trailer)) {
                        return false;
                    }
                } while (!trailer.empty());
                break;
            }
            std::string crlf;
            if (!connection.ReadBytes(size, request.body) || !connection.ReadBytes(2, crlf)) {
                return false;
            }
        }
    } else if (const auto length = request.Header("Content-Length")) {
        if (!connection.ReadBytes(std::strtoull(length->c_str(), nullptr, 10), request.body)) {
            return false;
        }
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    const HttpAnswer answer = AnswerFor(request);
    const bool keep = SendAnswer(connection, request, answer);
    return keep && Lower(request.Header("Connection").value_or("")) != "close";
}

HttpAnswer TestHttpServer::AnswerFor(const RecordedRequest& request)
{
    std::function<HttpAnswer(const RecordedRequest&)> handler;
    {
        std::lock_guard lock(mutex_);
        auto it = handlers_.find(request.target);
        if (it == handlers_.end()) {
            it = handlers_.find(request.target.substr(0, request.target.find('?')));
        }
        if (it != handlers_.end()) {
            handler = it->second;
        }
    }
    if (!handler) {
        return HttpAnswer::Status(404, "Not Found", "nothing at " + request.target);
    }
    return handler(request);
}

bool TestHttpServer::SendAnswer(Connection& connection, const RecordedRequest& request,
                                const HttpAnswer& answer)
{
    ++answering_;
    struct Done {
        std::atomic<int>& count;
        ~Done() { --count; }
    } done{answering_};
    if (answer.silence.count() > 0 && !Pause(static_cast<int>(answer.silence.count()))) {
        return false;
    }
    const std::uint64_t length = answer.generatedLength ? *answer.generatedLength : answer.body.size();
    const bool chunked = answer.framing == HttpAnswer::Framing::Chunked;
    const bool closeAfter = answer.close || answer.framing == HttpAnswer::Framing::Close ||
                            answer.resetAfter.has_value() || (chunked && answer.truncateChunks) ||
                            (answer.declaredLength && *answer.declaredLength != length);
    std::string head = answer.rawStatusLine.empty()
                           ? "HTTP/1.1 " + std::to_string(answer.status) + " " + answer.reason
                           : answer.rawStatusLine;
    head += "\r\n";
    for (const auto& [name, value] : answer.headers) {
        head += name + ": " + value + "\r\n";
    }
    if (answer.framing == HttpAnswer::Framing::ContentLength) {
        head += "Content-Length: " + std::to_string(answer.declaredLength.value_or(length)) + "\r\n";
    } else if (chunked) {
        head += "Transfer-Encoding: chunked\r\n";
    }
    if (closeAfter) {
        head += "Connection: close\r\n";
    }
    head += "\r\n";
    if (!connection.WriteAll(head)) {
        return false;
    }
    if (request.method == "HEAD") {
        return !closeAfter;
    }

    const std::uint64_t end = answer.resetAfter ? std::min(*answer.resetAfter, length) : length;
    std::size_t piece = answer.slowBytes > 0 ? answer.slowBytes : chunked ? answer.chunkSize : kPiece;
    piece = std::clamp<std::size_t>(piece, 1, kPiece);
    for (std::uint64_t offset = 0; offset < end;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(piece, end - offset));
        const char* data = answer.generatedLength
                               ? PatternBuffer().data() + (answer.generatedOffset + offset) % 251
                               : answer.body.data() + offset;
        if (chunked) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", n);
            if (!connection.WriteAll(size) || !connection.WriteAll(data, n) || !connection.WriteAll("\r\n")) {
                return false;
            }
        } else if (!connection.WriteAll(data, n)) {
            return false;
        }
        offset += n;
        if (answer.slowBytes > 0 && offset < end && !Pause(static_cast<int>(answer.slowInterval.count()))) {
            return false;
        }
    }
    if (answer.resetAfter) {
        connection.Reset();
        return false;
    }
    if (chunked && !answer.truncateChunks && !connection.WriteAll("0\r\n\r\n")) {
        return false;
    }
    return !closeAfter;
}

} // namespace qz::test
