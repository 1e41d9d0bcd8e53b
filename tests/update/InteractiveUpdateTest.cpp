// Action 1 with its dialogs, end to end: the update, CRM, progress and
// install dialogs are shown offscreen with the default skin and driven as a
// user would (buttons clicked by their IDs, keys pressed), against the
// loopback patch service and a patch signed at test time; every road with
// and without worker threads.
#include "dialogs/res/resource.h"
#include "platform/window/WindowQt.h"
#include "platform/window/WindowSystem.h"
#include "support/FileText.h"
#include "support/Keyboard.h"
#include "support/PeWriter.h"
#include "support/RecordingHost.h"
#include "support/ResultDocument.h"
#include "support/ScopedEnvironment.h"
#include "support/SigningKit.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"
#include "update/Actions.h"
#include "update/Updater.h"

#include <QApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace QzAutoUpdate;
using namespace qz::platform;
using qz::test::HttpAnswer;
using qz::test::ReadText;
using qz::test::RecordingHost;
using qz::test::Wide;

enum class Dlg { None, Update, Progress, Install, CrmViewer };

// Each dialog is known by an item only it has.
Dlg KindOf(HWND dialog)
{
    for (const auto& [item, kind] : {std::pair{IDC_ACTIVITY, Dlg::Update}, {IDC_PROGRESS, Dlg::Progress},
                                     {IDC_BTN_LATER, Dlg::Install}, {IDC_EDIT_CRM, Dlg::CrmViewer}}) {
        if (GetDlgItem(dialog, item))
            return kind;
    }
    return Dlg::None;
}

HWND FindDialog(Dlg kind)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const HWND hwnd = HandleFromWidget(widget);
        if (hwnd && KindOf(hwnd) == kind)
            return hwnd;
    }
    return nullptr;
}

void Click(HWND dialog, int id)
{
    SendMessage(GetDlgItem(dialog, id), BM_CLICK);
}

// What a user does from a host callback: at once on the dialogs' thread,
// else on it while the calling worker waits, or without waiting.
void AsUser(std::function<void()> act, bool wait = true)
{
    if (QThread::currentThread() == QCoreApplication::instance()->thread())
        act();
    else
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(act),
                                  wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

// Orders what the dialogs' thread and the workers saw.
std::atomic<int> g_moment{0};

// The user in front of the screen: waits for a dialog, or a control of it,
// to appear and then acts on that dialog, step by step in order.
class User : public QObject {
public:
    User()
    {
        QCoreApplication::instance()->installEventFilter(this);
        // A script that no longer matches would leave a modal dialog open.
        watchdog_.setSingleShot(true);
        watchdog_.callOnTimeout([this] {
            ADD_FAILURE() << "the user was still waiting with " << steps_.size() << " steps left";
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (const HWND hwnd = HandleFromWidget(widget); hwnd && KindOf(hwnd) != Dlg::None)
                    EndDialog(hwnd, 2);
            }
        });
        watchdog_.start(30000);
    }
    User(Dlg dialog, int control, std::function<void(HWND)> act) : User()
    {
        When(dialog, control, std::move(act));
    }
    ~User() override { QCoreApplication::instance()->removeEventFilter(this); }

    /// When `dialog` shows (`control` 0) or shows `control`, run `act`.
    User& When(Dlg dialog, int control, std::function<void(HWND)> act)
    {
        steps_.push_back({dialog, control, std::move(act)});
        return *this;
    }

    /// The dialogs in the order they appeared.
    std::vector<Dlg> shown;
    /// When each kind of dialog was first hidden (a moment of g_moment).
    std::map<Dlg, int> closedAt;
    bool Finished() const { return steps_.empty(); }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Show && object->isWidgetType())
            Shown(static_cast<QWidget*>(object));
        if (event->type() == QEvent::Hide && object->isWidgetType() && static_cast<QWidget*>(object)->isWindow()) {
            if (const HWND hwnd = HandleFromWidget(static_cast<QWidget*>(object)))
                closedAt.emplace(KindOf(hwnd), ++g_moment);
        }
        return false;
    }

private:
    struct Step { Dlg dialog; int control; std::function<void(HWND)> act; };

    void Shown(QWidget* widget)
    {
        const HWND hwnd = HandleFromWidget(widget);
        if (!hwnd)
            return;
        const HWND dialog = widget->isWindow() ? hwnd : GetParent(hwnd);
        const Dlg kind = KindOf(dialog);
        const int control = widget->isWindow() ? 0 : GetDlgCtrlID(hwnd);
        if (kind == Dlg::None)
            return;
        if (control == 0)
            shown.push_back(kind);
        if (steps_.empty() || steps_.front().dialog != kind || steps_.front().control != control)
            return;
        // After the handler that showed it has finished, as a user is slower.
        QTimer::singleShot(0, QCoreApplication::instance(), [act = std::move(steps_.front().act), dialog] {
            if (IsWindow(dialog))
                act(dialog);
        });
        steps_.pop_front();
    }

    std::deque<Step> steps_;
    QTimer watchdog_;
};

// Runs a user's action when a given log line arrives (once).
class Host : public RecordingHost {
public:
    void Log(const wchar_t* line) override
    {
        RecordingHost::Log(line);
        std::unique_lock guard(hooksMutex);
        const auto it = onLog.find(line ? line : L"");
        if (it == onLog.end())
            return;
        const std::function<void()> hook = std::move(it->second);
        onLog.erase(it);
        guard.unlock();
        hook();
    }

    std::mutex hooksMutex;
    std::map<std::wstring, std::function<void()>> onLog;
};

const std::wstring kCrmStart = L"CUpdater::ThreadCRMUpload(): start uploading CRM data.";
const std::wstring kCheckStart = L"CUpdater::ThreadFileCheck(): start checking file for a valid certificate.";
const std::wstring kCheckOk = L"CUpdater::ThreadFileCheck(): check ok; adding file to list.";
const std::wstring kCheckFailed = L"CUpdater::ThreadFileCheck(): check was failed.";

class InteractiveUpdateTest : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite()
    {
        kit_ = new qz::test::SigningKit();
        if (!kit_->Ok())
            return;
        const fs::path dir = kit_->Directory();
        qz::test::PeWriter().WriteTo(dir / "plain.exe");
        kit_->Sign(dir / "plain.exe", dir / "signed.exe", {});
        unsigned_ = ReadText(dir / "plain.exe");
        signed_ = ReadText(dir / "signed.exe");
        tarball_ = "patch.tar" + std::string(5000, '\0');
        tarballSignature_ = kit_->DetachedSignatureOf(tarball_);
    }
    static void TearDownTestSuite()
    {
        delete kit_;
        kit_ = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(kit_->Ok()) << kit_->Error();
        ASSERT_FALSE(signed_.empty());
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ASSERT_TRUE(EnsureGuiApplication());
        environment_.Set("SSL_CERT_FILE", kit_->RootCertificate().string());
        environment_.Unset("SSL_CERT_DIR");
        host_.patchServiceUrl = Wide(server_.Url("/query"));
        host_.texts["GetDownloadFolder"] = dir_.wstring();
        host_.texts["GetSkinFolder"] = Wide(QZ_SKIN_DIR);
        host_.bools["UseWorkerThreads"] = GetParam();
    }

    // A new run: the service offers `patch`; its download answers `download` when given.
    void Offer(const std::string& patch, std::optional<HttpAnswer> download = std::nullopt,
               const std::string& attributes = "")
    {
        host_.ClearCalls();
        server_.ClearRequests();
        const qz::test::ResultDocument document{server_.Url("/patch.exe"), patch.size(), "2.1.0.7", "Better.", 3,
                                                attributes};
        server_.SetAnswer("/query", HttpAnswer::Ok(document.Xml()));
        server_.SetAnswer("/patch.exe", download ? *download : HttpAnswer::Ok(patch));
    }

    std::uint32_t Run(User& user)
    {
        const std::uint32_t result = qz::update::DispatchAction(&host_, kActionUpdate);
        EXPECT_TRUE(user.Finished()) << "the run ended before the user was done";
        EXPECT_FALSE(fs::exists(dir_ / "result.html")) << "the description page goes with the run";
        return result;
    }

    // How often the server was asked "GET /patch.exe" (downloads) or "POST /crm/upload.php" (uploads).
    int Asked(const std::string& what) const
    {
        const auto requests = server_.Requests();
        return static_cast<int>(std::count_if(requests.begin(), requests.end(), [&](const auto& request) {
            return request.method + " " + request.target == what;
        }));
    }

    // What the host was told, in order.
    std::vector<std::wstring> Told() const
    {
        std::vector<std::wstring> told;
        for (const qz::test::HostCall& call : host_.Calls()) {
            for (const char* operation : {"SetPatchDescriptionFile", "SetPatchVersion", "SetPatchSize",
                                          "SetShowAgain", "SetSendCrmData", "AddFile"}) {
                if (call.operation == operation)
                    told.push_back(Wide(operation) + L" " + call.argument);
            }
        }
        return told;
    }
    std::vector<std::wstring> CheckLines() const
    {
        std::vector<std::wstring> lines;
        for (const std::wstring& line : host_.LogLines()) {
            if (line.rfind(L"CUpdater::ThreadFileCheck", 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }
    // The offer of the patch, then `then`.
    std::vector<std::wstring> Offered(const std::vector<std::wstring>& then) const
    {
        std::vector<std::wstring> told{L"SetPatchDescriptionFile " + (dir_ / "result.html").wstring(),
                                       L"SetPatchVersion 2.1.0.7",
                                       L"SetPatchSize " + std::to_wstring(signed_.size())};
        told.insert(told.end(), then.begin(), then.end());
        return told;
    }
    std::wstring Handed() const { return L"AddFile " + (dir_ / "QzUpdate.exe").wstring() + L"|3"; }

    // A CRM data file and an upload server for the CRM step.
    void ProvideCrmData()
    {
        crmFile_ = (dir_ / "crm.txt").wstring();
        std::ofstream(dir_ / "crm.txt") << "licence=demo\nos=linux\n";
        host_.crmFiles[0] = host_.crmFiles[1] = crmFile_.c_str();
        host_.texts["GetCrmRedirectUrl"] = Wide(server_.Url("/redirect"));
        server_.SetAnswer("/redirect", HttpAnswer::Ok(server_.Url("/crm/upload.php")));
        server_.SetAnswer("/crm/upload.php", HttpAnswer::Ok("thanks"));
    }

    static inline qz::test::SigningKit* kit_ = nullptr;
    static inline std::string signed_, unsigned_, tarball_, tarballSignature_;
    qz::test::ScopedEnvironment environment_;
    qz::test::TestHttpServer server_;
    Host host_;
    qz::test::TempFolder folder_{"qz-interactive"};
    const fs::path& dir_ = folder_.path();
    std::wstring crmFile_;
};

INSTANTIATE_TEST_SUITE_P(Threads, InteractiveUpdateTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "WorkerThreads" : "Inline";
                         });

TEST_P(InteractiveUpdateTest, NoPatchOffersOnlyCloseAndADeclinedPatchIsNotDownloaded)
{
    server_.SetAnswer("/query", HttpAnswer::Ok("<result/>"));
    std::wstring cancelText;
    bool okVisible = true;
    User user(Dlg::Update, IDC_TXT_NO_PATCH_AVAILABLE, [&](HWND dialog) {
        cancelText = GetDlgItemTextW(dialog, IDCANCEL);
        okVisible = IsWindowVisible(GetDlgItem(dialog, IDOK));
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(Run(user), kResultSuccess);
    EXPECT_EQ(cancelText, L"&Close");
    EXPECT_FALSE(okVisible);
    EXPECT_EQ(Told(), std::vector<std::wstring>{L"SetShowAgain 1"});
    EXPECT_EQ(user.shown, std::vector<Dlg>{Dlg::Update});

    Offer(signed_);
    ProvideCrmData();
    User declines(Dlg::Update, IDOK, [](HWND dialog) {
        Click(dialog, IDC_CHECK_DONT_SHOW_AGAIN);
        qz::test::TypeKey(Qt::Key_Escape);
    });
    EXPECT_EQ(Run(declines), kResultSuccess);
    EXPECT_EQ(Told(), Offered({L"SetShowAgain 0"}));
    EXPECT_EQ(Asked("GET /patch.exe"), 0);
    EXPECT_EQ(Asked("POST /crm/upload.php"), 0);
    EXPECT_TRUE(fs::exists(crmFile_));
}

// Shown, the option is read when the dialog closes; hidden, the host's
// default stands.
TEST_P(InteractiveUpdateTest, CrmOptionShownOrHidden)
{
    host_.bools["IsInstallDialogEnabled"] = false;
    for (const bool shown : {true, false}) {
        SCOPED_TRACE(shown);
        Offer(signed_);
        ProvideCrmData();
        host_.bools["IsCrmOptionVisible"] = shown;
        bool boxVisible = !shown, moreVisible = !shown, boxChecked = false;
        std::wstring viewed;
        User user(Dlg::Update, IDOK, [&](HWND dialog) {
            boxVisible = IsWindowVisible(GetDlgItem(dialog, IDC_CHECK_SEND_CRM_DATA));
            moreVisible = IsWindowVisible(GetDlgItem(dialog, IDC_BTN_SHOW_CRM));
            boxChecked = IsDlgButtonChecked(dialog, IDC_CHECK_SEND_CRM_DATA) == BST_CHECKED;
            if (!shown)
                return Click(dialog, IDOK);
            Click(dialog, IDC_CHECK_SEND_CRM_DATA);
            Click(dialog, IDC_BTN_SHOW_CRM);
        });
        if (shown) {
            user.When(Dlg::CrmViewer, 0, [&](HWND viewer) {
                viewed = GetDlgItemTextW(viewer, IDC_EDIT_CRM);
                // Closing the viewer returns to the update dialog, whose OK
                // the user presses next.
                Click(viewer, IDOK);
                QTimer::singleShot(0, QCoreApplication::instance(),
                                   [] { Click(FindDialog(Dlg::Update), IDOK); });
            });
        }
        {
            CUpdater updater(&host_);
            EXPECT_EQ(updater.RunAction(kActionUpdate), kResultInstallNow);
            EXPECT_TRUE(updater.WasDigestStreamed()) << "the signed file was read again for its check";
        }
        EXPECT_TRUE(user.Finished());
        EXPECT_EQ(boxVisible, shown);
        EXPECT_EQ(moreVisible, shown);
        std::vector<std::wstring> told = Offered({L"SetShowAgain 1"});
        if (shown) {
            EXPECT_TRUE(boxChecked) << "the host's default";
            EXPECT_NE(viewed.find(L"licence=demo"), std::wstring::npos) << "the viewer shows the CRM file";
            EXPECT_NE(viewed.find(L"os=linux"), std::wstring::npos);
            told.push_back(L"SetSendCrmData 0");
        }
        told.push_back(Handed());
        EXPECT_EQ(Told(), told);
        EXPECT_EQ(Asked("POST /crm/upload.php"), shown ? 0 : 1) << "the user said no; else the default stands";
        EXPECT_EQ(fs::exists(crmFile_), shown) << "deleted after the upload";
    }
}

TEST_P(InteractiveUpdateTest, FailedCheckOffersAnotherDownloadAndFailedDownloadAsksNothing)
{
    // The first download has one byte changed under its signature, the next one is whole.
    std::string tampered = signed_;
    tampered[0x210] = static_cast<char>(tampered[0x210] ^ 1);
    std::atomic<int> served{0};
    Offer(signed_);
    server_.SetHandler("/patch.exe", [&](const qz::test::RecordedRequest&) {
        return HttpAnswer::Ok(served++ == 0 ? tampered : signed_);
    });
    std::map<int, std::wstring> failedTexts;
    User user(Dlg::Update, IDOK, [](HWND dialog) { Click(dialog, IDOK); });
    user.When(Dlg::Progress, IDOK, [&](HWND dialog) {
        for (const int id : {IDC_TXT_TITLE, IDC_TXT_MESSAGE, IDC_TXT_DOWNLOAD_STATUS, IDOK, IDCANCEL})
            failedTexts[id] = GetDlgItemTextW(dialog, id);
        // "Yes" is the highlighted answer, so Enter downloads again.
        qz::test::TypeKey(Qt::Key_Return);
    }).When(Dlg::Install, 0, [](HWND dialog) { Click(dialog, IDC_BTN_LATER); });
    EXPECT_EQ(Run(user), kResultInstallLater);
    EXPECT_EQ(failedTexts, (std::map<int, std::wstring>{
        {IDC_TXT_TITLE, L"Automatic check failed"},
        {IDC_TXT_MESSAGE, L"The update has been checked and is corrupt. Installation has been cancelled."},
        {IDC_TXT_DOWNLOAD_STATUS, L"Do you want to restart the update process?"},
        {IDOK, L"&Yes"}, {IDCANCEL, L"&No"}}));
    EXPECT_EQ(Asked("GET /patch.exe"), 2);
    EXPECT_EQ(CheckLines(), (std::vector<std::wstring>{kCheckStart, kCheckFailed, kCheckStart, kCheckOk}));
    EXPECT_EQ(user.shown, (std::vector<Dlg>{Dlg::Update, Dlg::Progress, Dlg::Install}));
    // The CRM option was shown and left as the host set it.
    EXPECT_EQ(Told(), Offered({L"SetShowAgain 1", L"SetSendCrmData 1", Handed()}));

    // "No" after a failed check ends the run; the rejected file stays, beside
    // the good one the host was handed before, which keeps its name.
    Offer(unsigned_);
    User no(Dlg::Update, IDOK, [](HWND dialog) { Click(dialog, IDOK); });
    no.When(Dlg::Progress, IDOK, [](HWND dialog) { Click(dialog, IDCANCEL); });
    EXPECT_EQ(Run(no), kResultTransferFailed);
    EXPECT_EQ(no.shown, (std::vector<Dlg>{Dlg::Update, Dlg::Progress}));
    EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
    EXPECT_EQ(ReadText(dir_ / "QzUpdate.exe.part"), unsigned_);
    EXPECT_EQ(ReadText(dir_ / "QzUpdate.exe"), signed_);

    // A failed download asks nothing more.
    Offer(signed_, HttpAnswer::Status(500, "Internal Server Error", "broken"));
    User failed(Dlg::Update, IDOK, [](HWND dialog) { Click(dialog, IDOK); });
    EXPECT_EQ(Run(failed), kResultTransferFailed);
    EXPECT_EQ(failed.shown, (std::vector<Dlg>{Dlg::Update, Dlg::Progress}));
    EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
    EXPECT_TRUE(CheckLines().empty());
}

TEST_P(InteractiveUpdateTest, APatchThatIsNoPeFileIsCheckedByItsDetachedSignature)
{
    ASSERT_FALSE(tarballSignature_.empty());
    host_.bools["IsInstallDialogEnabled"] = false;
    std::string otherSignature = tarballSignature_;
    otherSignature[otherSignature.size() - 5] ^= 1;
    const struct {
        const char *name, *signaturePath;
        std::string attributes, signature;
        bool valid;
    } cases[] = {
        {"where the document says", "/sigs/p.p7s", "signature=\"" + server_.Url("/sigs/p.p7s") + "\"",
         tarballSignature_, true},
        {"a broken signature", "/patch.exe.p7s", "", otherSignature, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir_ / "QzUpdate.exe");
        Offer(tarball_, std::nullopt, c.attributes);
        server_.SetAnswer(c.signaturePath, HttpAnswer::Ok(c.signature));
        User user(Dlg::Update, IDOK, [](HWND dialog) { Click(dialog, IDOK); });
        if (!c.valid)
            user.When(Dlg::Progress, IDOK, [](HWND dialog) { Click(dialog, IDCANCEL); });
        EXPECT_EQ(Run(user), c.valid ? kResultInstallNow : kResultTransferFailed);
        EXPECT_EQ(CheckLines(), (std::vector<std::wstring>{kCheckStart, c.valid ? kCheckOk : kCheckFailed}));
        EXPECT_EQ(host_.ArgumentsOf("AddFile").size(), c.valid ? 1u : 0u);
        EXPECT_EQ(fs::exists(dir_ / "QzUpdate.exe"), c.valid);
        server_.SetAnswer(c.signaturePath, HttpAnswer::Status(404, "Not Found", ""));
    }
}

TEST_P(InteractiveUpdateTest, CancelDuringTheDownloadCutsTheFile)
{
    constexpr std::uint64_t kSize = 4 << 20;
    const bool threads = GetParam();
    // One Cancel waits for the transfer to stop; a second closes at once.
    for (const int clicks : {1, 2}) {
        SCOPED_TRACE(clicks);
        Offer(std::string(kSize, 'x'));
        std::vector<bool> openAfterClick;
        // The clicks arrive before the body: inline they are taken by the
        // first progress report, with a worker while the worker waits.
        server_.SetHandler("/patch.exe", [threads, clicks, &openAfterClick](const qz::test::RecordedRequest&) {
            const auto cancel = [clicks, &openAfterClick] {
                const HWND progress = FindDialog(Dlg::Progress);
                for (int i = 0; i < clicks; ++i) {
                    Click(progress, IDCANCEL);
                    openAfterClick.push_back(IsWindowVisible(progress));
                }
            };
            AsUser(cancel, threads);
            HttpAnswer slow = HttpAnswer::Generated(kSize);
            slow.slowBytes = 64 << 10;
            slow.slowInterval = std::chrono::milliseconds(5);
            return slow;
        });
        User user(Dlg::Update, IDOK, [](HWND dialog) { Click(dialog, IDOK); });
        EXPECT_EQ(Run(user), kResultTransferFailed);
        EXPECT_EQ(openAfterClick, (clicks == 1 ? std::vector<bool>{true} : std::vector<bool>{true, false}));
        // Nobody holds the patch file open any more: the transfer has ended.
        // What arrived waits beside the name the host would run.
        const fs::path target = dir_ / "QzUpdate.exe.part";
        EXPECT_FALSE(fs::exists(dir_ / "QzUpdate.exe"));
        for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            EXPECT_NE(fs::read_symlink(entry.path(), error), target);
        }
        // What arrived before the cancel, if anything did, is kept; never all of it.
        EXPECT_LT(fs::exists(target) ? fs::file_size(target) : 0, kSize);
        EXPECT_TRUE(CheckLines().empty());
        EXPECT_EQ(user.shown, (std::vector<Dlg>{Dlg::Update, Dlg::Progress}));
    }
}

// Inline, the query runs before the dialog shows; that wait is the service's own time-out.
TEST_P(InteractiveUpdateTest, ClosingTheUpdateDialogEndsASilentQueryAtOnce)
{
    if (!GetParam())
        GTEST_SKIP() << "no dialog while an inline query waits";
    using Clock = std::chrono::steady_clock;
    std::atomic<Clock::time_point> stopped{Clock::time_point{}};
    HttpAnswer silent = HttpAnswer::Ok("<result/>");
    silent.silence = std::chrono::milliseconds(60000);
    server_.SetAnswer("/query", silent);
    User user(Dlg::Update, 0, [&](HWND dialog) {
        Click(dialog, IDCANCEL);
        stopped = Clock::now();
    });
    EXPECT_EQ(Run(user), kResultSuccess);
    EXPECT_LT(Clock::now() - stopped.load(), std::chrono::seconds(1));
}

TEST_P(InteractiveUpdateTest, CancelDuringTheCheckStillHandsOverAValidFile)
{
    // A Cancel as the check starts lets the check finish: a valid file
    // reaches the host, and there is no install question. A file that is no
    // PE file is checked by its signature, which may arrive slowly.
    ASSERT_FALSE(tarballSignature_.empty());
    HttpAnswer slow = HttpAnswer::Ok(tarballSignature_);
    slow.slowBytes = 200;
    slow.slowInterval = std::chrono::milliseconds(100);
    const struct {
        const char* name;
        const std::string& patch;
        HttpAnswer signature;
    } cases[] = {
        {"a PE file", signed_, HttpAnswer::Status(404, "Not Found", "")},
        {"a tarball whose signature arrives in pieces", tarball_, slow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir_ / "QzUpdate.exe");
        Offer(c.patch);
        server_.SetAnswer("/patch.exe.p7s", c.signature);
        host_.onLog[kCheckStart] = [] { AsUser([] { Click(FindDialog(Dlg::Progress), IDCANCEL); }); };
        User user(Dlg::Update, IDOK, [](HWND dialog) { Click(dialog, IDOK); });
        EXPECT_EQ(Run(user), kResultCancelledDuringDownload);
        EXPECT_EQ(CheckLines(), (std::vector<std::wstring>{kCheckStart, kCheckOk}));
        EXPECT_EQ(host_.ArgumentsOf("AddFile"), std::vector<std::wstring>{Handed().substr(8)});
        EXPECT_EQ(user.shown, (std::vector<Dlg>{Dlg::Update, Dlg::Progress}));
    }
}

TEST_P(InteractiveUpdateTest, CancelDuringTheCrmStepWaitsForTheUploadAndDownloadsNothing)
{
    Offer(signed_);
    ProvideCrmData();
    const std::wstring crmEnd = L"CUpdater::ThreadCRMUpload(): finished uploading CRM data.";
    int finishedAt = 0;
    host_.onLog[kCrmStart] = [] { AsUser([] { Click(FindDialog(Dlg::Progress), IDCANCEL); }); };
    host_.onLog[crmEnd] = [&] { finishedAt = ++g_moment; };
    User crm(Dlg::Update, IDOK, [](HWND dialog) { Click(dialog, IDOK); });
    EXPECT_EQ(Run(crm), kResultTransferFailed);
    EXPECT_EQ(crm.shown, (std::vector<Dlg>{Dlg::Update, Dlg::Progress}));
    EXPECT_LT(finishedAt, crm.closedAt[Dlg::Progress]);
    EXPECT_EQ(Asked("POST /crm/upload.php"), 1);
    EXPECT_FALSE(fs::exists(crmFile_));
    EXPECT_EQ(Asked("GET /patch.exe"), 0);
    EXPECT_EQ(host_.LogLines().back(), crmEnd);
}

}  // namespace
