// The update dialog on its own, with the default skin: the waiting state
// until the query ends, and the description shown on "New in this update".
#include "BaseDlgTestSupport.h"

#include "dialogs/DlgUpdate.h"
#include "dialogs/res/resource.h"
#include "gui/controls/Static.h"
#include "osal/QzURL.h"
#include "support/RecordingHost.h"
#include "support/TestHttpServer.h"
#include "update/Updater.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <filesystem>
#include <future>

using namespace qz::platform;
using qz::test::HttpAnswer;

namespace {

class DlgUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(qz::test::RequireDialogGui());
        const std::string url = server_.Url("/query");
        host_.patchServiceUrl.assign(url.begin(), url.end());
        host_.texts["GetDownloadFolder"] = std::filesystem::temp_directory_path().wstring();
        host_.texts["GetSkinFolder"] = QZ_SKIN_DIR L"/";
    }
    void TearDown() override { SetDisplayDpiOverride(0); }

    qz::test::TestHttpServer server_;
    qz::test::RecordingHost host_;
};

TEST_F(DlgUpdateTest, WaitingStateIgnoresOk)
{
    // The service keeps the query waiting until the dialog has been closed.
    std::promise<void> closed;
    std::shared_future<void> released = closed.get_future().share();
    server_.SetHandler("/query", [released](const qz::test::RecordedRequest&) {
        released.wait();
        return HttpAnswer::Ok("<result/>");
    });
    CUpdater updater(&host_);
    CDlgUpdate dialog(&host_, &updater, nullptr);
    bool waiting = false;
    bool animating = false;
    EXPECT_EQ(qz::test::RunModal(dialog,
                                 [&](CDialog& d) {
                                     waiting = IsWindowVisible(GetDlgItem(d.m_hWnd, IDC_TXT_WAIT)) &&
                                               !IsWindowVisible(GetDlgItem(d.m_hWnd, IDOK));
                                     auto* icon = dynamic_cast<CQZ_Static*>(d.GetDlgItem(IDC_ACTIVITY));
                                     animating = icon && icon->IsAnimating();
                                     d.SendMessage(WM_COMMAND, IDOK);
                                 }),
              1);
    closed.set_value();
    EXPECT_TRUE(waiting);
    EXPECT_TRUE(animating);
    EXPECT_FALSE(dialog.IsPatchAvailable());
}

TEST_F(DlgUpdateTest, WhatsNewGrowsTheDialogAndShowsTheDescription)
{
    server_.SetAnswer("/query", HttpAnswer::Ok("<result filesize=\"10\" version=\"2.0.0.0\" pug_installer=\"1\" url=\"" +
                                               server_.Url("/p.exe") + "\"><patch>New things.</patch></result>"));
    host_.bools["UseWorkerThreads"] = false;
    SetDisplayDpiOverride(120);
    CUpdater updater(&host_);
    CDlgUpdate dialog(&host_, &updater, nullptr);
    int grownBy = 0;
    bool browserShown = false;
    bool buttonHidden = false;
    bool animating = true;
    std::wstring location;
    EXPECT_EQ(qz::test::RunModal(dialog,
                                 [&](CDialog&) {
                                     // After the query's answer, which the inline query posted.
                                     QTimer::singleShot(0, QCoreApplication::instance(), [&] {
                                         ASSERT_TRUE(dialog.IsPatchAvailable());
                                         auto* icon = dynamic_cast<CQZ_Static*>(dialog.GetDlgItem(IDC_ACTIVITY));
                                         animating = icon && icon->IsAnimating();
                                         RECT before{};
                                         RECT after{};
                                         dialog.GetWindowRect(&before);
                                         dialog.SendMessage(WM_COMMAND, IDC_BTN_WHATS_NEW);
                                         dialog.GetWindowRect(&after);
                                         grownBy = after.Height() - before.Height();
                                         browserShown = IsWindowVisible(GetDlgItem(dialog.m_hWnd, IDC_BROWSER));
                                         buttonHidden = !IsWindowVisible(GetDlgItem(dialog.m_hWnd, IDC_BTN_WHATS_NEW));
                                         location = dialog.GetBrowser().get_LocationURL();
                                         dialog.SendMessage(WM_COMMAND, IDOK);
                                     });
                                 }),
              0);
    EXPECT_FALSE(animating) << "the icon stops with the query's answer";
    EXPECT_EQ(grownBy, 250);
    EXPECT_TRUE(browserShown);
    EXPECT_TRUE(buttonHidden);
    ASSERT_FALSE(updater.GetDescriptionFile().GetPath().empty());
    EXPECT_EQ(location, QzOSAL::QzURL(updater.GetDescriptionFile()).GetText());
}

} // namespace
