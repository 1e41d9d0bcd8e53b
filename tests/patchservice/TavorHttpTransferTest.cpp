// The transfer engine against a loopback server with scripted answers. How requests and answers are
// framed on the wire, and whom TLS trusts, is the internet layer's part and tested there.
#include "patchservice/TavorHttpTransfer.h"

#include "platform/UserQuestion.h"
#include "support/FileText.h"
#include "support/FolderNames.h"
#include "support/RecordingHost.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using qz::test::HttpAnswer;
using Framing = HttpAnswer::Framing;
using qz::test::RecordingHost;
using qz::test::TestHttpServer;
namespace fs = std::filesystem;

// Records what the engine tells a status listener.
class Listener : public ITransferStatusListener {
public:
    void OnTransferStatus(const char* text) override { statuses.emplace_back(text); }
    void OnTransferBegin(const char* text, std::uint32_t, std::uint32_t expected) override
    {
        begins.emplace_back(text);
        expectedSize = expected;
    }
    void OnTransferProgress(std::uint32_t received) override { progress.push_back(received); }
    int ContinueTransfer() override { return keepGoing ? 1 : 0; }
    void OnTransferError(const char* text) override { errors.emplace_back(text); }

    std::vector<std::string> statuses, begins, errors;
    std::vector<std::uint32_t> progress;
    std::uint32_t expectedSize = 0;
    bool keepGoing = true;
};

const char* const kNoVersion = "No new program version has been found. Your version is up to date.";
const char* const kNoConnection = "Cannot connect to the server. Please check your connection to the Internet.";

class TransferTest : public ::testing::Test {
protected:
    void TearDown() override { qz::platform::SetYesNoHandler({}); }
    std::string Target(const std::string& suffix = "") const
    {
        return qz::test::ReadText(fs::path(target_ + qz::test::Wide(suffix)));
    }
    bool Fetch(CTavorHttpTransfer& transfer, const std::string& path)
    {
        return transfer.DownloadToFile(qz::test::Wide(server_.Url(path)), 0, target_.c_str());
    }

    // A transfer that reports to its own listener and overwrites without asking.
    struct Quiet {
        Quiet()
        {
            transfer.SetStatusListener(&listener);
            transfer.SetAskBeforeOverwriting(false);
        }
        Listener listener;
        CTavorHttpTransfer transfer;
    };

    TestHttpServer server_;
    qz::test::TempFolder folder_{"qz-transfer"};
    const fs::path& dir_ = folder_.path();
    const std::wstring target_ = (dir_ / "target.bin").wstring();
};

TEST_F(TransferTest, DownloadsTheBodyWithProgressAndStatusTexts)
{
    const std::string body(150000, 'x');
    server_.SetAnswer("/file", HttpAnswer::Ok(body));
    RecordingHost host;
    Quiet q;
    CTavorHttpTransfer& transfer = q.transfer;
    const Listener& listener = q.listener;
    transfer.SetProgressReceiver(&host);
    ASSERT_TRUE(transfer.DownloadToFile(qz::test::Wide(server_.Url("/file?a=%41")), 1234, target_.c_str()));
    EXPECT_EQ(Target(), body);
    EXPECT_EQ(transfer.GetStatusCode(), 200);
    EXPECT_EQ(transfer.GetContentLength(), 150000);
    EXPECT_TRUE(transfer.HasContent());
    EXPECT_EQ(host.ArgumentsOf("SetPatchSize"), std::vector<std::wstring>{L"150000"});
    // One report per block of 65536 bytes.
    EXPECT_EQ(host.ArgumentsOf("OnProgress"), (std::vector<std::wstring>{L"65536", L"131072", L"150000"}));
    EXPECT_EQ(host.ArgumentsOf("IsCancelled").size(), 3u);
    EXPECT_EQ(listener.statuses, (std::vector<std::string>{"Connecting to server...", "Sending request...",
                                                           "Transferring file...", "Done."}));
    EXPECT_EQ(listener.begins, std::vector<std::string>{"Downloading file..."});
    EXPECT_EQ(listener.expectedSize, 1234u);
    EXPECT_EQ(listener.progress.back(), 150000u);

    // The engine's own agent; it accepts anything.
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("User-Agent").value_or(""), "TavorHttpClient");
    EXPECT_EQ(requests[0].Header("Accept").value_or(""), "*/*");
}

TEST_F(TransferTest, ErrorStatusesAndTheSavedAnswer)
{
    server_.SetAnswer("/missing", HttpAnswer::Status(404, "Not Found", "nope"));
    server_.SetAnswer("/broken", HttpAnswer::Status(500, "Internal Server Error", "server says no"));
    std::ofstream(fs::path(target_)) << "old";
    Quiet missing;
    EXPECT_FALSE(Fetch(missing.transfer, "/missing"));
    EXPECT_EQ(missing.transfer.GetStatusCode(), 404);
    EXPECT_EQ(Target(), "old");  // untouched
    EXPECT_EQ(missing.listener.errors, std::vector<std::string>{kNoVersion});

    Quiet broken;
    broken.transfer.SetReportServerErrors(true);
    EXPECT_FALSE(Fetch(broken.transfer, "/broken"));
    EXPECT_TRUE(broken.transfer.IsAnswerSaved());
    EXPECT_EQ(Target(), "server says no");
    EXPECT_EQ(broken.listener.errors, std::vector<std::string>{"Server error occured,\"500\""});
    EXPECT_EQ(broken.listener.statuses.back(), "Done.");

    fs::remove(fs::path(target_));
    CTavorHttpTransfer unsaved;
    unsaved.SetSaveErrorAnswer(false);
    EXPECT_FALSE(Fetch(unsaved, "/broken"));
    EXPECT_FALSE(unsaved.IsAnswerSaved());
    EXPECT_FALSE(fs::exists(fs::path(target_)));
}

TEST_F(TransferTest, WhatCountsAsContentAndLengthsPastThirtyOneBits)
{
    HttpAnswer chunked = HttpAnswer::Ok(std::string(5000, 'c'));
    chunked.framing = Framing::Chunked;
    server_.SetAnswer("/chunked", chunked);
    HttpAnswer unframed = HttpAnswer::Ok("until close");
    unframed.framing = Framing::Close;
    server_.SetAnswer("/close", unframed);
    server_.SetAnswer("/empty", HttpAnswer::Ok(""));
    HttpAnswer huge = HttpAnswer::Ok("abc");
    huge.declaredLength = 3000000000ULL;
    server_.SetAnswer("/huge", huge);

    // Chunks are content; a body without length is written, yet without content as far as the engine knows.
    const struct {
        const char* path;
        bool chunked, content;
        const char* body;
    } cases[] = {
        {"/chunked", true, true, nullptr}, {"/close", false, false, "until close"}, {"/empty", false, false, ""}};
    for (const auto& c : cases) {
        Quiet q;
        ASSERT_TRUE(Fetch(q.transfer, c.path)) << c.path;
        EXPECT_EQ(q.transfer.IsChunked(), c.chunked) << c.path;
        EXPECT_EQ(q.transfer.HasContent(), c.content) << c.path;
        EXPECT_EQ(q.transfer.GetContentLength(), 0) << c.path;
        EXPECT_EQ(Target(), c.body ? std::string(c.body) : std::string(5000, 'c')) << c.path;
    }

    // A length beyond the signed 32-bit range does not survive the conversion.
    RecordingHost host;
    Quiet d;
    d.transfer.SetProgressReceiver(&host);
    EXPECT_FALSE(Fetch(d.transfer, "/huge"));
    EXPECT_EQ(d.transfer.GetContentLength(), 2147483647);
    EXPECT_EQ(host.ArgumentsOf("SetPatchSize"), std::vector<std::wstring>{L"2147483647"});
}

TEST_F(TransferTest, MalformedStatusLineAndUnreachableServers)
{
    HttpAnswer garbage = HttpAnswer::Ok("body");
    garbage.rawStatusLine = "HTTP/1.1 OK fine";
    server_.SetAnswer("/garbage", garbage);
    Quiet q;
    EXPECT_FALSE(Fetch(q.transfer, "/garbage"));
    EXPECT_EQ(q.transfer.GetStatusCode(), -1);
    EXPECT_TRUE(q.transfer.IsAnswerSaved());  // an unparsable status is no 404
    ASSERT_FALSE(q.listener.errors.empty());
    EXPECT_EQ(q.listener.errors[0].rfind("Unable to parse ReturnCode from server, server answer was \"", 0), 0u);
    Quiet unreachable;
    const std::wstring port = std::to_wstring(TestHttpServer::UnusedPort());
    EXPECT_FALSE(unreachable.transfer.DownloadToFile(L"http://127.0.0.1:" + port + L"/x", 0, target_.c_str()));
    EXPECT_EQ(unreachable.listener.errors, std::vector<std::string>{kNoConnection});
    // A URL that cannot be split never reaches the network.
    fs::remove(fs::path(target_));
    CTavorHttpTransfer transfer;
    EXPECT_FALSE(transfer.DownloadToFile(L"not a url", 0, target_.c_str()));
    EXPECT_FALSE(fs::exists(fs::path(target_)));
}

TEST_F(TransferTest, ResetCancelAndListenerStopLeaveThePartialFileBesideAGoodOne)
{
    HttpAnswer reset = HttpAnswer::Generated(300000);
    reset.resetAfter = 100000;
    server_.SetAnswer("/reset", reset);
    server_.SetAnswer("/big", HttpAnswer::Generated(400000));
    server_.SetAnswer("/good", HttpAnswer::Ok("the good file"));
    Quiet good;
    ASSERT_TRUE(Fetch(good.transfer, "/good"));

    // Whatever stops a body, the good file keeps its name and the partial one waits beside it.
    Quiet dropped;
    EXPECT_FALSE(Fetch(dropped.transfer, "/reset"));
    EXPECT_EQ(dropped.listener.errors, std::vector<std::string>{kNoVersion});
    const std::string partial = Target(".part");
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LE(partial.size(), 100000u);
    for (std::size_t i = 0; i < partial.size(); ++i)
        ASSERT_EQ(partial[i], TestHttpServer::PatternByte(i)) << i;

    // Cancelled once the first block has been reported.
    RecordingHost host;
    host.cancelled = [&host] { return !host.ArgumentsOf("OnProgress").empty(); };
    Quiet cancelled;
    cancelled.transfer.SetProgressReceiver(&host);
    EXPECT_FALSE(Fetch(cancelled.transfer, "/big"));
    EXPECT_EQ(Target(".part").size(), 65536u);  // exactly one block

    Quiet stopped;
    stopped.listener.keepGoing = false;
    EXPECT_FALSE(Fetch(stopped.transfer, "/big"));
    EXPECT_TRUE(stopped.listener.errors.empty());  // the user stopped: no error text
    EXPECT_EQ(Target(".part").size(), 65536u);

    EXPECT_EQ(Target(), "the good file");
    EXPECT_EQ(qz::test::FolderNames(dir_), (std::vector<std::string>{"target.bin", "target.bin.part"}));
}

TEST_F(TransferTest, AnExistingTargetIsReplacedOnlyAfterAYes)
{
    server_.SetAnswer("/new", HttpAnswer::Ok("new content"));
    std::ofstream(fs::path(target_)) << "precious";
    std::vector<std::wstring> questions;
    bool answer = false;
    qz::platform::SetYesNoHandler([&](const std::wstring& question) {
        questions.push_back(question);
        return answer;
    });
    CTavorHttpTransfer no;
    EXPECT_FALSE(Fetch(no, "/new"));
    EXPECT_EQ(Target(), "precious");
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], target_ + L" already exists. Overwrite the file?");

    answer = true;
    CTavorHttpTransfer yes;
    EXPECT_TRUE(Fetch(yes, "/new"));
    EXPECT_EQ(Target(), "new content");

    // Without a question handler (no GUI) the answer is No.
    qz::platform::SetYesNoHandler({});
    std::ofstream(fs::path(target_)) << "precious";
    CTavorHttpTransfer headless;
    EXPECT_FALSE(Fetch(headless, "/new"));
    EXPECT_EQ(Target(), "precious");
}

TEST_F(TransferTest, ProbeNeedsOneWholeBlockAndWritesNothing)
{
    server_.SetAnswer("/big", HttpAnswer::Generated(70000));
    server_.SetAnswer("/small", HttpAnswer::Ok("tiny"));
    Quiet q;
    EXPECT_TRUE(q.transfer.DownloadFromAnsiUrl(server_.Url("/big").c_str()));
    EXPECT_EQ(q.listener.statuses.back(), "Done.");
    EXPECT_FALSE(q.transfer.DownloadFromAnsiUrl(server_.Url("/small").c_str()));
    EXPECT_EQ(q.listener.errors.back(), "Filetransfer failed !");
    EXPECT_FALSE(q.transfer.DownloadFromAnsiUrl("garbage"));
    EXPECT_FALSE(fs::exists("TavorHttpTransferFile.dat"));
}

}  // namespace

// What a body observer is shown is the target file, from its first byte.
class BodyRecorder : public ITransferBodyObserver {
public:
    void OnBodyStart() override { ++starts; seen.clear(); }
    void OnBodyBytes(const std::uint8_t* data, std::size_t length) override
    {
        ASSERT_GT(starts, 0);
        seen.append(reinterpret_cast<const char*>(data), length);
    }
    int starts = 0;
    std::string seen;
};

TEST_F(TransferTest, TheBodyObserverSeesWhatTheFileHolds)
{
    HttpAnswer chunked = HttpAnswer::Generated(200003);
    chunked.framing = Framing::Chunked;
    chunked.chunkSize = 997;
    server_.SetAnswer("/chunked", chunked);
    HttpAnswer cut = HttpAnswer::Generated(300000);
    cut.resetAfter = 100000;
    server_.SetAnswer("/cut", cut);
    server_.SetAnswer("/small", HttpAnswer::Ok("small"));

    BodyRecorder recorder;
    Quiet quiet;
    quiet.transfer.SetBodyObserver(&recorder);
    ASSERT_TRUE(Fetch(quiet.transfer, "/chunked"));
    EXPECT_EQ(recorder.starts, 1);
    EXPECT_EQ(recorder.seen.size(), 200003u);
    EXPECT_TRUE(recorder.seen == Target());

    // The next body on the same engine starts over; a cut one shows what stays in the partial file.
    ASSERT_TRUE(Fetch(quiet.transfer, "/small"));
    EXPECT_EQ(recorder.starts, 2);
    EXPECT_EQ(recorder.seen, "small");
    EXPECT_FALSE(Fetch(quiet.transfer, "/cut"));
    EXPECT_EQ(recorder.starts, 3);
    EXPECT_TRUE(recorder.seen == Target(".part"));

    // Reset forgets the observer.
    quiet.transfer.Reset();
    quiet.transfer.SetAskBeforeOverwriting(false);
    ASSERT_TRUE(Fetch(quiet.transfer, "/small"));
    EXPECT_EQ(recorder.starts, 3);
}
