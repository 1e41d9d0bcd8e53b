// The updater without its dialogs: the check-only flow, action 2, the shared
// state and the cancel flag, and the workers driven by a test window that
// answers their messages as the progress dialog does.
#include "WorkerTestDialog.h"

#include "support/PeWriter.h"
#include "support/RecordingHost.h"
#include "support/SigningKit.h"
#include "support/TestHttpServer.h"
#include "update/Actions.h"
#include "update/CurrentConfiguration.h"
#include "update/States.h"
#include "dialogs/UpdateSteps.h"
#include "update/Updater.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <unistd.h>

template <>
struct SingletonTestApi<CStates> {
    static bool HasInstance() { return Singleton<CStates>::instance_ != nullptr; }
};

namespace {

namespace fs = std::filesystem;
using namespace QzAutoUpdate;
using qz::test::HttpAnswer;
using qz::test::RecordingHost;
using qz::test::WorkerTestDialog;
using States = SingletonTestApi<CStates>;

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Records which threads logged, and whether the description page existed
// when the host was told about it.
class ObservingHost : public RecordingHost {
public:
    void Log(const wchar_t* line) override
    {
        {
            std::lock_guard guard(threadsMutex);
            logThreads.insert(std::this_thread::get_id());
        }
        RecordingHost::Log(line);
    }
    void SetPatchDescriptionFile(const wchar_t* path) override
    {
        pageExisted = path && fs::exists(fs::path(path));
        RecordingHost::SetPatchDescriptionFile(path);
    }

    std::mutex threadsMutex;
    std::set<std::thread::id> logThreads;
    bool pageExisted = false;
};

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "qz-updater-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Configure(RecordingHost& host, bool threads)
    {
        host.patchServiceUrl = Wide(server_.Url("/query"));
        host.texts["GetDownloadFolder"] = dir_.wstring();
        host.bools["UseWorkerThreads"] = threads;
    }
    void ServePatch(const std::string& body, const std::string& path = "/patch.exe")
    {
        server_.SetAnswer("/query",
                          HttpAnswer::Ok("<?xml version=\"1.0\"?><result filesize=\"" + std::to_string(body.size()) +
                                         "\" version=\"2.1.0.7\" pug_installer=\"3\" url=\"" + server_.Url(path) +
                                         "\"><patch>Better.</patch></result>"));
        server_.SetAnswer(path, HttpAnswer::Ok(body));
    }
    bool Requested(const std::string& path) const
    {
        for (const qz::test::RecordedRequest& request : server_.Requests()) {
            if (request.target.rfind(path, 0) == 0)
                return true;
        }
        return false;
    }
    // Runs the patch check from a window, as the update dialog does.
    void QueryFromWindow(CUpdater& updater)
    {
        WorkerTestDialog dialog(updater);
        dialog.onInit = [](WorkerTestDialog& d) { d.updater.StartPatchCheck(&d); };
        ASSERT_EQ(dialog.Run(), 0);
        ASSERT_EQ(dialog.messages.size(), 1u);
        EXPECT_EQ(dialog.messages[0].message, WM_UPDATE_QUERY_DONE);
    }

    qz::test::TestHttpServer server_;
    fs::path dir_;
};

TEST_F(UpdaterTest, CheckOnlyReportsFindingsWithAndWithoutWorkerThreads)
{
    ServePatch("PATCH");
    for (const bool threads : {true, false}) {
        SCOPED_TRACE(threads ? "worker thread" : "inline");
        server_.ClearRequests();
        ObservingHost host;
        Configure(host, threads);
        host.bools["IsInteractive"] = false;
        EXPECT_EQ(qz::update::DispatchAction(&host, kActionUpdate), kResultSuccess);

        const std::wstring page = (dir_ / "result.html").wstring();
        EXPECT_EQ(host.ArgumentsOf("SetPatchDescriptionFile"), std::vector<std::wstring>{page});
        EXPECT_TRUE(host.pageExisted);
        EXPECT_EQ(host.ArgumentsOf("SetPatchSize"), std::vector<std::wstring>{L"5"});
        // Once from the query, once from the check-only flow after it.
        EXPECT_EQ(host.ArgumentsOf("SetPatchVersion"), (std::vector<std::wstring>{L"2.1.0.7", L"2.1.0.7"}));
        EXPECT_TRUE(host.ArgumentsOf("AddFile").empty());
        EXPECT_FALSE(Requested("/patch.exe"));
        EXPECT_FALSE(fs::exists(page));
        EXPECT_FALSE(fs::exists(dir_ / "result.xml"));
        ASSERT_FALSE(host.logThreads.empty());
        EXPECT_EQ(host.logThreads.count(std::this_thread::get_id()) == 1, !threads);
        EXPECT_FALSE(States::HasInstance());
    }

    // Nothing to offer, or a document that was rejected (here for want of a
    // URL): the host still hears a version, the empty one.
    for (const char* document : {"<result/>", "<result filesize=\"5\" version=\"2.1.0.7\"><patch>x</patch></result>"}) {
        SCOPED_TRACE(document);
        server_.SetAnswer("/query", HttpAnswer::Ok(document));
        RecordingHost host;
        Configure(host, true);
        host.bools["IsInteractive"] = false;
        EXPECT_EQ(qz::update::DispatchAction(&host, kActionUpdate), kResultSuccess);
        EXPECT_EQ(host.ArgumentsOf("SetPatchVersion"), std::vector<std::wstring>{L"0.0.0.0"});
        EXPECT_TRUE(host.ArgumentsOf("SetPatchDescriptionFile").empty());
        EXPECT_TRUE(host.ArgumentsOf("SetPatchSize").empty());
    }
}

TEST_F(UpdaterTest, CheckOnlyEndsWhenTheHostCancels)
{
    HttpAnswer silent = HttpAnswer::Ok("<result/>");
    silent.silence = std::chrono::milliseconds(60000);
    server_.SetAnswer("/query", silent);
    for (const bool threads : {true, false}) {
        SCOPED_TRACE(threads ? "worker thread" : "inline");
        RecordingHost host;
        Configure(host, threads);
        host.bools["IsInteractive"] = false;
        const auto start = std::chrono::steady_clock::now();
        host.cancelled = [start] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300); };
        EXPECT_EQ(qz::update::DispatchAction(&host, kActionUpdate), kResultSuccess);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1300));
        EXPECT_EQ(host.ArgumentsOf("SetPatchVersion"), std::vector<std::wstring>{L"0.0.0.0"});
    }
}

TEST_F(UpdaterTest, CrmUploadActionResults)
{
    CUpdater none(nullptr);
    EXPECT_EQ(none.RunAction(kActionCrmUpload), kResultNoConfiguration);
    EXPECT_EQ(none.RunAction(42), kResultSuccess);

    server_.SetAnswer("/redirect", HttpAnswer::Ok(server_.Url("/crm/upload.php")));
    server_.SetAnswer("/crm/upload.php", HttpAnswer::Ok("thanks"));
    RecordingHost noFile;
    noFile.texts["GetCrmRedirectUrl"] = Wide(server_.Url("/redirect"));
    EXPECT_EQ(qz::update::DispatchAction(&noFile, kActionCrmUpload), kResultNoCrmFile);
    EXPECT_EQ(server_.ConnectionCount(), 0);

    const fs::path data = dir_ / "crm.dat";
    std::ofstream(data) << "crm data";
    const std::wstring dataPath = data.wstring();
    RecordingHost host;
    host.crmFiles[1] = dataPath.c_str();
    host.texts["GetCrmRedirectUrl"] = Wide(server_.Url("/redirect"));
    EXPECT_EQ(qz::update::DispatchAction(&host, kActionCrmUpload), kResultSuccess);
    EXPECT_TRUE(Requested("/crm/upload.php"));
    EXPECT_FALSE(fs::exists(data)) << "uploaded with delete afterwards";

    std::ofstream(data) << "crm data";
    host.texts["GetCrmRedirectUrl"] = L"http://127.0.0.1:" + std::to_wstring(qz::test::TestHttpServer::UnusedPort()) + L"/r";
    EXPECT_EQ(qz::update::DispatchAction(&host, kActionCrmUpload), kResultFailed);
}

TEST_F(UpdaterTest, SharedStatesLiveFromInstanceToRelease)
{
    Singleton<CStates>::Release();  // nothing there: nothing happens
    EXPECT_FALSE(States::HasInstance());

    std::shared_ptr<CStates> first = Singleton<CStates>::Instance();
    EXPECT_TRUE(first->IsCrmUploadWanted());
    first->SetCrmUploadWanted(false);
    EXPECT_EQ(Singleton<CStates>::Instance(), first);
    EXPECT_EQ(first.use_count(), 2);  // the slot and ours
    Singleton<CStates>::Release();
    EXPECT_FALSE(States::HasInstance());
    // A holder keeps its object; the next run gets a fresh one.
    EXPECT_FALSE(first->IsCrmUploadWanted());
    EXPECT_EQ(first.use_count(), 1);
    EXPECT_TRUE(Singleton<CStates>::Instance()->IsCrmUploadWanted());

    // First callers racing for the instance agree on one.
    Singleton<CStates>::Release();
    std::vector<std::shared_ptr<CStates>> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot] { slot = Singleton<CStates>::Instance(); });
    for (std::thread& t : threads)
        t.join();
    for (const auto& s : seen)
        EXPECT_EQ(s, seen[0]);
    Singleton<CStates>::Release();
    EXPECT_EQ(seen[0].use_count(), 8);
}

TEST_F(UpdaterTest, CancelFlagResultsAndInstallQuestion)
{
    RecordingHost host;
    auto updater = std::make_unique<CUpdater>(&host);
    EXPECT_FALSE(CUpdater::IsCancelRequested());
    CUpdater::CProgressReceiver receiver(nullptr);
    EXPECT_FALSE(receiver.IsCancelled());

    std::uint32_t result = kResultSuccess;
    host.bools["IsInstallDialogEnabled"] = false;
    updater->AskInstallTime(result, false);
    EXPECT_EQ(result, kResultSuccess);
    updater->AskInstallTime(result, true);
    EXPECT_EQ(result, kResultInstallNow);
    result = kResultTransferFailed;
    updater->AskInstallTime(result, true);
    EXPECT_EQ(result, kResultTransferFailed);

    updater->CancelWithResult(kResultCancelledDuringDownload);
    EXPECT_EQ(updater->GetResult(), kResultCancelledDuringDownload);
    EXPECT_TRUE(CUpdater::IsCancelRequested());
    EXPECT_TRUE(receiver.IsCancelled());
    result = kResultSuccess;
    updater->AskInstallTime(result, true);
    EXPECT_EQ(result, kResultSuccess) << "no install question after a cancel";
    updater->Cancel();
    EXPECT_EQ(updater->GetResult(), kResultProgressCancelled);

    // The next call is not doomed by the last one's cancel.
    EXPECT_EQ(qz::update::GetCurrentConfiguration(), &host);
    updater.reset();
    EXPECT_EQ(qz::update::GetCurrentConfiguration(), nullptr);
    EXPECT_TRUE(CUpdater::IsCancelRequested());
    CUpdater next(&host);
    EXPECT_FALSE(CUpdater::IsCancelRequested());
}

class UpdaterWorkerTest : public UpdaterTest {
protected:
    static void SetUpTestSuite() { kit_ = new qz::test::SigningKit(); }
    static void TearDownTestSuite()
    {
        delete kit_;
        kit_ = nullptr;
    }
    void SetUp() override
    {
        UpdaterTest::SetUp();
        ASSERT_TRUE(qz::test::RequireOffscreenGui());
        ASSERT_TRUE(kit_->Ok()) << kit_->Error();
        ::setenv("SSL_CERT_FILE", kit_->RootCertificate().c_str(), 1);
        ::unsetenv("SSL_CERT_DIR");
    }
    void TearDown() override
    {
        ::unsetenv("SSL_CERT_FILE");
        UpdaterTest::TearDown();
    }

    std::string PeFile(bool sign)
    {
        const fs::path plain = dir_ / "plain.exe";
        qz::test::PeWriter().WriteTo(plain);
        fs::path file = plain;
        if (sign) {
            file = dir_ / "signed.exe";
            std::string output;
            EXPECT_TRUE(kit_->Sign(plain, file, {}, &output)) << output;
        }
        const std::vector<std::uint8_t> bytes = qz::test::ReadFileBytes(file);
        return std::string(bytes.begin(), bytes.end());
    }

    static qz::test::SigningKit* kit_;
};

qz::test::SigningKit* UpdaterWorkerTest::kit_ = nullptr;

// What the host is told and which file stays are checked through the
// dialogs by the interactive tests; here the workers' messages.
TEST_F(UpdaterWorkerTest, DownloadAndCheckOfASignedAndAnUnsignedPatch)
{
    for (const bool sign : {true, false}) {
        for (const bool threads : {true, false}) {
            SCOPED_TRACE(std::string(sign ? "signed" : "unsigned") + (threads ? ", threads" : ", inline"));
            const std::string patch = PeFile(sign);
            ServePatch(patch);
            fs::remove(dir_ / "QzUpdate.exe");
            RecordingHost host;
            Configure(host, threads);
            CUpdater updater(&host);
            QueryFromWindow(updater);
            WorkerTestDialog progress(updater);
            progress.onInit = [](WorkerTestDialog& d) { d.updater.StartCrmUpload(&d); };
            EXPECT_EQ(progress.Run(), 1);

            std::vector<qz::platform::UINT> steps;
            for (const auto& m : progress.messages) {
                if (m.message != WM_UPDATE_PROGRESS)
                    steps.push_back(m.message);
            }
            const std::vector<qz::platform::UINT> order{WM_UPDATE_CRM_DONE, WM_UPDATE_START_DOWNLOAD,
                                                        WM_UPDATE_DOWNLOAD_DONE, WM_UPDATE_CHECK_DONE};
            EXPECT_EQ(steps, order);
            ASSERT_EQ(progress.Received(WM_UPDATE_CHECK_DONE).size(), 1u);
            EXPECT_EQ(progress.Received(WM_UPDATE_DOWNLOAD_DONE)[0].lParam, 1);
            EXPECT_EQ(progress.Received(WM_UPDATE_CHECK_DONE)[0].wParam, sign ? 1u : 0u);

            const auto progressed = progress.Received(WM_UPDATE_PROGRESS);
            ASSERT_FALSE(progressed.empty());
            EXPECT_EQ(progressed.back().wParam, patch.size());
            // The signed file's digest came with its bytes; it was not read again.
            EXPECT_EQ(updater.WasDigestStreamed(), sign);
        }
    }
}

TEST_F(UpdaterWorkerTest, CommandLineVerifyAndTheCheckAlone)
{
    const fs::path signedFile = dir_ / "s.exe";
    const fs::path unsignedFile = dir_ / "u.exe";
    std::ofstream(signedFile, std::ios::binary) << PeFile(true);
    qz::test::PeWriter().WriteTo(unsignedFile);
    EXPECT_TRUE(CUpdater::VerifySignature(QzOSAL::QzFileSystemItem(QzOSAL::QzPath(signedFile.wstring()))));
    EXPECT_FALSE(CUpdater::VerifySignature(QzOSAL::QzFileSystemItem(QzOSAL::QzPath(unsignedFile.wstring()))));
    EXPECT_FALSE(CUpdater::VerifySignature(QzOSAL::QzFileSystemItem(QzOSAL::QzPath())));

    const fs::path qzupdate = fs::path(QZ_LIBRARY_PATH).parent_path() / "qzupdate";
    if (!fs::exists(qzupdate))
        GTEST_SKIP() << "qzupdate is not built";
    std::string output;
    EXPECT_EQ(qz::test::SigningKit::Run(qzupdate.string() + " verify '" + signedFile.string() + "'", &output), 0)
        << output;
    EXPECT_EQ(output.rfind("signature: valid: ", 0), 0u) << output;
    EXPECT_NE(qz::test::SigningKit::Run(qzupdate.string() + " verify '" + unsignedFile.string() + "'", &output), 0);
    EXPECT_EQ(output.rfind("signature: not valid: ", 0), 0u) << output;
}

// It sends nothing, checks nothing and hands nothing over. (Whether the CRM
// step uploads is shown end to end by the interactive tests.)
TEST_F(UpdaterWorkerTest, CancelledRunSkipsEveryStep)
{
    server_.SetAnswer("/redirect", HttpAnswer::Ok(server_.Url("/crm/upload.php")));
    const std::wstring data = (dir_ / "crm.dat").wstring();
    std::ofstream(dir_ / "crm.dat") << "crm data";
    RecordingHost host;
    Configure(host, false);
    host.crmFiles[1] = data.c_str();
    host.texts["GetCrmRedirectUrl"] = Wide(server_.Url("/redirect"));
    CUpdater updater(&host);
    updater.Cancel();
    WorkerTestDialog progress(updater);
    progress.onInit = [](WorkerTestDialog& d) { d.updater.StartCrmUpload(&d); };
    EXPECT_EQ(progress.Run(), 2);
    EXPECT_EQ(updater.GetResult(), kResultProgressFailed);
    EXPECT_TRUE(server_.Requests().empty());
    WorkerTestDialog check(updater);
    check.onInit = [](WorkerTestDialog& d) { d.updater.StartFileCheck(&d); };
    EXPECT_EQ(check.Run(), 1);
    ASSERT_EQ(check.messages.size(), 1u);
    EXPECT_EQ(check.messages[0].wParam, 0u);
    EXPECT_TRUE(host.LogLines().empty());
}

// A failed download is driven through its dialogs by the interactive tests.
TEST_F(UpdaterWorkerTest, FailedQueryStopsItsStep)
{
    for (const bool threads : {true, false}) {
        SCOPED_TRACE(threads ? "threads" : "inline");
        server_.SetAnswer("/query", HttpAnswer::Status(404, "Not Found", "gone"));
        RecordingHost host;
        Configure(host, threads);
        CUpdater updater(&host);
        WorkerTestDialog query(updater);
        query.onInit = [](WorkerTestDialog& d) { d.updater.StartPatchCheck(&d); };
        EXPECT_EQ(query.Run(), 1);
        ASSERT_EQ(query.messages.size(), 1u);
        EXPECT_EQ(query.messages[0].wParam, 0u);
        EXPECT_TRUE(host.ArgumentsOf("SetPatchDescriptionFile").empty());
        EXPECT_TRUE(host.ArgumentsOf("SetPatchVersion").empty());
    }
}

}  // namespace
