#include "platform/internet/Internet.h"
#include "platform/internet/InternetTestApi.h"
#include "support/RawHttpServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h" // Wide
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace qz::platform;
using qz::test::HttpAnswer;
using qz::test::RawHttpServer;
using qz::test::TestHttpServer;
using qz::test::Wide;

namespace {

// Closes a handle at the end of a scope.
struct Handle {
    explicit Handle(HINTERNET h = nullptr) : handle(h) {}
    ~Handle()
    {
        if (handle != nullptr)
            InternetCloseHandle(handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator HINTERNET() const { return handle; }
    HINTERNET handle;
};

std::string Pattern(std::uint64_t offset, std::size_t length)
{
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = TestHttpServer::PatternByte(offset + i);
    }
    return bytes;
}

// A body and the error that ended it, 0 when it ended cleanly.
using Read = std::pair<std::string, std::uint32_t>;

// A request opened the way the transfer engine opens one.
struct Exchange {
    Handle session{InternetOpen(L"TestAgent", INTERNET_OPEN_TYPE_PRECONFIG)};
    Handle connection;
    Handle request;

    Exchange(const std::string& url, const std::wstring& verb = L"GET")
    {
        UrlComponents parts;
        if (!InternetCrackUrl(Wide(url), ICU_DECODE, parts)) {
            ADD_FAILURE() << "cannot crack " << url;
            return;
        }
        connection.handle = InternetConnect(session, parts.hostName, parts.port, L"TavorHttpUser", L"",
                                            INTERNET_SERVICE_HTTP, 0, 0);
        const std::uint32_t flags =
            INTERNET_FLAG_DONT_CACHE | (parts.scheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
        request.handle =
            HttpOpenRequest(connection, verb, parts.urlPath + parts.extraInfo, L"", L"", {L"*/*"}, flags, 0);
    }

    // A header the answer lacks reads "<absent>"; any other failure shows its error.
    std::wstring Query(std::uint32_t level)
    {
        std::wstring value;
        if (HttpQueryInfo(request, level, value)) {
            return value;
        }
        const std::uint32_t error = InternetGetLastError();
        return error == ERROR_HTTP_HEADER_NOT_FOUND ? std::wstring(L"<absent>")
                                                    : L"<error " + std::to_wstring(error) + L">";
    }

    Read ReadAll(std::size_t block, std::vector<std::size_t>* sizes = nullptr)
    {
        Read read{"", 0};
        std::vector<char> buffer(block);
        std::size_t got = 0;
        while (InternetReadFile(request, buffer.data(), buffer.size(), &got)) {
            if (got == 0) {
                return read;
            }
            if (sizes != nullptr) {
                sizes->push_back(got);
            }
            read.first.append(buffer.data(), got);
        }
        read.second = InternetGetLastError();
        return read;
    }
};

} // namespace

TEST(InternetCrackUrl, SplitsAndDecodesUrls)
{
    using Parts = std::tuple<InternetScheme, std::wstring, std::wstring, std::uint16_t, std::wstring,
                             std::wstring, std::wstring, std::wstring>;
    const auto parts = [](const UrlComponents& p) {
        return Parts(p.scheme, p.schemeName, p.hostName, p.port, p.userName, p.password, p.urlPath,
                     p.extraInfo);
    };
    // Without ICU_DECODE the escapes stay; a lone invalid UTF-8 byte decodes
    // to the character of the same number.
    const std::tuple<const wchar_t*, std::uint32_t, Parts> cases[] = {
        {L"https://updates.example.com/patch/query.php?program=X&v=1#top", 0,
         {INTERNET_SCHEME_HTTPS, L"https", L"updates.example.com", 443, L"", L"", L"/patch/query.php",
          L"?program=X&v=1#top"}},
        {L"HTTP://host:8080", 0, {INTERNET_SCHEME_HTTP, L"HTTP", L"host", 8080, L"", L"", L"", L""}},
        {L"http://host/a#frag", 0, {INTERNET_SCHEME_HTTP, L"http", L"host", 80, L"", L"", L"/a", L"#frag"}},
        {L"https://user:pa%3Ass@[::1]:8443/x%20y/%C3%A4.exe?q=%41%zz", ICU_DECODE,
         {INTERNET_SCHEME_HTTPS, L"https", L"::1", 8443, L"user", L"pa:ss", L"/x y/\u00e4.exe", L"?q=A%zz"}},
        {L"http://h/x%20y", 0, {INTERNET_SCHEME_HTTP, L"http", L"h", 80, L"", L"", L"/x%20y", L""}},
        {L"http://h/%E4", ICU_DECODE, {INTERNET_SCHEME_HTTP, L"http", L"h", 80, L"", L"", L"/\u00e4", L""}},
    };
    UrlComponents parsed;
    for (const auto& [url, flags, expected] : cases) {
        ASSERT_TRUE(InternetCrackUrl(url, flags, parsed)) << url;
        EXPECT_EQ(parts(parsed), expected) << url;
    }

    for (const wchar_t* bad :
         {L"", L"garbage", L"://host/", L"1http://host/", L"http:host/path", L"http:///path",
          L"http://host:80x/", L"http://host:65536/", L"http://[::1/"}) {
        EXPECT_FALSE(InternetCrackUrl(bad, ICU_DECODE, parsed)) << bad;
        EXPECT_NE(InternetGetLastError(), 0u);
    }
}

TEST(Internet, GetWithEveryFramingAndErrorStatus)
{
    TestHttpServer server;
    server.SetAnswer("/length", HttpAnswer::Ok("hello"));
    HttpAnswer chunked = HttpAnswer::Ok(Pattern(0, 10000));
    chunked.framing = HttpAnswer::Framing::Chunked;
    chunked.chunkSize = 777;
    server.SetAnswer("/chunked", chunked);
    HttpAnswer open = HttpAnswer::Ok("until the end");
    open.framing = HttpAnswer::Framing::Close;
    server.SetAnswer("/open", open);
    server.SetAnswer("/broken", HttpAnswer::Status(500, "Internal Server Error", "stack trace"));

    // Error statuses too: the body arrives whole, and reads after its end keep answering 0 bytes.
    const struct {
        const char* path;
        const wchar_t* code;
        const wchar_t* text;
        const wchar_t* encoding;
        const wchar_t* length;
        std::size_t block;
        std::string body;
    } cases[] = {
        {"/length?a=1&b=%41", L"200", L"OK", L"<absent>", L"5", 2, "hello"},
        {"/chunked", L"200", L"OK", L"chunked", L"<absent>", 4096, Pattern(0, 10000)},
        {"/open", L"200", L"OK", L"<absent>", L"<absent>", 65536, "until the end"},
        {"/missing", L"404", L"Not Found", L"<absent>", L"19", 100, "nothing at /missing"},
        {"/broken", L"500", L"Internal Server Error", L"<absent>", L"11", 100, "stack trace"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Exchange x(server.Url(c.path));
        ASSERT_TRUE(HttpSendRequest(x.request)) << InternetGetLastErrorText();
        EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_CODE), c.code);
        EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_TEXT), c.text);
        EXPECT_EQ(x.Query(HTTP_QUERY_VERSION), L"HTTP/1.1");
        EXPECT_EQ(x.Query(HTTP_QUERY_TRANSFER_ENCODING), c.encoding);
        EXPECT_EQ(x.Query(HTTP_QUERY_CONTENT_LENGTH), c.length);
        EXPECT_EQ(x.ReadAll(c.block), Read(c.body, 0));
        char byte = 0;
        std::size_t got = 1;
        EXPECT_TRUE(InternetReadFile(x.request, &byte, 1, &got));
        EXPECT_EQ(got, 0u);
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    // The cracked and decoded query goes out re-escaped only where needed.
    EXPECT_EQ(requests[0].requestLine, "GET /length?a=1&b=A HTTP/1.1");
    EXPECT_EQ(requests[0].Header("User-Agent").value_or(""), "TestAgent");
    EXPECT_EQ(requests[0].Header("Accept").value_or(""), "*/*");
    EXPECT_EQ(requests[0].Header("Host").value_or(""), "127.0.0.1:" + std::to_string(server.Port()));
    // The user name without a password is not sent.
    EXPECT_FALSE(requests[0].Header("Authorization"));
    EXPECT_FALSE(requests[0].Header("Expect"));
    Exchange escaped(server.Url("/dir%20name/%C3%A4%22.exe?q=a%20b"));
    ASSERT_TRUE(HttpSendRequest(escaped.request));
    EXPECT_EQ(server.Requests().back().target, "/dir%20name/%C3%A4%22.exe?q=a%20b");
}

TEST(Internet, RedirectsAreFollowedForGetOnly)
{
    TestHttpServer server;
    server.SetAnswer("/r301", HttpAnswer::Redirect(301, "/r302"));
    server.SetAnswer("/r302", HttpAnswer::Redirect(302, server.Url("/r303")));
    server.SetAnswer("/r303", HttpAnswer::Redirect(303, "r307?x=1"));
    server.SetAnswer("/r307", HttpAnswer::Redirect(307, "/r308"));
    server.SetAnswer("/r308", HttpAnswer::Redirect(308, "/final"));
    server.SetAnswer("/final", HttpAnswer::Ok("arrived"));
    server.SetAnswer("/loop", HttpAnswer::Redirect(302, "/loop"));
    server.SetAnswer("/nowhere", HttpAnswer::Status(302, "Found", "no location"));
    {
        Exchange x(server.Url("/r301"));
        ASSERT_TRUE(HttpSendRequest(x.request)) << InternetGetLastErrorText();
        EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_CODE), L"200");
        EXPECT_EQ(x.Query(HTTP_QUERY_CONTENT_LENGTH), L"7");
        EXPECT_EQ(x.ReadAll(3), Read("arrived", 0));
        std::vector<std::string> targets;
        for (const auto& request : server.Requests()) {
            targets.push_back(request.method + " " + request.target);
        }
        EXPECT_EQ(targets, (std::vector<std::string>{"GET /r301", "GET /r302", "GET /r303", "GET /r307?x=1",
                                                     "GET /r308", "GET /final"}));
    }
    {
        Exchange x(server.Url("/r302"), L"POST");
        ASSERT_TRUE(HttpSendRequest(x.request, L"", "a=b", 3));
        EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_CODE), L"302");
        EXPECT_EQ(x.Query(HTTP_QUERY_LOCATION), Wide(server.Url("/r303")));
        EXPECT_EQ(x.ReadAll(100), Read("moved", 0));
        const auto post = server.Requests().back();
        EXPECT_EQ(post.requestLine, "POST /r302 HTTP/1.1");
        EXPECT_EQ(post.body, "a=b");
        EXPECT_FALSE(post.Header("Content-Type"));
    }
    Exchange nowhere(server.Url("/nowhere"));
    ASSERT_TRUE(HttpSendRequest(nowhere.request));
    EXPECT_EQ(nowhere.Query(HTTP_QUERY_STATUS_CODE), L"302");
    Exchange loop(server.Url("/loop"));
    EXPECT_FALSE(HttpSendRequest(loop.request));
    EXPECT_EQ(InternetGetLastError(), ERROR_HTTP_REDIRECT_FAILED);
}

TEST(Internet, ReadsFillTheCallersBlocksFromASmallBuffer)
{
    TestHttpServer server;
    constexpr std::size_t kSize = 3 * 1024 * 1024 + 17;
    server.SetAnswer("/big", HttpAnswer::Generated(kSize));
    for (const std::size_t block : {std::size_t{1000}, std::size_t{65536}, std::size_t{4 * 1024 * 1024}}) {
        Exchange x(server.Url("/big"));
        ASSERT_TRUE(HttpSendRequest(x.request));
        std::vector<std::size_t> sizes;
        const auto [body, error] = x.ReadAll(block, &sizes);
        EXPECT_EQ(error, 0u);
        EXPECT_TRUE(body == Pattern(0, kSize)) << "block " << block;
        // Every read but the last one is a whole block.
        std::vector<std::size_t> expected(kSize / block, block);
        if (kSize % block != 0) {
            expected.push_back(kSize % block);
        }
        EXPECT_TRUE(sizes == expected) << "block " << block << ": " << sizes.size() << " reads";
        // The body streams through a small buffer; it is never held whole.
        if (block == 65536) {
            EXPECT_GT(InternetTestApi::BufferHighWater(x.request), 0u);
            EXPECT_LE(InternetTestApi::BufferHighWater(x.request), 4 * block);
        }
    }
}

TEST(Internet, ConnectionFailuresAreReportedBySend)
{
    Exchange x("http://127.0.0.1:" + std::to_string(TestHttpServer::UnusedPort()) + "/");
    EXPECT_FALSE(HttpSendRequest(x.request));
    EXPECT_EQ(InternetGetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    EXPECT_NE(InternetGetLastErrorText().find("could not be established"), std::string::npos);
    EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_CODE),
              L"<error " + std::to_wstring(ERROR_INTERNET_INCORRECT_HANDLE_STATE) + L">");

    Handle session(InternetOpen(L"", INTERNET_OPEN_TYPE_DIRECT));
    EXPECT_EQ(InternetConnect(session, L"", 80, L"", L"", INTERNET_SERVICE_HTTP, 0, 0), nullptr);
    EXPECT_EQ(InternetOpenUrl(session, L"ftp://host/file", L"", 0, 0), nullptr);
    EXPECT_EQ(InternetGetLastError(), ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    // A handle of the wrong kind is refused.
    EXPECT_FALSE(HttpSendRequest(session));
    EXPECT_EQ(InternetGetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
}

TEST(Internet, TlsTrustsOnlyTheConfiguredStore)
{
    TestHttpServer server(TestHttpServer::Mode::Https);
    server.SetAnswer("/secure", HttpAnswer::Ok("secret"));
    {
        qz::test::ScopedEnvironment file("SSL_CERT_FILE", nullptr);
        qz::test::ScopedEnvironment dir("SSL_CERT_DIR", nullptr);
        Exchange x(server.Url("/secure"));
        EXPECT_FALSE(HttpSendRequest(x.request));
        EXPECT_EQ(InternetGetLastError(), ERROR_INTERNET_INVALID_CA) << InternetGetLastErrorText();
    }
    qz::test::ScopedEnvironment file("SSL_CERT_FILE", TestHttpServer::CaFile().c_str());
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        Exchange x("https://" + host + ":" + std::to_string(server.Port()) + "/secure");
        ASSERT_TRUE(HttpSendRequest(x.request)) << host << ": " << InternetGetLastErrorText();
        EXPECT_EQ(x.ReadAll(65536), Read("secret", 0));
    }
    Handle session(InternetOpen(L"", INTERNET_OPEN_TYPE_PRECONFIG));
    Handle request(InternetOpenUrl(session, Wide(server.Url("/secure")), L"", INTERNET_FLAG_DONT_CACHE, 0));
    EXPECT_NE(request.handle, nullptr) << InternetGetLastErrorText();
    // A plain request to the TLS port is no HTTP answer.
    Exchange plain("http://127.0.0.1:" + std::to_string(server.Port()) + "/secure");
    EXPECT_FALSE(HttpSendRequest(plain.request) && plain.Query(HTTP_QUERY_STATUS_CODE) == L"200");
    EXPECT_TRUE(server.Requests().size() == 3u && server.Requests()[0].tls);
}

TEST(Internet, CutBodiesFailAfterTheBytesThatArrived)
{
    TestHttpServer server;
    HttpAnswer reset = HttpAnswer::Generated(200000);
    reset.resetAfter = 30000;
    server.SetAnswer("/reset", reset);
    HttpAnswer truncated = HttpAnswer::Ok(Pattern(0, 5000));
    truncated.framing = HttpAnswer::Framing::Chunked;
    truncated.truncateChunks = true;
    server.SetAnswer("/truncated", truncated);
    HttpAnswer short_ = HttpAnswer::Ok(Pattern(0, 5000));
    short_.declaredLength = 9000;
    server.SetAnswer("/short", short_);

    for (const auto& [path, length] :
         {std::pair{"/reset", 30000}, std::pair{"/truncated", 5000}, std::pair{"/short", 5000}}) {
        Exchange x(server.Url(path));
        ASSERT_TRUE(HttpSendRequest(x.request)) << path;
        const auto [body, error] = x.ReadAll(4096);
        EXPECT_TRUE(body == Pattern(0, static_cast<std::size_t>(length))) << path << ": " << body.size();
        EXPECT_NE(error, 0u) << path;
        if (std::string(path) == "/reset") {
            EXPECT_EQ(error, ERROR_INTERNET_CONNECTION_RESET) << InternetGetLastErrorText();
        }
    }
}

TEST(Internet, StreamedUploadArrivesByteForByte)
{
    TestHttpServer server;
    server.SetAnswer("/upload.php", HttpAnswer::Status(500, "Server Error", "not today"));
    const std::string body = Pattern(0, 10237);
    Handle session(InternetOpen(L"", INTERNET_OPEN_TYPE_PRECONFIG));
    Handle connection(
        InternetConnect(session, L"127.0.0.1", server.Port(), L"", L"", INTERNET_SERVICE_HTTP, 0, 1));
    Handle request(HttpOpenRequest(connection, L"POST", L"/upload.php", L"", L"", {},
                                   INTERNET_FLAG_EXISTING_CONNECT, 1));
    ASSERT_NE(request.handle, nullptr);
    const std::wstring type = L"Content-Type: multipart/form-data; boundary=----xyz";
    ASSERT_TRUE(HttpAddRequestHeaders(request, type, HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    EXPECT_FALSE(HttpAddRequestHeaders(request, type, HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    EXPECT_EQ(InternetGetLastError(), ERROR_HTTP_HEADER_ALREADY_EXISTS);
    ASSERT_TRUE(HttpAddRequestHeaders(request, L"Content-Length: " + std::to_wstring(body.size()),
                                      HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    ASSERT_TRUE(HttpSendRequestEx(request, body.size(), HSR_INITIATE, 1)) << InternetGetLastErrorText();
    for (std::size_t offset = 0; offset < body.size(); offset += 1000) {
        const std::size_t n = std::min<std::size_t>(1000, body.size() - offset);
        std::size_t written = 0;
        ASSERT_TRUE(InternetWriteFile(request, body.data() + offset, n, &written))
            << InternetGetLastErrorText();
        EXPECT_EQ(written, n);
    }
    std::size_t written = 0;
    EXPECT_FALSE(InternetWriteFile(request, "x", 1, &written));
    EXPECT_FALSE(HttpAddRequestHeaders(request, L"X-Late: 1", 0));
    ASSERT_TRUE(HttpEndRequest(request, 0, 1)) << InternetGetLastErrorText();
    std::wstring status;
    ASSERT_TRUE(HttpQueryInfo(request, HTTP_QUERY_STATUS_CODE, status));
    EXPECT_EQ(status, L"500");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /upload.php HTTP/1.1");
    EXPECT_EQ(requests[0].Header("Content-Type").value_or(""), "multipart/form-data; boundary=----xyz");
    EXPECT_EQ(requests[0].Header("Content-Length").value_or(""), std::to_string(body.size()));
    EXPECT_EQ(std::count_if(requests[0].headers.begin(), requests[0].headers.end(),
                            [](const auto& h) { return h.first == "Content-Length"; }), 1);
    EXPECT_FALSE(requests[0].Header("Transfer-Encoding"));
    EXPECT_FALSE(requests[0].Header("Accept"));
    EXPECT_TRUE(requests[0].body == body);

    // A body shorter than announced does not end the request.
    Handle shortRequest(HttpOpenRequest(connection, L"POST", L"/upload.php", L"", L"", {}, 0, 1));
    ASSERT_TRUE(HttpSendRequestEx(shortRequest, 10));
    ASSERT_TRUE(InternetWriteFile(shortRequest, "12345", 5, &written));
    EXPECT_FALSE(HttpEndRequest(shortRequest));
}

// Opens a POST of total bytes to a loopback port and starts its body.
HINTERNET StartUpload(HINTERNET session, std::uint16_t port, std::uint64_t total)
{
    Handle connection(InternetConnect(session, L"127.0.0.1", port, L"", L"", INTERNET_SERVICE_HTTP, 0, 1));
    HINTERNET request = HttpOpenRequest(connection, L"POST", L"/up", L"", L"", {}, 0, 1);
    EXPECT_TRUE(HttpSendRequestEx(request, total)) << InternetGetLastErrorText();
    return request;
}

TEST(Internet, GatheredUploadsStayBoundedAndStillReportFailures)
{
    constexpr std::uint64_t kTotal = 64ull << 20;
    const std::string piece(1000, 'u');

    // A server that reads nothing: the writes wait with at most the send
    // window in hand, and a cancel ends the one that waits.
    {
        RawHttpServer stalled(qz::test::RawHttpScript::Stall());
        Handle session(InternetOpen(L"", INTERNET_OPEN_TYPE_DIRECT));
        const auto cancelAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
        InternetSetKeepGoing(session, [cancelAt] { return std::chrono::steady_clock::now() < cancelAt; });
        Handle request(StartUpload(session, stalled.Port(), kTotal));
        std::uint64_t sent = 0;
        std::size_t written = 0;
        while (sent < kTotal && InternetWriteFile(request, piece.data(), piece.size(), &written)) {
            sent += written;
        }
        EXPECT_LT(sent, kTotal);
        EXPECT_EQ(InternetGetLastError(), ERROR_INTERNET_OPERATION_CANCELLED);
        EXPECT_GT(InternetTestApi::UploadHighWater(request), 0u);
        EXPECT_LE(InternetTestApi::UploadHighWater(request), std::size_t{1} << 20);
        EXPECT_FALSE(InternetWriteFile(request, piece.data(), piece.size(), &written));
        EXPECT_FALSE(HttpEndRequest(request));
    }

    // A server that answers and hangs up after part of the body, in one
    // large write or in many small ones: a later write or the end of the
    // request fails, and nothing is accepted after that.
    for (const std::size_t pieceSize : {std::size_t{1000}, std::size_t{5} << 20}) {
        SCOPED_TRACE(pieceSize);
        RawHttpServer early(qz::test::RawHttpScript::AnswerAfter(
            200'000, "HTTP/1.1 413 Too Large\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
        Handle session(InternetOpen(L"", INTERNET_OPEN_TYPE_DIRECT));
        Handle request(StartUpload(session, early.Port(), kTotal));
        const std::string block(pieceSize, 'e');
        std::uint64_t sent = 0;
        std::size_t written = 0;
        bool ok = true;
        while (ok && sent < kTotal) {
            ok = InternetWriteFile(request, block.data(), std::min<std::uint64_t>(block.size(), kTotal - sent),
                                   &written);
            sent += written;
        }
        if (ok) {
            ok = HttpEndRequest(request);
        }
        EXPECT_FALSE(ok);
        const std::uint32_t error = InternetGetLastError();
        EXPECT_TRUE(error == ERROR_INTERNET_CONNECTION_ABORTED || error == ERROR_INTERNET_CONNECTION_RESET)
            << error << " " << InternetGetLastErrorText();
        EXPECT_FALSE(InternetWriteFile(request, "x", 1, &written));
        EXPECT_EQ(written, 0u);
    }
}

TEST(Internet, SlowBodiesArriveWhole)
{
    TestHttpServer server;
    HttpAnswer slow = HttpAnswer::Ok(Pattern(0, 3000));
    slow.slowBytes = 300;
    slow.slowInterval = std::chrono::milliseconds(40);
    server.SetAnswer("/slow", slow);
    Exchange x(server.Url("/slow"));
    ASSERT_TRUE(HttpSendRequest(x.request));
    const auto cpu = [] {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    };
    const auto wallStart = std::chrono::steady_clock::now();
    const auto cpuStart = cpu();
    std::vector<std::size_t> sizes;
    EXPECT_EQ(x.ReadAll(1024, &sizes), Read(Pattern(0, 3000), 0));
    const auto cpuUsed = cpu() - cpuStart;
    const auto wall = std::chrono::steady_clock::now() - wallStart;
    EXPECT_EQ(sizes, (std::vector<std::size_t>{1024, 1024, 952}));
    // The reader sleeps in poll while the server pauses; it does not spin.
    EXPECT_GE(wall, std::chrono::milliseconds(300));
    EXPECT_LT(cpuUsed * 6, wall);
}

TEST(Internet, HandlesCloseInAnyOrder)
{
    TestHttpServer server;
    server.SetAnswer("/a", HttpAnswer::Ok("first"));
    HINTERNET session = InternetOpen(L"agent", INTERNET_OPEN_TYPE_PRECONFIG);
    HINTERNET request = InternetOpenUrl(session, Wide(server.Url("/a")), L"X-Extra: 1\r\n", 0, 0);
    ASSERT_NE(request, nullptr) << InternetGetLastErrorText();
    EXPECT_TRUE(InternetCloseHandle(session));
    EXPECT_FALSE(InternetCloseHandle(session));
    EXPECT_EQ(InternetGetLastError(), ERROR_INVALID_HANDLE);
    char buffer[16];
    std::size_t got = 0;
    ASSERT_TRUE(InternetReadFile(request, buffer, sizeof buffer, &got));
    EXPECT_EQ(std::string(buffer, got), "first");
    EXPECT_TRUE(InternetCloseHandle(request));
    EXPECT_FALSE(InternetReadFile(request, buffer, sizeof buffer, &got));
    EXPECT_EQ(InternetGetLastError(), ERROR_INVALID_HANDLE);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].Header("X-Extra").value_or(""), "1");

    // Closing a request before its body was read ends its transfer, though its session and
    // connection stay open: the server stops sending the gigabyte.
    const auto answersSettleAt = [&server](int count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (server.AnswersInProgress() != count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return server.AnswersInProgress();
    };
    ASSERT_EQ(answersSettleAt(0), 0);
    server.SetAnswer("/huge", HttpAnswer::Generated(1ull << 30));
    Exchange x(server.Url("/huge"));
    ASSERT_TRUE(HttpSendRequest(x.request));
    ASSERT_TRUE(InternetReadFile(x.request, buffer, sizeof buffer, &got));
    ASSERT_GT(got, 0u);
    EXPECT_EQ(server.AnswersInProgress(), 1);
    ASSERT_TRUE(InternetCloseHandle(x.request));
    x.request.handle = nullptr;
    EXPECT_EQ(answersSettleAt(0), 0) << "the server is still sending";
}

TEST(Internet, PreconfiguredAccessUsesTheProxyVariables)
{
    TestHttpServer proxy;
    proxy.SetAnswer("http://updates.qz-test.invalid/patch?x=1", HttpAnswer::Ok("via proxy"));
    qz::test::ScopedEnvironment httpProxy("http_proxy", proxy.Url("").c_str());
    qz::test::ScopedEnvironment noProxy("no_proxy", nullptr);
    Exchange get("http://updates.qz-test.invalid/patch?x=1");
    ASSERT_TRUE(HttpSendRequest(get.request)) << InternetGetLastErrorText();
    EXPECT_EQ(get.ReadAll(100), Read("via proxy", 0));
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].requestLine, "GET http://updates.qz-test.invalid/patch?x=1 HTTP/1.1");
    // A streamed upload to port 80 takes the same way.
    Exchange upload("http://crm.qz-test.invalid/up.php", L"POST");
    std::size_t written = 0;
    ASSERT_TRUE(HttpSendRequestEx(upload.request, 6)) << InternetGetLastErrorText();
    ASSERT_TRUE(InternetWriteFile(upload.request, "abc", 3, &written));
    ASSERT_TRUE(InternetWriteFile(upload.request, "def", 3, &written));
    ASSERT_TRUE(HttpEndRequest(upload.request));
    EXPECT_EQ(proxy.Requests().back().requestLine, "POST http://crm.qz-test.invalid/up.php HTTP/1.1");
    EXPECT_EQ(proxy.Requests().back().body, "abcdef");

    // Direct access ignores the variables, and so does a host in no_proxy.
    Handle session(InternetOpen(L"", INTERNET_OPEN_TYPE_DIRECT));
    EXPECT_EQ(InternetOpenUrl(session, L"http://updates.qz-test.invalid/patch?x=1", L"", 0, 0), nullptr);
    EXPECT_EQ(InternetGetLastError(), ERROR_INTERNET_NAME_NOT_RESOLVED);
    qz::test::ScopedEnvironment bypass("no_proxy", "qz-test.invalid");
    Exchange bypassed("http://updates.qz-test.invalid/patch?x=1");
    EXPECT_FALSE(HttpSendRequest(bypassed.request));
    EXPECT_EQ(proxy.Requests().size(), 2u);
}

