// The patch query and download against a loopback patch service, and against servers that trickle,
// stall, send without end, lie about lengths or redirect from https to http.
#include "patchservice/PatchOnline.h"
#include "patchservice/TavorHttpTransfer.h"

#include "support/FileText.h"
#include "support/FolderNames.h"
#include "support/PeWriter.h"
#include "support/RecordingHost.h"
#include "support/ResultDocument.h"
#include "support/ScopedEnvironment.h"
#include "support/SigningKitSuite.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using qz::test::HttpAnswer;
using Framing = HttpAnswer::Framing;
using qz::test::RecordingHost;
using qz::test::TestHttpServer;
using qz::test::Wide;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
namespace fs = std::filesystem;
using qz::test::ReadText;

TEST(PatchOnlineQuery, KeysInOrderAndASerialNumberOnlyOverHttps)
{
    const std::wstring kNoHttps = L"CPatchOnline::BuildURL(): Can not add serial number. HTTPS is required.";
    const struct {
        const wchar_t* base;
        int platform;
        bool sendSerial;
        const wchar_t* serial;
        std::wstring url;         // the whole URL, or empty
        std::wstring serialLine;  // the log line before the URL's, or empty
    } cases[] = {
        {L"http://127.0.0.1:1/patch", 2, false, L"S-1",
         L"http://127.0.0.1:1/patch?format=html&program=TestProgram&program_language=en-GB"
         L"&program_platform=win-x64&program_version=1.0.0.0", L""},
        // Keys the base URL already has take their places among ours.
        {L"http://h/p?format=xml&zz=1", 1, false, L"S-1",
         L"http://h/p?format=xml&program=TestProgram&program_language=en-GB&program_platform=win-x86"
         L"&program_version=1.0.0.0&zz=1", L""},
        // Platforms without a name give no key.
        {L"http://h/p", 3, false, L"",
         L"http://h/p?format=html&program=TestProgram&program_language=en-GB&program_version=1.0.0.0", L""},
        {L"http://h/p", 2, true, L"S-1", L"", kNoHttps},
        {L"HTTPS://h/p", 2, true, L"S-1", L"", kNoHttps},
        {L"https://h/p", 2, true, L"", L"",
         L"CPatchOnline::BuildURL(): Can not add serial number. serial number must not empty."},
        {L"https://h/p", 2, true, L"S-1", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base);
        RecordingHost host;
        host.patchServiceUrl = c.base;
        host.platform = c.platform;
        host.bools["SendSerialNumber"] = c.sendSerial;
        host.serialNumber = c.serial;
        CPatchOnline online(&host);
        const std::wstring& url = online.GetQueryUrl().GetText();
        if (!c.url.empty()) {
            EXPECT_EQ(url, c.url);
        }
        std::vector<std::wstring> lines = {L"CPatchOnline::BuildURL(): " + url + L"."};
        if (!c.serialLine.empty())
            lines.insert(lines.begin(), c.serialLine);
        EXPECT_EQ(host.LogLines(), lines);
        const bool serialSent = c.sendSerial && c.serialLine.empty();
        EXPECT_EQ(url.find(L"&serial=S-1") != std::wstring::npos, serialSent) << url;
        // The serial number is not even asked for when it could not be sent.
        EXPECT_EQ(host.ArgumentsOf("GetSerialNumber").empty(), !c.sendSerial || c.serialLine == kNoHttps);
    }
    // No configuration: no URL, and the checks fail quietly.
    CPatchOnline none(nullptr);
    EXPECT_TRUE(none.GetQueryUrl().IsEmpty());
    EXPECT_EQ(none.IsAvailable(true), QzAutoUpdate::kResultFailed);
    EXPECT_EQ(none.Download(true), QzAutoUpdate::kResultNoConfiguration);
}

// The times `host` was asked whether to cancel; it says yes from `after` on.
class CancelClock {
  public:
    CancelClock(milliseconds after, RecordingHost& host) : start_(Clock::now()), after_(after)
    {
        host.cancelled = [this] { return Ask(); };
    }
    bool Ask()
    {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = asked_.emplace_back(Clock::now());
        if (now - start_ >= after_ && !firstYes_)
            firstYes_ = now;
        return now - start_ >= after_;
    }
    // The longest wait between two questions up to the first yes.
    milliseconds LongestGap() const
    {
        std::lock_guard lock(mutex_);
        Clock::duration longest{};
        for (std::size_t i = 1; i < asked_.size() && !(firstYes_ && asked_[i - 1] >= *firstYes_); ++i)
            longest = std::max(longest, asked_[i] - asked_[i - 1]);
        return std::chrono::duration_cast<milliseconds>(longest);
    }
    milliseconds SinceYes() const
    {
        std::lock_guard lock(mutex_);
        return firstYes_ ? std::chrono::duration_cast<milliseconds>(Clock::now() - *firstYes_) : milliseconds::max();
    }

  private:
    mutable std::mutex mutex_;
    Clock::time_point start_;
    milliseconds after_;
    std::vector<Clock::time_point> asked_;
    std::optional<Clock::time_point> firstYes_;
};

// The facade asks every 250 ms; a loaded, sanitized build gets some slack.
constexpr milliseconds kAskedAtLeastEvery{400};
constexpr milliseconds kStopsWithin{1000};

class PatchServiceTest : public qz::test::SigningKitSuite {
protected:
    void SetUp() override
    {
        SigningKitSuite::SetUp();
        if (HasFatalFailure())
            return;
        host_.patchServiceUrl = Wide(server_.Url("/query"));
        host_.texts["GetDownloadFolder"] = dir_.wstring();
        host_.texts["GetPatchFileName"] = L"Patch.exe";
    }

    void ServeDocument(const std::string& document) { server_.SetAnswer("/query", HttpAnswer::Ok(document)); }
    static std::string Document(const std::string& url, std::uint64_t size)
    {
        return qz::test::ResultDocument{url, size}.Xml();
    }
    std::vector<std::string> Names() const { return qz::test::FolderNames(dir_); }
    // An empty download folder and a host that has heard nothing yet.
    void Fresh()
    {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        host_.ClearCalls();
    }
    bool Logged(const std::wstring& line) const
    {
        const auto lines = host_.LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string ValidDocument() const
    {
        return qz::test::ResultDocument{server_.Url("/patch.exe"), 4, "2.1.0.7", "<![CDATA[<p>Better.</p>]]>", 3}.Xml();
    }

    // Serves `bytes` at `target` with its detached signature beside it.
    void ServeSignedPatch(const std::string& bytes, const std::string& target = "/patch.exe")
    {
        const std::string signature = kit_->DetachedSignatureOf(bytes);
        ASSERT_FALSE(signature.empty());
        server_.SetAnswer(target, HttpAnswer::Ok(bytes));
        server_.SetAnswer(target + ".p7s", HttpAnswer::Ok(signature));
    }

    TestHttpServer server_;
    RecordingHost host_;
};

TEST_F(PatchServiceTest, UnusableAnswersGiveTwoAndReportNothing)
{
    const std::vector<std::string> documents = {
        "",  // no content at all
        // Which documents are incomplete is CPatchInfo's business; one stands for all.
        "<result filesize=\"4\" version=\"1.0\"><patch>x</patch></result>",
        "this is not XML",
    };
    for (const std::string& document : documents) {
        RecordingHost host;
        host.patchServiceUrl = host_.patchServiceUrl;
        host.texts = host_.texts;
        ServeDocument(document);
        EXPECT_EQ(CPatchOnline(&host).IsAvailable(true), QzAutoUpdate::kResultFailed) << document;
        EXPECT_TRUE(host.ArgumentsOf("SetPatchVersion").empty()) << document;
        EXPECT_TRUE(host.ArgumentsOf("SetPatchDescription").empty()) << document;
    }
    // Without the report flag the answer's content is enough.
    ServeDocument("anything");
    CPatchOnline online(&host_);
    EXPECT_EQ(online.IsAvailable(false), QzAutoUpdate::kResultSuccess);

    // An answer without a length counts as empty, though it is written.
    HttpAnswer answer = HttpAnswer::Ok(ValidDocument());
    answer.framing = Framing::Close;
    server_.SetAnswer("/query", answer);
    EXPECT_EQ(online.IsAvailable(true), QzAutoUpdate::kResultFailed);
    EXPECT_EQ(host_.LogLines().back(), L"CPatchOnline::IsAvailable(): Content length is zero!");
    EXPECT_EQ(ReadText(dir_ / "result.xml"), ValidDocument());
}

TEST_F(PatchServiceTest, DownloadChecksFirstThenHandsTheFileOver)
{
    ServeDocument(ValidDocument());
    ServeSignedPatch("PK..");
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultSuccess);
    const fs::path patch = dir_ / "Patch.exe";
    EXPECT_EQ(ReadText(patch), "PK..");
    EXPECT_TRUE(fs::exists(dir_ / "Patch.exe.p7s"));
    const auto lines = host_.LogLines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[1], L"CPatchOnline::Download(): Download url isn't available - try IsAvailable().");
    EXPECT_EQ(lines[2], L"CPatchOnline::IsAvailable(): Content length is available (" +
                            std::to_wstring(ValidDocument().size()) + L").");
    // The document was read and reported, and stays where the host wanted downloads.
    EXPECT_EQ(host_.ArgumentsOf("SetPatchVersion"), std::vector<std::wstring>{L"2.1.0.7"});
    EXPECT_EQ(host_.ArgumentsOf("SetPatchDescription"), std::vector<std::wstring>{L"<p>Better.</p>"});
    EXPECT_EQ(ReadText(dir_ / "result.xml"), ValidDocument());
    EXPECT_EQ(lines[lines.size() - 2], L"CPatchOnline::Download(): Using download url: " +
                                           Wide(server_.Url("/patch.exe")) + L".");
    EXPECT_EQ(lines.back(), L"CPatchOnline::Download(): Adding file: " + patch.wstring() + L".");
    EXPECT_EQ(host_.ArgumentsOf("AddFile"), std::vector<std::wstring>{patch.wstring() + L"|3"});
    EXPECT_EQ(host_.ArgumentsOf("OnProgress"), std::vector<std::wstring>{L"4"});
    // The host's answer to "progress receiver" questions arrives in order.
    std::vector<std::string> order;
    for (const auto& call : host_.Calls()) {
        if (call.operation == "OnDownloadBegin" || call.operation == "AddFile" || call.operation == "OnDownloadEnd")
            order.push_back(call.operation);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"OnDownloadBegin", "AddFile", "OnDownloadEnd"}));
}

TEST_F(PatchServiceTest, ASilentDownloadWhoseSignatureFailsIsNotHandedOver)
{
    ServeDocument(ValidDocument());
    const struct {
        const char* name;
        std::function<void()> serve;
        const char* kept;
    } cases[] = {
        {"no signature", [&] { server_.SetAnswer("/patch.exe", HttpAnswer::Ok("PK..")); }, "PK.."},
        {"a signature of other bytes",
         [&] {
             ServeSignedPatch("PK!!");
             server_.SetAnswer("/patch.exe", HttpAnswer::Ok("PK.."));
         },
         "PK.."},
        {"an unsigned PE file with a detached signature", [&] { ServeSignedPatch("MZ.."); }, "MZ.."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        server_.SetAnswer("/patch.exe.p7s", HttpAnswer::Status(404, "Not Found", ""));
        c.serve();
        EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultTransferFailed);
        EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
        EXPECT_FALSE(fs::exists(dir_ / "Patch.exe"));
        EXPECT_EQ(ReadText(dir_ / "Patch.exe.part"), c.kept);
        EXPECT_TRUE(Logged(L"CPatchOnline::Download(): check was failed."));
    }
}

TEST_F(PatchServiceTest, DownloadFailuresAndMissingUrl)
{
    // No URL, or a document the check rejects although it names one: nothing is downloaded.
    server_.SetAnswer("/patch.exe", HttpAnswer::Ok("MZ.."));
    const std::string url = server_.Url("/patch.exe");
    for (const std::string& document :
         {std::string("<result filesize=\"4\" version=\"1.0\"><patch>x</patch></result>"),
          "<result version=\"1.0\" url=\"" + url + "\"><patch>x</patch></result>",
          "<result filesize=\"4\" version=\"0.0.0.0\" url=\"" + url + "\"><patch>x</patch></result>"}) {
        SCOPED_TRACE(document);
        host_.ClearCalls();
        server_.ClearRequests();
        ServeDocument(document);
        EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultNoDownloadUrl);
        EXPECT_EQ(host_.LogLines().back(), L"CPatchOnline::Download(): Download url isn't still available.");
        EXPECT_TRUE(host_.ArgumentsOf("OnDownloadBegin").empty());
        EXPECT_FALSE(fs::exists(dir_ / "Patch.exe"));
        EXPECT_EQ(server_.Requests().size(), 1u);
    }
    host_.ClearCalls();
    ServeDocument(ValidDocument());
    server_.SetAnswer("/patch.exe", HttpAnswer::Status(404, "Not Found", ""));
    host_.bools["UseDownloadNotifications"] = false;
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultTransferFailed);
    for (const char* operation : {"AddFile", "OnDownloadBegin", "OnDownloadEnd"})
        EXPECT_TRUE(host_.ArgumentsOf(operation).empty()) << operation;
}

TEST_F(PatchServiceTest, SlowSilentAndEndlessServersNeverHoldTheCaller)
{
    // A body of 2 bytes every half second: the host is asked whether to cancel at least every 250 ms,
    // sees progress, and a yes ends the download at once, its bytes kept beside the patch name.
    server_.SetAnswer("/query", HttpAnswer::Ok(Document(server_.Url("/patch.exe"), 1000)));
    HttpAnswer trickle = HttpAnswer::Ok(std::string(1000, 'p'));
    trickle.slowBytes = 2;
    trickle.slowInterval = milliseconds(500);
    server_.SetAnswer("/patch.exe", trickle);
    CancelClock slow(milliseconds(2000), host_);
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultTransferFailed);
    EXPECT_LT(slow.SinceYes(), kStopsWithin);
    EXPECT_LE(slow.LongestGap(), kAskedAtLeastEvery);
    EXPECT_GE(host_.ArgumentsOf("OnProgress").size(), 2u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Patch.exe.part", "result.xml"}));
    // A cancel is no length fault.
    EXPECT_EQ(host_.LogLines().back().find(L"bytes arrived"), std::wstring::npos) << host_.LogLines().back();

    // A service that never answers: the query ends when the host cancels.
    HttpAnswer silent = HttpAnswer::Ok(Document(server_.Url("/patch.exe"), 1000));
    silent.silence = milliseconds(60000);
    server_.SetAnswer("/query", silent);
    CancelClock silence(milliseconds(300), host_);
    EXPECT_EQ(CPatchOnline(&host_).IsAvailable(true), QzAutoUpdate::kResultFailed);
    EXPECT_LT(silence.SinceYes(), kStopsWithin);

    // Without anybody cancelling, a body below the low-speed floor is a time-out.
    host_.cancelled = nullptr;
    {
        CTavorHttpTransfer transfer;
        transfer.SetAskBeforeOverwriting(false);
        transfer.SetTimeouts({5, 1024, 1, 0});
        const Clock::time_point start = Clock::now();
        EXPECT_FALSE(transfer.DownloadToFile(Wide(server_.Url("/patch.exe")), 0, (dir_ / "slow.bin").wstring().c_str()));
        EXPECT_EQ(qz::platform::InternetGetLastError(), qz::platform::ERROR_INTERNET_TIMEOUT);
        EXPECT_LT(Clock::now() - start, milliseconds(4000));
    }

    // An answer without end is cut at the cap, with a log line, and leaves nothing behind.
    HttpAnswer endless = HttpAnswer::Generated(1ull << 40);
    endless.framing = Framing::Close;
    server_.SetAnswer("/query", endless);
    Fresh();
    EXPECT_EQ(CPatchOnline(&host_).IsAvailable(true), QzAutoUpdate::kResultFailed);
    EXPECT_EQ(host_.LogLines().back(),
              L"CPatchOnline::IsAvailable(): the answer is longer than 4194304 bytes; refused.");
    EXPECT_TRUE(Names().empty());
}

TEST_F(PatchServiceTest, OnlyABodyOfTheAnnouncedLengthIsHandedOver)
{
    const std::string patch(103352, 'p');
    struct Case {
        const char* name;
        HttpAnswer answer;
        std::uint32_t result;
        const char* arrived;  // the length the log line names, when it is sure
    };
    HttpAnswer cut = HttpAnswer::Ok(patch);
    cut.declaredLength = 1000;
    HttpAnswer endless = HttpAnswer::Generated(1ull << 40);
    endless.framing = Framing::Close;
    ServeSignedPatch(patch);
    const std::vector<Case> cases = {
        {"a Content-Length shorter than the patch", cut, QzAutoUpdate::kResultTransferFailed, "1000"},
        {"an empty body", HttpAnswer::Ok(""), QzAutoUpdate::kResultTransferFailed, "0"},
        {"a longer body", HttpAnswer::Ok(patch + "tail"), QzAutoUpdate::kResultTransferFailed, nullptr},
        {"a body without end", endless, QzAutoUpdate::kResultTransferFailed, nullptr},
        {"the patch", HttpAnswer::Ok(patch), QzAutoUpdate::kResultSuccess, nullptr},
    };
    server_.SetAnswer("/query", HttpAnswer::Ok(Document(server_.Url("/patch.exe"), patch.size())));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        server_.SetAnswer("/patch.exe", c.answer);
        EXPECT_EQ(CPatchOnline(&host_).Download(true), c.result);
        const bool good = c.result == QzAutoUpdate::kResultSuccess;
        EXPECT_EQ(host_.ArgumentsOf("AddFile").size(), good ? 1u : 0u);
        EXPECT_EQ(fs::exists(dir_ / "Patch.exe"), good);
        if (good) {
            EXPECT_EQ(fs::file_size(dir_ / "Patch.exe"), patch.size());
        }
        // Nothing beyond the announced length reaches the disk.
        if (fs::exists(dir_ / "Patch.exe.part")) {
            EXPECT_LE(fs::file_size(dir_ / "Patch.exe.part"), patch.size());
        }
        // A short body says so in the host's log.
        if (c.arrived) {
            EXPECT_TRUE(Logged(L"CPatchOnline::Download(): " + Wide(c.arrived) +
                               L" bytes arrived where the service announced 103352."))
                << host_.LogLines().back();
        }
    }
}

TEST_F(PatchServiceTest, HttpsNeverTurnsIntoHttpAndQueryValuesTravelWhole)
{
    TestHttpServer secure(TestHttpServer::Mode::Https);
    qz::test::ScopedEnvironment trust("SSL_CERT_FILE", TestHttpServer::CaFile().c_str());
    const std::string patch(100, 'p');
    server_.SetAnswer("/query", HttpAnswer::Ok(Document(server_.Url("/patch.exe"), patch.size())));
    server_.SetAnswer("/patch.exe", HttpAnswer::Ok(patch));
    secure.SetAnswer("/query", HttpAnswer::Redirect(302, server_.Url("/query")));
    secure.SetAnswer("/secure-query", HttpAnswer::Ok(Document(secure.Url("/patch.exe"), patch.size())));
    secure.SetAnswer("/plain-patch-query", HttpAnswer::Ok(Document(server_.Url("/patch.exe"), patch.size())));
    secure.SetAnswer("/patch.exe", HttpAnswer::Redirect(301, server_.Url("/patch.exe")));

    // The query and the download are each redirected to plain http: refused.
    host_.patchServiceUrl = Wide(secure.Url("/query"));
    EXPECT_EQ(CPatchOnline(&host_).IsAvailable(true), QzAutoUpdate::kResultFailed);
    host_.patchServiceUrl = Wide(secure.Url("/secure-query"));
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultTransferFailed);
    EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
    // Nor may a document fetched over https send the download to plain http.
    host_.patchServiceUrl = Wide(secure.Url("/plain-patch-query"));
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultNoDownloadUrl);
    EXPECT_TRUE(Logged(L"CPatchOnline::IsAcceptable(): the patch URL " + Wide(server_.Url("/patch.exe")) +
                       L" is not https, as the query was; refused."));
    EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
    EXPECT_TRUE(server_.Requests().empty()) << server_.Requests().front().requestLine;

    // A program named with characters a request target cannot carry as they are arrives whole.
    host_.programName = L"C# Tools 100%";
    host_.patchServiceUrl = Wide(server_.Url("/query"));
    EXPECT_EQ(CPatchOnline(&host_).IsAvailable(true), QzAutoUpdate::kResultSuccess);
    ASSERT_FALSE(server_.Requests().empty());
    EXPECT_NE(server_.Requests().back().target.find("&program=C%23%20Tools%20100%25&"), std::string::npos)
        << server_.Requests().back().target;
}

TEST_F(PatchServiceTest, ASignatureFetchThatStallsEndsWithTheHostsCancel)
{
    const std::string patch = "PK.." + std::string(1000, 'p');
    ServeDocument(Document(server_.Url("/patch.tar"), patch.size()));
    ServeSignedPatch(patch, "/patch.tar");
    HttpAnswer silent = HttpAnswer::Ok(kit_->DetachedSignatureOf(patch));
    silent.silence = milliseconds(60000);
    server_.SetAnswer("/patch.tar.p7s", silent);
    CancelClock clock(milliseconds(1500), host_);
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultTransferFailed);
    EXPECT_LT(clock.SinceYes(), kStopsWithin);
    EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
    // A stopped signature fetch leaves nothing but the patch's own bytes.
    EXPECT_EQ(Names(), (std::vector<std::string>{"Patch.exe.part", "result.xml"}));
}

TEST_F(PatchServiceTest, TheDefaultSignatureUrlAddsToThePathOnly)
{
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"https://dl.example.com/p/app.tar?id=5#top", L"https://dl.example.com/p/app.tar.p7s?id=5#top"},
        {"https://dl.example.com:8443/app.tar", L"https://dl.example.com:8443/app.tar.p7s"},
        // Without a path there is no name to add to; the check then fails.
        {"https://dl.example.com?id=5", L""},
        {"https://dl.example.com:8443#top", L""},
    };
    for (const auto& [url, expected] : cases) {
        SCOPED_TRACE(url);
        CPatchInfo info;
        info.ParseResultDocument(std::string("<result filesize=\"4\" version=\"2.0\" url=\"") + url +
                                 "\"><patch>x</patch></result>");
        ASSERT_EQ(info.GetUrl().GetText(), Wide(url));
        EXPECT_EQ(CPatchOnline::SignatureUrl(info), expected);
    }
}

}  // namespace

TEST_F(PatchServiceTest, AResumedPatchThatFailsItsCheckStartsCleanNextTime)
{
    const std::string patch = "PK.." + std::string(400000, 'p');
    std::string forged = patch;
    forged.replace(300000, 100000, std::string(100000, 'f'));
    ServeDocument(Document(server_.Url("/patch.exe"), patch.size()));
    server_.SetAnswer("/patch.exe.p7s", HttpAnswer::Ok(kit_->DetachedSignatureOf(patch)));
    qz::test::ServedFile served;
    served.body = patch;
    served.etag = "\"p1\"";
    const auto serve = [&](const std::string& body) {
        served.body = body;
        server_.ServeFile("/patch.exe", served);
    };
    const auto cancelFrom = [&](std::int32_t bytes) {
        host_.cancelled = [this, bytes] {
            const auto progress = host_.ArgumentsOf("OnProgress");
            return !progress.empty() && std::stoi(progress.back()) >= bytes;
        };
    };
    const auto rangeOfLastDownload = [&] {
        std::string range = "-";
        for (const auto& request : server_.Requests()) {
            if (request.target == "/patch.exe")
                range = request.Header("Range").value_or("-");
        }
        return range;
    };

    // Stopped, then continued from a server that now sends other bytes under the same validator: the
    // check fails, and nothing of it is kept.
    serve(patch);
    cancelFrom(100000);
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultTransferFailed);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Patch.exe.part", "Patch.exe.resume", "result.xml"}));
    const std::uint64_t kept = fs::file_size(dir_ / "Patch.exe.part");
    host_.cancelled = nullptr;
    host_.ClearCalls();
    serve(forged);
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultTransferFailed);
    EXPECT_EQ(rangeOfLastDownload(), "bytes=" + std::to_string(kept) + "-");
    EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Patch.exe.p7s", "result.xml"}));

    // The next try starts from zero and gets the good patch. The progress of
    // the last download must not cancel this one before its bytes arrive.
    host_.ClearCalls();
    serve(patch);
    cancelFrom(100000);
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultTransferFailed);
    EXPECT_GE(fs::file_size(dir_ / "Patch.exe.part"), 100000u);
    host_.cancelled = nullptr;
    host_.ClearCalls();
    server_.ClearRequests();
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultSuccess);
    EXPECT_EQ(ReadText(dir_ / "Patch.exe"), patch);
    EXPECT_NE(rangeOfLastDownload(), "-");
    const auto lines = host_.LogLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::wstring& line) {
        return line.find(L"CTavorHttpTransfer::ReceiveToFile(): resumed at ") == 0 &&
               line.find(L" of 400004 bytes.") != std::wstring::npos;
    }));
    EXPECT_EQ(host_.ArgumentsOf("AddFile").size(), 1u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Patch.exe", "Patch.exe.p7s", "result.xml"}));
}

TEST_F(PatchServiceTest, ABodyThatStartsOverMidTransferIsDigestedFromItsNewStart)
{
    // Long enough that chunks wait for the hashing thread when the connection drops and the server,
    // ignoring Range, sends all again.
    std::vector<std::uint8_t> section(3u << 20);
    for (std::size_t i = 0; i < section.size(); ++i)
        section[i] = static_cast<std::uint8_t>(i * 2654435761u >> 9);
    qz::test::PeWriter writer;
    writer.AddSection(".big", section);
    writer.WriteTo(dir_ / "plain.exe");
    std::string output;
    ASSERT_TRUE(kit_->Sign(dir_ / "plain.exe", dir_ / "signed.exe", {}, &output)) << output;
    const auto bytes = qz::test::ReadFileBytes(dir_ / "signed.exe");
    qz::test::ServedFile served;
    served.body = std::string(bytes.begin(), bytes.end());
    served.etag = "\"pe2\"";
    served.ignoreRange = true;
    served.cuts = {(2u << 20) + 4099};
    server_.ServeFile("/patch.exe", served);
    ServeDocument(Document(server_.Url("/patch.exe"), served.body.size()));

    CPatchOnline online(&host_);
    EXPECT_EQ(online.Download(true), QzAutoUpdate::kResultSuccess);
    EXPECT_TRUE(online.WasDigestStreamed());
    EXPECT_EQ(ReadText(dir_ / "Patch.exe"), served.body);
    const auto requests = server_.Requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r.target == "/patch.exe"; }),
              2);
}
