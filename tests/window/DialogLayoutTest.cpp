// Dialog units become pixels from the dialog font's base units at the DPI of
// the screen, as the Windows dialog manager computes them.
#include "WindowTestSupport.h"

#include <QWidget>

namespace qz::platform::test {
namespace {

using DialogLayoutTest = WindowTest;

struct Item {
    int id;
    int x, y, cx, cy; // dialog units, as in window_test.rc
};

constexpr Item kItems[] = {
    {IDC_TXT_TITLE, 7, 7, 226, 10},    {IDC_EDIT_NAME, 7, 19, 226, 14},  {IDC_GRP_OPTIONS, 7, 38, 226, 38},
    {IDC_CHK_OPTION, 14, 50, 150, 10}, {IDC_TXT_CENTER, 14, 62, 100, 8}, {IDC_TXT_RIGHT, 126, 62, 100, 8},
    {IDC_EDIT_LOG, 7, 80, 226, 36},    {IDC_PROGRESS, 7, 122, 226, 10},  {IDC_BTN_APPLY, 7, 139, 50, 14},
    {IDOK, 129, 139, 50, 14},          {IDCANCEL, 183, 139, 50, 14},
};

// A mirrored dialog measures x from its right edge: the code sees the
// template's places, Qt draws them flipped, moves and sizes keep the
// distance from the right edge, and so does a wider dialog.
TEST_F(DialogLayoutTest, MirroredDialogMeasuresFromTheRight)
{
    SetDisplayDpiOverride(96);
    RecordingDialog dlg(IDD_TEST_DIALOG);
    dlg.SetLayoutRightToLeft(true);
    ASSERT_TRUE(dlg.Create());
    QWidget* widget = WidgetFromHandle(dlg.m_hWnd);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->layoutDirection(), Qt::RightToLeft);
    // The 8-point template font, rounded as MulDiv rounds.
    EXPECT_EQ(widget->font().pixelSize(), MulDiv(8, 96, 72));
    EXPECT_NE(GetWindowLongW(dlg.m_hWnd, GWL_EXSTYLE) & static_cast<long>(WS_EX_LAYOUTRTL), 0);
    const POINT base = GetDialogBaseUnits(dlg.m_hWnd);
    const auto logical = [&](HWND control) {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowRect(nullptr, dlg.m_hWnd, &r);
        return r;
    };
    for (const Item& item : kItems) {
        SCOPED_TRACE(item.id);
        HWND control = GetDlgItem(dlg.m_hWnd, item.id);
        ASSERT_NE(control, nullptr);
        const RECT r = logical(control);
        EXPECT_EQ(r.left, MulDiv(item.x, base.x, 4));
        EXPECT_EQ(r.Width(), MulDiv(item.cx, base.x, 4));
        EXPECT_EQ(r.top, MulDiv(item.y, base.y, 8));
        EXPECT_EQ(r.Height(), MulDiv(item.cy, base.y, 8));
        const QRect drawn = WidgetFromHandle(control)->geometry();
        EXPECT_EQ(drawn.left(), widget->width() - r.right);
        POINT corner{r.left, r.top};
        ClientToScreen(dlg.m_hWnd, &corner);
        ScreenToClient(dlg.m_hWnd, &corner);
        EXPECT_EQ(corner.x, r.left);
    }

    HWND ok = GetDlgItem(dlg.m_hWnd, IDOK);
    MoveWindow(ok, 10, 20, 30, 40, false);
    EXPECT_EQ(logical(ok), (RECT{10, 20, 40, 60}));
    EXPECT_EQ(WidgetFromHandle(ok)->geometry(), QRect(widget->width() - 40, 20, 30, 40));
    SetWindowPos(ok, nullptr, 0, 0, 50, 40, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(logical(ok), (RECT{10, 20, 60, 60}));

    RECT frame{};
    GetWindowRect(dlg.m_hWnd, &frame);
    SetWindowPos(dlg.m_hWnd, nullptr, 0, 0, frame.Width() + 100, frame.Height(), SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(logical(ok), (RECT{10, 20, 60, 60}));
    EXPECT_EQ(WidgetFromHandle(ok)->geometry().right() + 1, widget->width() - 10);
    dlg.DestroyWindow();
    SetDisplayDpiOverride(0);
}

TEST_F(DialogLayoutTest, MulDivRoundsHalfAwayFromZero)
{
    EXPECT_EQ(MulDiv(8, 96, 72), 11);  // 10.67
    EXPECT_EQ(MulDiv(8, 168, 72), 19); // 18.67
    EXPECT_EQ(MulDiv(3, 1, 2), 2);     // 1.5
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, -10, 4), -13); // -12.5
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
    EXPECT_EQ(MulDiv(0x40000000, 4, 1), -1); // does not fit
}

} // namespace
} // namespace qz::platform::test
