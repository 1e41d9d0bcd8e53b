#include "update/CrmUpload.h"

#include "support/RawHttpServer.h"
#include "support/RecordingHost.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using qz::test::HttpAnswer;
using qz::test::RawHttpServer;
using qz::test::RecordedRequest;
using qz::test::RecordingHost;
using qz::test::TestHttpServer;
using qz::test::Wide;

const std::string kFirstLine = "-----------------------------119281817426312\n";

std::string HeaderPart(const std::string& length)
{
    return kFirstLine + "Content-Disposition: form-data; name=\"File\"; filename=\"crm.zip\"\n"
                        "Content-Type: application/octet-stream\nContent-Length: " + length + "\n\n\n";
}

const std::string kClosingPart = "\n\n-----------------------------119281817426312--\n";

class CrmUploadTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        host_.texts["GetCrmRedirectUrl"] = Wide(server_.Url("/redirect"));
        RedirectTo(server_.Port());
        server_.SetAnswer("/crm/upload.php", HttpAnswer::Ok("thank you"));
    }

    // The redirect script names the upload script on `port` of the loopback.
    void RedirectTo(std::uint16_t port, const std::string& scheme = "http")
    {
        server_.SetAnswer("/redirect", HttpAnswer::Ok(scheme + "://127.0.0.1:" + std::to_string(port) +
                                                      "/crm/upload.php"));
    }

    QzOSAL::QzPath DataFile(const std::string& bytes)
    {
        std::ofstream(dir_ / "crm data.zip", std::ios::binary) << bytes;
        return QzOSAL::QzPath((dir_ / "crm data.zip").wstring());
    }
    bool DataFileExists() const { return fs::exists(dir_ / "crm data.zip"); }
    std::wstring RedirectLine(std::uint16_t port) const
    {
        return L"Redirect found and parsed: server=127.0.0.1:" + std::to_wstring(port) +
               L", URL=/crm/upload.php";
    }
    std::optional<RecordedRequest> Post() const
    {
        const auto requests = server_.Requests();
        const auto post = std::find_if(requests.begin(), requests.end(),
                                       [](const auto& request) { return request.method == "POST"; });
        return post == requests.end() ? std::nullopt : std::optional(*post);
    }

    TestHttpServer server_;
    RecordingHost host_;
    qz::test::TempFolder folder_{"qz-crm"};
    const fs::path& dir_ = folder_.path();
};

TEST_F(CrmUploadTest, FailuresBeforeTheBodyKeepTheFile)
{
    // No configuration: nothing is asked, nothing is sent.
    EXPECT_FALSE(UploadCrmData(nullptr, DataFile("data"), true));
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_TRUE(DataFileExists());

    // None of them posts anything.
    const std::uint16_t unused = TestHttpServer::UnusedPort();
    const struct {
        const char* what;
        std::function<void()> arrange;
        std::wstring log;
    } cases[] = {
        {"redirect URL unreachable",
         [&] { host_.texts["GetCrmRedirectUrl"] = L"http://127.0.0.1:" + std::to_wstring(unused) + L"/r"; },
         L"Unable to redirect path"},
        {"no redirect URL", [&] { host_.texts["GetCrmRedirectUrl"] = std::nullopt; }, L"Unable to redirect path"},
        {"redirect answer without a path", [&] { server_.SetAnswer("/redirect", HttpAnswer::Ok("http://x")); },
         L"Unable to get Http Connection"},
        {"redirect answer that is no URL",
         [&] { server_.SetAnswer("/redirect", HttpAnswer::Ok("no upload today, sorry")); },
         L"Unable to get Http Connection"},
        {"data file cannot be opened", [&] { fs::remove(dir_ / "crm data.zip"); }, RedirectLine(server_.Port())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host_.ClearCalls();
        server_.ClearRequests();
        host_.texts["GetCrmRedirectUrl"] = Wide(server_.Url("/redirect"));
        RedirectTo(server_.Port());
        const QzOSAL::QzPath file = DataFile("data");
        c.arrange();
        const bool keepsFile = DataFileExists();
        EXPECT_FALSE(UploadCrmData(&host_, file, true));
        EXPECT_EQ(host_.LogLines(), std::vector<std::wstring>{c.log});
        EXPECT_FALSE(Post().has_value());
        EXPECT_EQ(DataFileExists(), keepsFile);
    }
}

TEST_F(CrmUploadTest, NetworkErrorsLogTheirMessageAndDeleteOnlyAfterTheStart)
{
    // The redirect line, then the error with its message.
    const std::wstring error = L"CRM-Upload Error: ";
    const auto expectError = [&](std::uint16_t port) {
        const auto lines = host_.LogLines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], RedirectLine(port));
        EXPECT_EQ(lines[1].rfind(error, 0), 0u);
        EXPECT_GT(lines[1].size(), error.size()) << "the message follows";
        EXPECT_LE(lines[1].size(), error.size() + 255);
    };
    // Nothing listens on the upload port: the request cannot start.
    const std::uint16_t unused = TestHttpServer::UnusedPort();
    RedirectTo(unused);
    EXPECT_FALSE(UploadCrmData(&host_, DataFile("data"), true));
    expectError(unused);
    EXPECT_TRUE(DataFileExists());

    // The server takes the whole body and hangs up without an answer: the
    // request fails when it is ended, after the file went out.
    for (const bool deleteAfterwards : {true, false}) {
        SCOPED_TRACE(deleteAfterwards);
        host_.ClearCalls();
        RawHttpServer hangUp;
        RedirectTo(hangUp.Port());
        EXPECT_FALSE(UploadCrmData(&host_, DataFile("0123456789"), deleteAfterwards));
        expectError(hangUp.Port());
        const std::string& received = hangUp.Finish();
        EXPECT_EQ(received.substr(received.find("\r\n\r\n") + 4),
                  HeaderPart("10") + "0123456789" + kClosingPart);
        EXPECT_EQ(DataFileExists(), !deleteAfterwards);
    }
}

TEST_F(CrmUploadTest, ManyMegabytesGoOutOnTheWireByteForByte)
{
    // Every byte value, a size that is no multiple of the 1000-byte pieces,
    // the read-ahead or the send window. An error status still counts as sent.
    std::string content(3'456'789, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i * 131 + i / 997) & 0xFF);
    const std::string answer =
        "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 2\r\nConnection: close\r\n\r\nno";
    RawHttpServer sink(qz::test::RawHttpScript::AnswerAfter(~std::uint64_t{0}, answer));
    RedirectTo(sink.Port());
    EXPECT_TRUE(UploadCrmData(&host_, DataFile(content), true));
    EXPECT_EQ(server_.Requests().at(0).requestLine, "GET /redirect HTTP/1.1");
    EXPECT_EQ(host_.ArgumentsOf("GetCrmRedirectUrl").size(), 1u);

    const std::string body = HeaderPart("3456789") + content + kClosingPart;
    const std::string expected =
        "POST /crm/upload.php HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(sink.Port()) +
        "\r\nContent-Type: multipart/form-data; boundary=---------------------------119281817426312\r\n"
        "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    const std::string& received = sink.Finish();
    EXPECT_EQ(received.size(), expected.size());
    const auto differ = std::mismatch(received.begin(), received.end(), expected.begin(), expected.end());
    EXPECT_TRUE(received == expected) << "first difference at " << differ.first - received.begin();
    EXPECT_FALSE(DataFileExists());
}

TEST_F(CrmUploadTest, HostileFilesAndAnHttpsUploadScript)
{
    // A FIFO where the data file should be is refused at once and left.
    const fs::path fifo = dir_ / "crm.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(UploadCrmData(&host_, QzOSAL::QzPath(fifo.wstring()), true));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A file that grows while it is sent goes out as long as it was when
    // its length was announced, and is not taken for a network error.
    const QzOSAL::QzPath growing = DataFile(std::string(1 << 20, 'c'));
    std::atomic<bool> sending{true};
    std::thread writer([&] {
        std::ofstream out(dir_ / "crm data.zip", std::ios::binary | std::ios::app);
        while (sending.load()) {
            out << std::string(4096, 'g');
            out.flush();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    server_.ClearRequests();
    const bool sent = UploadCrmData(&host_, growing, true);
    sending.store(false);
    writer.join();
    EXPECT_TRUE(sent);
    const auto post = Post();
    ASSERT_TRUE(post);
    const std::size_t at = post->body.find("Content-Length: ") + 16;
    const std::size_t announced = std::stoul(post->body.substr(at));
    const std::string head = HeaderPart(std::to_string(announced));
    ASSERT_EQ(post->body.size(), head.size() + announced + kClosingPart.size());
    EXPECT_EQ(post->body.compare(head.size() + announced, std::string::npos, kClosingPart), 0);
    EXPECT_EQ(post->body.find_first_not_of("cg", head.size()), head.size() + announced);

    // An https answer of the redirect script is posted over TLS to the port it
    // names; an empty file still goes out with both parts.
    TestHttpServer secure(TestHttpServer::Mode::Https);
    qz::test::ScopedEnvironment trust("SSL_CERT_FILE", TestHttpServer::CaFile().c_str());
    secure.SetAnswer("/crm/upload.php", HttpAnswer::Ok("thank you"));
    RedirectTo(secure.Port(), "https");
    host_.ClearCalls();
    server_.ClearRequests();
    EXPECT_TRUE(UploadCrmData(&host_, DataFile(""), true));
    EXPECT_EQ(host_.LogLines(), std::vector<std::wstring>{RedirectLine(secure.Port())});
    ASSERT_EQ(secure.Requests().size(), 1u);
    EXPECT_TRUE(secure.Requests()[0].tls);
    EXPECT_EQ(secure.Requests()[0].body, HeaderPart("0") + kClosingPart);
}

TEST(CrmRedirectTest, ServerAndPathAtTheirPlaces)
{
    const struct {
        const wchar_t *answer, *server, *host;
        int port;
        const wchar_t* path;
    } cases[] = {
        {L"http://crm.example.com/redirects/crm/upload.php", L"crm.example.com", L"crm.example.com", 80,
         L"/redirects/crm/upload.php"},
        // The line break the script printed is dropped.
        {L"http://127.0.0.1:8081/up?x=1\r\n", L"127.0.0.1:8081", L"127.0.0.1", 8081, L"/up?x=1"},
        {L"http://[::1]:81/u", L"[::1]:81", L"::1", 81, L"/u"},
        // Ports out of range, or not numbers, stay part of the server name.
        {L"http://h:99999/u", L"h:99999", L"h:99999", 80, L"/u"},
        {L"http://h:0/u", L"h:0", L"h:0", 80, L"/u"},
        {L"http://h:/u", L"h:", L"h:", 80, L"/u"},
        {L"http://h:8a/u", L"h:8a", L"h:8a", 80, L"/u"},
        // An https answer is sent over TLS, to 443 unless it names a port.
        {L"https://h/x", L"h", L"h", 443, L"/x"},
        {L"HTTPS://h:8443/x", L"h:8443", L"h", 8443, L"/x"},
        // Other answers are cut at the same places.
        {L"http://a/b", L"a", L"a", 80, L"/b"},
    };
    for (const auto& c : cases) {
        const CrmRedirect r = ParseCrmRedirect(c.answer);
        EXPECT_TRUE(r.found) << c.answer;
        EXPECT_EQ(r.server, c.server) << c.answer;
        EXPECT_EQ(r.host, c.host) << c.answer;
        EXPECT_EQ(r.port, c.port) << c.answer;
        EXPECT_EQ(r.path, c.path) << c.answer;
        const std::wstring scheme = std::wstring(c.answer).substr(0, 5);
        EXPECT_EQ(r.secure, scheme == L"https" || scheme == L"HTTPS") << c.answer;
    }
    for (const wchar_t* answer : {L"", L"http://", L"http://host", L"http:///", L"no slash here"})
        EXPECT_FALSE(ParseCrmRedirect(answer).found) << answer;
}

} // namespace
