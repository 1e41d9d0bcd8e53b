// The patch query and download against a loopback patch service.
#include "patchservice/PatchOnline.h"

#include "support/RecordingHost.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using qz::test::HttpAnswer;
using qz::test::RecordingHost;
using qz::test::TestHttpServer;
namespace fs = std::filesystem;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(PatchOnlineQuery, UrlFromTheHostsAnswersInKeyOrder)
{
    RecordingHost host;
    CPatchOnline online(&host);
    EXPECT_EQ(online.GetQueryUrl().GetText(),
              L"http://127.0.0.1:1/patch?format=html&program=TestProgram&program_language=en-GB"
              L"&program_platform=win-x64&program_version=1.0.0.0");
    EXPECT_EQ(host.LogLines(), std::vector<std::wstring>{L"CPatchOnline::BuildURL(): " +
                                                         online.GetQueryUrl().GetText() + L"."});
    // The serial number is not even asked for when it is not wanted.
    EXPECT_TRUE(host.ArgumentsOf("GetSerialNumber").empty());
}

TEST(PatchOnlineQuery, SerialNumberOnlyOverHttpsAndNeverEmpty)
{
    struct Case {
        std::wstring base;
        std::wstring serial;
        std::wstring logged;  // the serial line, or empty
        bool serialInUrl;
    };
    const std::vector<Case> cases = {
        {L"http://h/p", L"S-1", L"CPatchOnline::BuildURL(): Can not add serial number. HTTPS is required.", false},
        {L"HTTPS://h/p", L"S-1", L"CPatchOnline::BuildURL(): Can not add serial number. HTTPS is required.", false},
        {L"https://h/p", L"", L"CPatchOnline::BuildURL(): Can not add serial number. serial number must not empty.",
         false},
        {L"https://h/p", L"S-1", L"", true},
    };
    for (const Case& c : cases) {
        RecordingHost host;
        host.patchServiceUrl = c.base;
        host.serialNumber = c.serial;
        host.bools["SendSerialNumber"] = true;
        CPatchOnline online(&host);
        const auto lines = host.LogLines();
        ASSERT_EQ(lines.size(), c.logged.empty() ? 1u : 2u) << c.base;
        if (!c.logged.empty()) {
            EXPECT_EQ(lines[0], c.logged);
        }
        EXPECT_EQ(online.GetQueryUrl().GetText().find(L"serial=S-1") != std::wstring::npos, c.serialInUrl);
    }
}

TEST(PatchOnlineQuery, PlatformKeysAndKeysTheBaseUrlAlreadyHas)
{
    for (const auto& [platform, expected] :
         std::vector<std::pair<int, std::wstring>>{{1, L"win-x86"}, {2, L"win-x64"}, {0, L""}, {3, L""}}) {
        RecordingHost host;
        host.platform = platform;
        CPatchOnline online(&host);
        const std::wstring& url = online.GetQueryUrl().GetText();
        EXPECT_EQ(url.find(L"program_platform=" + expected) != std::wstring::npos, !expected.empty()) << url;
        EXPECT_EQ(host.LogLines().size(), 1u);
    }
    RecordingHost host;
    host.patchServiceUrl = L"http://h/p?format=xml&zz=1";
    CPatchOnline online(&host);
    EXPECT_EQ(online.GetQueryUrl().GetText(),
              L"http://h/p?format=xml&program=TestProgram&program_language=en-GB&program_platform=win-x64"
              L"&program_version=1.0.0.0&zz=1");
    // No configuration: no URL, and the checks fail quietly.
    CPatchOnline none(nullptr);
    EXPECT_TRUE(none.GetQueryUrl().IsEmpty());
    EXPECT_EQ(none.IsAvailable(true), QzAutoUpdate::kResultFailed);
    EXPECT_EQ(none.Download(true), QzAutoUpdate::kResultNoConfiguration);
}

class PatchServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("qz-patchonline-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        host_.patchServiceUrl = Wide(server_.Url("/query"));
        host_.texts["GetDownloadFolder"] = dir_.wstring();
        host_.texts["GetPatchFileName"] = L"Patch.exe";
    }
    void TearDown() override { fs::remove_all(dir_); }

    void ServeDocument(const std::string& document) { server_.SetAnswer("/query", HttpAnswer::Ok(document)); }
    std::string ValidDocument() const
    {
        return "<?xml version=\"1.0\"?><result filesize=\"4\" version=\"2.1.0.7\" pug_installer=\"3\" url=\"" +
               server_.Url("/patch.exe") + "\"><patch><![CDATA[<p>Better.</p>]]></patch></result>";
    }

    TestHttpServer server_;
    RecordingHost host_;
    fs::path dir_;
};

TEST_F(PatchServiceTest, AvailablePatchIsReportedToTheHost)
{
    ServeDocument(ValidDocument());
    CPatchOnline online(&host_);
    EXPECT_EQ(online.IsAvailable(true), QzAutoUpdate::kResultSuccess);
    EXPECT_EQ(host_.ArgumentsOf("SetPatchVersion"), std::vector<std::wstring>{L"2.1.0.7"});
    EXPECT_EQ(host_.ArgumentsOf("SetPatchDescription"), std::vector<std::wstring>{L"<p>Better.</p>"});
    const auto lines = host_.LogLines();
    EXPECT_EQ(lines.back(), L"CPatchOnline::IsAvailable(): Content length is available (" +
                                std::to_wstring(ValidDocument().size()) + L").");
    // The document stays where the host wanted downloads.
    EXPECT_EQ(online.GetLocalFile().GetPath(), (dir_ / "result.xml").wstring());
    EXPECT_EQ(Read(dir_ / "result.xml"), ValidDocument());
    // The request carried the query keys in order.
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/query?format=html&program=TestProgram&program_language=en-GB"
                                  "&program_platform=win-x64&program_version=1.0.0.0");
}

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
        CPatchOnline online(&host);
        EXPECT_EQ(online.IsAvailable(true), QzAutoUpdate::kResultFailed) << document;
        EXPECT_TRUE(host.ArgumentsOf("SetPatchVersion").empty()) << document;
        EXPECT_TRUE(host.ArgumentsOf("SetPatchDescription").empty()) << document;
    }
    // Without the report flag the answer's content is enough.
    ServeDocument("anything");
    CPatchOnline online(&host_);
    EXPECT_EQ(online.IsAvailable(false), QzAutoUpdate::kResultSuccess);

    // An answer without a length counts as empty, though it is written.
    HttpAnswer answer = HttpAnswer::Ok(ValidDocument());
    answer.framing = HttpAnswer::Framing::Close;
    server_.SetAnswer("/query", answer);
    EXPECT_EQ(online.IsAvailable(true), QzAutoUpdate::kResultFailed);
    EXPECT_EQ(host_.LogLines().back(), L"CPatchOnline::IsAvailable(): Content length is zero!");
    EXPECT_EQ(Read(dir_ / "result.xml"), ValidDocument());
}

TEST_F(PatchServiceTest, DownloadChecksFirstThenHandsTheFileOver)
{
    ServeDocument(ValidDocument());
    server_.SetAnswer("/patch.exe", HttpAnswer::Ok("MZ.."));
    CPatchOnline online(&host_);
    EXPECT_EQ(online.Download(true), QzAutoUpdate::kResultSuccess);
    const fs::path patch = dir_ / "Patch.exe";
    EXPECT_EQ(Read(patch), "MZ..");
    const auto lines = host_.LogLines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[1], L"CPatchOnline::Download(): Download url isn't available - try IsAvailable().");
    EXPECT_EQ(lines[lines.size() - 2], L"CPatchOnline::Download(): Using download url: " +
                                           Wide(server_.Url("/patch.exe")) + L".");
    EXPECT_EQ(lines.back(), L"CPatchOnline::Download(): Adding file: " + patch.wstring() + L".");
    EXPECT_EQ(host_.ArgumentsOf("AddFile"), std::vector<std::wstring>{patch.wstring() + L"|3"});
    EXPECT_EQ(host_.ArgumentsOf("OnProgress"), std::vector<std::wstring>{L"4"});
    // The host's answer to "progress receiver" questions arrives in order.
    const auto calls = host_.Calls();
    std::vector<std::string> order;
    for (const auto& call : calls) {
        if (call.operation == "OnDownloadBegin" || call.operation == "AddFile" || call.operation == "OnDownloadEnd")
            order.push_back(call.operation);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"OnDownloadBegin", "AddFile", "OnDownloadEnd"}));
}

TEST_F(PatchServiceTest, DownloadFailuresAndMissingUrl)
{
    ServeDocument("<result filesize=\"4\" version=\"1.0\"><patch>x</patch></result>");
    {
        CPatchOnline online(&host_);
        EXPECT_EQ(online.Download(true), QzAutoUpdate::kResultNoDownloadUrl);
        EXPECT_EQ(host_.LogLines().back(), L"CPatchOnline::Download(): Download url isn't still available.");
        EXPECT_TRUE(host_.ArgumentsOf("OnDownloadBegin").empty());
        EXPECT_FALSE(fs::exists(dir_ / "Patch.exe"));
    }
    host_.ClearCalls();
    ServeDocument(ValidDocument());
    server_.SetAnswer("/patch.exe", HttpAnswer::Status(404, "Not Found", ""));
    host_.bools["UseDownloadNotifications"] = false;
    CPatchOnline online(&host_);
    EXPECT_EQ(online.Download(true), QzAutoUpdate::kResultTransferFailed);
    EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
    EXPECT_TRUE(host_.ArgumentsOf("OnDownloadBegin").empty());
    EXPECT_TRUE(host_.ArgumentsOf("OnDownloadEnd").empty());
}

}  // namespace
