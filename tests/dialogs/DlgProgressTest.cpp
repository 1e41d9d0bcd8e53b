// The progress dialog's figures: the byte sizes, the status line and the
// meter, which move only with a whole percentage more.
#include "BaseDlgTestSupport.h"

#include "dialogs/ByteSizeFormatter.h"
#include "dialogs/DlgProgress.h"
#include "dialogs/res/resource.h"
#include "gui/controls/PeakMeterCtrl.h"
#include "support/RecordingHost.h"
#include "support/ScriptedSteps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qz::platform;
using qz::dialogs::ByteUnitNames;
using qz::dialogs::FormatByteSize;
using qz::test::ScriptedSteps;

namespace {

TEST(ByteSizeFormatterTest, UnitsAndTruncation)
{
    const std::pair<std::uint64_t, const wchar_t*> plain[] = {
        {0, L"0 Bytes"}, {1023, L"1023 Bytes"}, {1024, L"1 kB"}, {1500000, L"1 MB"}, {3000000, L"2 MB"},
        {(std::uint64_t{1} << 30) - 1, L"1023 MB"}, {std::uint64_t{5} << 40, L"5 TB"},
        {~std::uint64_t{0}, L"15 EB"}};
    for (const auto& [bytes, text] : plain)
        EXPECT_EQ(FormatByteSize(bytes), text) << bytes;
    EXPECT_EQ(FormatByteSize(1536, ByteUnitNames::Short, 2), L"1.50 kB");
    EXPECT_EQ(FormatByteSize(2047, ByteUnitNames::Short, 1), L"1.9 kB") << "truncated, not rounded";
    EXPECT_EQ(FormatByteSize(std::uint64_t{5} << 30, ByteUnitNames::Medium, 0, 1), L"5242880 KBytes");
    EXPECT_EQ(FormatByteSize(3 << 20, ByteUnitNames::Long), L"3 Megabytes");
    // An unknown total shows the received size alone.
    EXPECT_EQ(CDlgProgress::FormatProgress(1 << 20, 0, 0), L"Downloading ....   1 MB");
}

TEST(DlgProgressTest, StatusLineAndMeterFollowWholePercentages)
{
    ASSERT_TRUE(qz::test::RequireDialogGui());
    qz::test::RecordingHost host;
    host.texts["GetSkinFolder"] = QZ_SKIN_DIR L"/";
    qz::test::ScriptedSteps steps;
    steps.patchSize = 3000000;
    steps.crmUpload = ScriptedSteps::Answer(WM_UPDATE_CRM_DONE);
    std::vector<std::pair<std::wstring, double>> seen;
    CDlgProgress dialog(&host, steps, nullptr);
    // The download reports its figures, then fails.
    steps.download = [&](CWnd*) {
        auto* meter = dynamic_cast<CQZ_PeakMeterCtrl*>(dialog.GetDlgItem(IDC_PROGRESS));
        const auto show = [&](WPARAM bytes) {
            dialog.SendMessage(WM_UPDATE_PROGRESS, bytes);
            seen.emplace_back(dialog.GetDlgItemText(IDC_TXT_DOWNLOAD_STATUS), meter ? meter->GetValue() : -1);
        };
        show(0);
        show(1500000);
        dialog.SetDlgItemText(IDC_TXT_DOWNLOAD_STATUS, L"unchanged");
        show(1500029);  // still 50 %
        show(1530000);  // 51 %
        dialog.PostMessage(WM_UPDATE_DOWNLOAD_DONE, 0, 0);
    };
    EXPECT_EQ(dialog.DoModal(), 2) << "the failed download closes the dialog";
    const std::vector<std::pair<std::wstring, double>> expected{
        {L"Downloading ....   0% (0 Bytes / 2 MB)", 0.0},
        {L"Downloading ....   50% (1 MB / 2 MB)", 50.0},
        {L"unchanged", 50.0},
        {L"Downloading ....   51% (1 MB / 2 MB)", 51.0},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(dialog.GetLastPercent(), 51);
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"crm", "download"}));
}

} // namespace
