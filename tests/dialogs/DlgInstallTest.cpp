// The install dialog, with the default skin and without one: each way of
// answering gives its fixed result, and the headline names the product.
#include "BaseDlgTestSupport.h"

#include "dialogs/DlgInstall.h"
#include "dialogs/res/resource.h"
#include "support/RecordingHost.h"

#include <gtest/gtest.h>

#include <QKeyEvent>

#include <filesystem>

using namespace qz::platform;
using qz::test::RecordingHost;

namespace {

class DlgInstallTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(qz::test::RequireDialogGui());
        host.texts["GetProductName"] = L"Demo";
        // With the default skin, or with a folder that holds no skin at all.
        if (GetParam()) {
            host.texts["GetSkinFolder"] = QZ_SKIN_DIR L"/";
        } else {
            emptySkin = qz::test::WriteTempFile("no-skin/.keep", "");
            host.texts["GetSkinFolder"] = std::filesystem::path(emptySkin).parent_path().wstring() + L"/";
        }
    }

    std::intptr_t Answer(const std::function<void(CDialog&)>& act)
    {
        CDlgInstall dlg(&host, nullptr);
        return qz::test::RunModal(dlg, act);
    }

    RecordingHost host;
    std::wstring emptySkin;
};

TEST_P(DlgInstallTest, EveryAnswerHasItsResultAndTheHeadlineNamesTheProduct)
{
    std::wstring headline;
    std::wstring caption;
    EXPECT_EQ(Answer([&](CDialog& d) {
                  headline = d.GetDlgItemText(IDC_TXT_PRODUCT);
                  caption = d.GetWindowText();
                  qz::test::ClickItem(d.m_hWnd, IDOK);
              }),
              8);
    EXPECT_EQ(headline, L"The update for \u2068Demo\u2069 is now ready for installation.");
    EXPECT_EQ(caption, L"Major program update");
    EXPECT_EQ(Answer([](CDialog& d) { qz::test::ClickItem(d.m_hWnd, IDC_BTN_LATER); }), 9);
    EXPECT_EQ(Answer([](CDialog& d) { qz::test::ClickItem(d.m_hWnd, IDCANCEL); }), 7);
    EXPECT_EQ(Answer([](CDialog&) { qz::test::TypeKey(Qt::Key_Escape); }), 7);
    EXPECT_EQ(Answer([](CDialog& d) { qz::test::CloseBox(d.m_hWnd); }), 7);
    EXPECT_EQ(Answer([](CDialog&) { qz::test::TypeKey(Qt::Key_Return); }), 8);

    // Without a configuration the placeholder stays.
    CDlgInstall bare(nullptr, nullptr);
    EXPECT_EQ(qz::test::RunModal(bare,
                                 [&](CDialog& d) {
                                     headline = d.GetDlgItemText(IDC_TXT_PRODUCT);
                                     d.EndDialog(99);
                                 }),
              99);
    EXPECT_EQ(headline, L"The update for $TAVOR$ is now ready for installation.");
}

INSTANTIATE_TEST_SUITE_P(Skins, DlgInstallTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "DefaultSkin" : "NoSkin";
                         });

} // namespace
