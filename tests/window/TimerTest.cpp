// Timers fire with their IDs and stop when killed.
#include "WindowTestSupport.h"

namespace qz::platform::test {
namespace {

using TimerTest = WindowTest;

class TimerDialog : public CDialog {
  public:
    TimerDialog() : CDialog(IDD_PLAIN_DIALOG) {}

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        EXPECT_EQ(SetTimer(1, 10), 1u);
        EXPECT_EQ(SetTimer(5, 1000000), 5u);
        EXPECT_EQ(SetTimer(5, 1000000), 5u); // restarting keeps one timer
        EXPECT_TRUE(KillTimer(5));
        EXPECT_FALSE(KillTimer(5));
        return TRUE;
    }

    void OnTimer(UINT_PTR id)
    {
        fired.push_back(id);
        if (id == 1 && ++firstCount == 3) {
            EXPECT_TRUE(KillTimer(1));
            // Runs on past the first timer's interval several times over.
            SetTimer(2, 25);
        } else if (id == 2 && ++secondCount == 3) {
            KillTimer(2);
            EndDialog(IDOK);
        }
    }

    std::vector<UINT_PTR> fired;
    int firstCount = 0;
    int secondCount = 0;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TimerDialog, CDialog)
ON_WM_TIMER()
END_MESSAGE_MAP()

TEST_F(TimerTest, TimersFireWithTheirIdsAndStopWhenKilled)
{
    TimerDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.fired, (std::vector<UINT_PTR>{1, 1, 1, 2, 2, 2}));
    // A timer of a stale window cannot be set.
    HWND gone = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 1, 1, nullptr, 0);
    DestroyWindow(gone);
    EXPECT_EQ(qz::platform::SetTimer(gone, 1, 10), 0u);
    EXPECT_FALSE(qz::platform::KillTimer(gone, 1));
}

} // namespace
} // namespace qz::platform::test
