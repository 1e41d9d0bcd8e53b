// The updater without its dialogs: the check-only flow, action 2, the shared
// state and the cancel flag. The workers' roads through the dialogs are
// driven by the interactive tests.
#include "support/RecordingHost.h"
#include "support/ResultDocument.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"
#include "update/Actions.h"
#include "update/CurrentConfiguration.h"
#include "update/States.h"
#include "update/Updater.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

template <>
struct SingletonTestApi<CStates> {
    static bool HasInstance() { return Singleton<CStates>::instance_ != nullptr; }
};

namespace {

namespace fs = std::filesystem;
using namespace QzAutoUpdate;
using qz::test::HttpAnswer;
using qz::test::RecordingHost;
using qz::test::Wide;
using States = SingletonTestApi<CStates>;

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
    // A host that runs the check-only flow against the loopback service.
    void Configure(RecordingHost& host, bool threads)
    {
        host.patchServiceUrl = Wide(server_.Url("/query"));
        host.texts["GetDownloadFolder"] = dir_.wstring();
        host.bools["UseWorkerThreads"] = threads;
        host.bools["IsInteractive"] = false;
    }
    bool Requested(const std::string& path) const
    {
        const auto requests = server_.Requests();
        return std::any_of(requests.begin(), requests.end(),
                           [&](const auto& request) { return request.target.rfind(path, 0) == 0; });
    }
    // A CRM data file the host names, and the redirect script that leads to the upload.
    void ProvideCrmData(RecordingHost& host)
    {
        std::ofstream(crmData_) << "crm data";
        host.crmFiles[1] = crmDataPath_.c_str();
        host.texts["GetCrmRedirectUrl"] = Wide(server_.Url("/redirect"));
        server_.SetAnswer("/redirect", HttpAnswer::Ok(server_.Url("/crm/upload.php")));
        server_.SetAnswer("/crm/upload.php", HttpAnswer::Ok("thanks"));
    }

    qz::test::TestHttpServer server_;
    qz::test::TempFolder folder_{"qz-updater"};
    const fs::path& dir_ = folder_.path();
    const fs::path crmData_ = dir_ / "crm.dat";
    const std::wstring crmDataPath_ = crmData_.wstring();
};

TEST_F(UpdaterTest, CheckOnlyReportsFindingsWithAndWithoutWorkerThreads)
{
    const qz::test::ResultDocument document{server_.Url("/patch.exe"), 5, "2.1.0.7"};
    server_.SetAnswer("/query", HttpAnswer::Ok(document.Xml()));
    server_.SetAnswer("/patch.exe", HttpAnswer::Ok("PATCH"));
    for (const bool threads : {true, false}) {
        SCOPED_TRACE(threads ? "worker thread" : "inline");
        server_.ClearRequests();
        ObservingHost host;
        Configure(host, threads);
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
    for (const char* document :
         {"<result/>", "<result filesize=\"5\" version=\"2.1.0.7\"><patch>x</patch></result>"}) {
        SCOPED_TRACE(document);
        server_.SetAnswer("/query", HttpAnswer::Ok(document));
        RecordingHost host;
        Configure(host, true);
        EXPECT_EQ(qz::update::DispatchAction(&host, kActionUpdate), kResultSuccess);
        EXPECT_EQ(host.ArgumentsOf("SetPatchVersion"), std::vector<std::wstring>{L"0.0.0.0"});
        EXPECT_TRUE(host.ArgumentsOf("SetPatchDescriptionFile").empty());
        EXPECT_TRUE(host.ArgumentsOf("SetPatchSize").empty());
    }
}

TEST_F(UpdaterTest, CrmUploadActionResults)
{
    CUpdater none(nullptr);
    EXPECT_EQ(none.RunAction(kActionCrmUpload), kResultNoConfiguration);
    EXPECT_EQ(none.RunAction(42), kResultSuccess);

    RecordingHost host;
    ProvideCrmData(host);
    host.crmFiles[1] = nullptr;
    EXPECT_EQ(qz::update::DispatchAction(&host, kActionCrmUpload), kResultNoCrmFile);
    EXPECT_EQ(server_.ConnectionCount(), 0);

    ProvideCrmData(host);
    EXPECT_EQ(qz::update::DispatchAction(&host, kActionCrmUpload), kResultSuccess);
    EXPECT_TRUE(Requested("/crm/upload.php"));
    EXPECT_FALSE(fs::exists(crmData_)) << "uploaded with delete afterwards";

    std::ofstream(crmData_) << "crm data";
    const std::uint16_t unused = qz::test::TestHttpServer::UnusedPort();
    host.texts["GetCrmRedirectUrl"] = L"http://127.0.0.1:" + std::to_wstring(unused) + L"/r";
    EXPECT_EQ(qz::update::DispatchAction(&host, kActionCrmUpload), kResultFailed);
}

TEST_F(UpdaterTest, CancelFlagResultsAndInstallQuestion)
{
    RecordingHost host;
    auto updater = std::make_unique<CUpdater>(&host);
    EXPECT_FALSE(CUpdater::IsCancelRequested());
    CUpdater::CProgressReceiver receiver(nullptr);
    EXPECT_FALSE(receiver.IsCancelled());

    host.bools["IsInstallDialogEnabled"] = false;
    updater->CancelWithResult(kResultCancelledDuringDownload);
    EXPECT_EQ(updater->GetResult(), kResultCancelledDuringDownload);
    EXPECT_TRUE(CUpdater::IsCancelRequested());
    EXPECT_TRUE(receiver.IsCancelled());
    std::uint32_t result = kResultSuccess;
    updater->AskInstallTime(result, true);
    EXPECT_EQ(result, kResultSuccess) << "no install question after a cancel";
    updater->Cancel();
    EXPECT_EQ(updater->GetResult(), kResultProgressCancelled);

    // Cancelled, a step does nothing: no upload, no check, no log line.
    ProvideCrmData(host);
    host.ClearCalls();
    for (const bool threads : {true, false}) {
        host.bools["UseWorkerThreads"] = threads;
        updater->StartCrmUpload(nullptr);
        updater->StartFileCheck(nullptr);
    }

    // The next call is not doomed by the last one's cancel.
    EXPECT_EQ(qz::update::GetCurrentConfiguration(), &host);
    updater.reset();
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_TRUE(host.LogLines().empty());
    EXPECT_TRUE(fs::exists(crmData_));
    EXPECT_EQ(qz::update::GetCurrentConfiguration(), nullptr);
    EXPECT_TRUE(CUpdater::IsCancelRequested());
    CUpdater next(&host);
    EXPECT_FALSE(CUpdater::IsCancelRequested());
}

}  // namespace
