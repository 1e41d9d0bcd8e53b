// The update dialog on its own, with the default skin: the waiting state
// until the query ends, and the description shown on "New in this update".
#include "BaseDlgTestSupport.h"

#include "dialogs/DlgUpdate.h"
#include "dialogs/res/resource.h"
#include "gui/controls/Static.h"
#include "osal/QzURL.h"
#include "support/RecordingHost.h"
#include "support/ScriptedSteps.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <filesystem>
#include <fstream>

using namespace qz::platform;
using qz::test::ScriptedSteps;

namespace {

class DlgUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(qz::test::RequireDialogGui());
        host_.texts["GetSkinFolder"] = QZ_SKIN_DIR L"/";
    }
    void TearDown() override { SetDisplayDpiOverride(0); }

    qz::test::RecordingHost host_;
    ScriptedSteps steps_;
};

TEST_F(DlgUpdateTest, WhatsNewGrowsTheDialogAndShowsTheDescription)
{
    const qz::test::TempFolder folder("qz-dlgupdate");
    const std::filesystem::path page = folder / "whatsnew.html";
    std::ofstream(page) << "<html><body>New things.</body></html>";
    steps_.description = QzOSAL::QzPath(page.wstring());
    steps_.patchCheck = ScriptedSteps::Answer(WM_UPDATE_QUERY_DONE, 1);
    SetDisplayDpiOverride(120);
    CDlgUpdate dialog(&host_, steps_, nullptr);
    bool waited = false;
    int grownBy = 0;
    bool browserShown = false;
    bool buttonHidden = false;
    bool animating = true;
    std::wstring location;
    EXPECT_EQ(qz::test::RunModal(dialog,
                                 [&](CDialog& d) {
                                     // Until the query answers: the wait text and the turning icon, no OK.
                                     auto* spinner = dynamic_cast<CQZ_Static*>(d.GetDlgItem(IDC_ACTIVITY));
                                     waited = IsWindowVisible(GetDlgItem(d.m_hWnd, IDC_TXT_WAIT)) &&
                                              !IsWindowVisible(GetDlgItem(d.m_hWnd, IDOK)) && spinner &&
                                              spinner->IsAnimating();
                                     // After the query's answer, which the step posted.
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
    EXPECT_EQ(steps_.calls, std::vector<std::string>{"check"});
    EXPECT_TRUE(waited);
    EXPECT_FALSE(animating) << "the icon stops with the query's answer";
    EXPECT_EQ(grownBy, 250);
    EXPECT_TRUE(browserShown);
    EXPECT_TRUE(buttonHidden);
    EXPECT_EQ(location, QzOSAL::QzURL(steps_.description).GetText());
}

} // namespace
