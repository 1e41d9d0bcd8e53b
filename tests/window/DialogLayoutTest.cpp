// Dialog units become pixels from the dialog font's base units at the DPI of
// the screen, as the Windows dialog manager computes them.
#include "WindowTestSupport.h"

#include <QFontMetrics>
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

TEST_F(DialogLayoutTest, ControlPositionsFollowDialogUnitsAtEveryDpi)
{
    int previousWidthUnit = 0;
    for (int dpi : {96, 120, 144, 168}) {
        SCOPED_TRACE(dpi);
        SetDisplayDpiOverride(dpi);
        HDC dc = CreateDCW(L"DISPLAY");
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), dpi);
        DeleteDC(dc);

        RecordingDialog dlg(IDD_TEST_DIALOG);
        ASSERT_TRUE(dlg.Create());
        QWidget* widget = WidgetFromHandle(dlg.m_hWnd);
        ASSERT_NE(widget, nullptr);

        // The 8-point template font is MulDiv(8, dpi, 72) pixels high.
        EXPECT_EQ(widget->font().pixelSize(), MulDiv(8, dpi, 72));
        QFontMetrics metrics(widget->font());
        const int letters =
            metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        const POINT base = GetDialogBaseUnits(dlg.m_hWnd);
        EXPECT_EQ(base.x, (letters / 26 + 1) / 2);
        EXPECT_EQ(base.y, metrics.height());
        EXPECT_GT(base.x, previousWidthUnit);
        previousWidthUnit = base.x;

        RECT client{};
        GetClientRect(dlg.m_hWnd, &client);
        EXPECT_EQ(client.right, MulDiv(240, base.x, 4));
        EXPECT_EQ(client.bottom, MulDiv(160, base.y, 8));

        for (const Item& item : kItems) {
            SCOPED_TRACE(item.id);
            HWND control = GetDlgItem(dlg.m_hWnd, item.id);
            ASSERT_NE(control, nullptr);
            RECT r{};
            ASSERT_TRUE(GetWindowRect(control, &r));
            POINT topLeft{r.left, r.top};
            ScreenToClient(dlg.m_hWnd, &topLeft);
            EXPECT_EQ(topLeft.x, MulDiv(item.x, base.x, 4));
            EXPECT_EQ(topLeft.y, MulDiv(item.y, base.y, 8));
            EXPECT_EQ(r.Width(), MulDiv(item.cx, base.x, 4));
            EXPECT_EQ(r.Height(), MulDiv(item.cy, base.y, 8));
            RECT expected{item.x, item.y, item.x + item.cx, item.y + item.cy};
            MapDialogRect(dlg.m_hWnd, &expected);
            EXPECT_EQ(expected.left, topLeft.x);
        }
        dlg.DestroyWindow();
    }
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
