// The standard controls behind handles: check state, progress, texts,
// enabling, visibility, geometry, z-order, enumeration, host windows.
#include "WindowTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <memory>

namespace qz::platform::test {
namespace {

using ControlsTest = WindowTest;

TEST_F(ControlsTest, ButtonsAndProgressAnswerTheirMessages)
{
    RecordingDialog dlg(IDD_TEST_DIALOG);
    ASSERT_TRUE(dlg.Create());
    HWND check = GetDlgItem(dlg.m_hWnd, IDC_CHK_OPTION);
    EXPECT_EQ(IsDlgButtonChecked(dlg.m_hWnd, IDC_CHK_OPTION), BST_UNCHECKED);
    dlg.CheckDlgButton(IDC_CHK_OPTION, BST_CHECKED);
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_CHK_OPTION), BST_CHECKED);
    EXPECT_TRUE(static_cast<QCheckBox*>(WidgetFromHandle(check))->isChecked());
    EXPECT_TRUE(dlg.commands.empty()); // setting the state is no click
    // A click on an automatic check box toggles it and notifies the dialog.
    SendMessage(check, BM_CLICK);
    EXPECT_EQ(SendMessage(check, BM_GETCHECK), static_cast<LRESULT>(BST_UNCHECKED));
    EXPECT_EQ(dlg.commands, std::vector<int>{IDC_CHK_OPTION});
    // A disabled button takes no clicks.
    SendMessage(GetDlgItem(dlg.m_hWnd, IDC_BTN_APPLY), BM_CLICK);
    EXPECT_EQ(dlg.commands.size(), 1u);

    HWND progress = GetDlgItem(dlg.m_hWnd, IDC_PROGRESS);
    auto* bar = static_cast<QProgressBar*>(WidgetFromHandle(progress));
    SendMessage(progress, PBM_SETRANGE32, 0, 200);
    EXPECT_EQ(SendMessage(progress, PBM_SETPOS, 150), 0);
    EXPECT_EQ(SendMessage(progress, PBM_GETPOS), 150);
    EXPECT_EQ(bar->maximum(), 200);
    EXPECT_EQ(bar->value(), 150);
    EXPECT_EQ(SendMessage(progress, PBM_SETPOS, 500), 150);
    EXPECT_EQ(SendMessage(progress, PBM_GETPOS), 200); // clamped to the range
    SendMessage(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    EXPECT_EQ(SendMessage(progress, PBM_GETRANGE, TRUE), 0);
    EXPECT_EQ(SendMessage(progress, PBM_GETRANGE, FALSE), 100);
    EXPECT_EQ(bar->value(), 100);
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindow(check));
}

TEST_F(ControlsTest, TextsEnablingAndVisibility)
{
    RecordingDialog dlg(IDD_TEST_DIALOG);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.GetWindowText(), L"Window test \u2013 dialog");
    // A static keeps its '&' in its text but shows none.
    HWND title = GetDlgItem(dlg.m_hWnd, IDC_TXT_TITLE);
    EXPECT_EQ(GetWindowTextW(title), L"&Name of the product:");
    EXPECT_EQ(static_cast<QLabel*>(WidgetFromHandle(title))->text(), QStringLiteral("Name of the product:"));
    dlg.SetDlgItemText(IDC_EDIT_NAME, L"Demo");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_EDIT_NAME), L"Demo");
    EXPECT_EQ(dlg.nameChanges, 1);
    // A command range handler gets the ID; other codes do not match it.
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDNO, 0));
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDYES, EN_CHANGE));
    EXPECT_EQ(dlg.commands, std::vector<int>{IDNO});
    // Multi-line edits speak Windows line ends.
    dlg.SetDlgItemText(IDC_EDIT_LOG, L"one\r\ntwo");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_EDIT_LOG), L"one\r\ntwo");
    EXPECT_EQ(SendMessage(GetDlgItem(dlg.m_hWnd, IDC_EDIT_LOG), EM_GETLINECOUNT), 2);
    wchar_t small[4] = {};
    EXPECT_EQ(
        SendMessage(GetDlgItem(dlg.m_hWnd, IDC_EDIT_NAME), WM_GETTEXT, 4, reinterpret_cast<LPARAM>(small)),
        3);
    EXPECT_EQ(std::wstring(small), L"Dem");

    HWND apply = GetDlgItem(dlg.m_hWnd, IDC_BTN_APPLY);
    EXPECT_FALSE(IsWindowEnabled(apply));
    EXPECT_TRUE(GetWindowLongW(apply, GWL_STYLE) & WS_DISABLED);
    EXPECT_TRUE(EnableWindow(apply, true)); // was disabled
    EXPECT_FALSE(EnableWindow(apply, true));
    EXPECT_TRUE(IsWindowEnabled(apply));

    // A modeless dialog without WS_VISIBLE waits to be shown.
    EXPECT_FALSE(IsWindowVisible(dlg.m_hWnd));
    EXPECT_FALSE(dlg.ShowWindow(SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(dlg.m_hWnd));
    EXPECT_TRUE(ShowWindow(apply, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(apply));
    EXPECT_FALSE(GetWindowLongW(apply, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(ShowWindow(apply, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(apply));
    EXPECT_EQ(GetDlgCtrlID(apply), IDC_BTN_APPLY);
    EXPECT_EQ(GetParent(apply), dlg.m_hWnd);
    EXPECT_EQ(dlg.GetDlgItem(4711), nullptr);
}

TEST_F(ControlsTest, GeometryZOrderAndEnumeration)
{
    RecordingDialog dlg(IDD_TEST_DIALOG);
    ASSERT_TRUE(dlg.Create());
    HWND h = dlg.m_hWnd;
    std::vector<HWND> children = GetChildWindows(h);
    ASSERT_EQ(children.size(), 11u);
    EXPECT_EQ(GetWindow(h, GW_CHILD), GetDlgItem(h, IDC_TXT_TITLE));
    EXPECT_EQ(GetWindow(GetDlgItem(h, IDC_TXT_TITLE), GW_HWNDNEXT), GetDlgItem(h, IDC_EDIT_NAME));
    int count = 0;
    EnumChildWindows(h, [&](HWND) { return ++count < 3; });
    EXPECT_EQ(count, 3);

    HWND ok = GetDlgItem(h, IDOK);
    RECT before{};
    GetWindowRect(ok, &before);
    EXPECT_TRUE(SetWindowPos(ok, HWND_BOTTOM, 5, 6, 70, 30, SWP_NOMOVE));
    RECT after{};
    GetWindowRect(ok, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.Width(), 70);
    EXPECT_EQ(after.Height(), 30);
    EXPECT_EQ(GetWindow(h, GW_CHILD) != ok, true);
    EXPECT_EQ(GetWindow(ok, GW_HWNDLAST), ok);
    EXPECT_TRUE(SetWindowPos(ok, nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    POINT p{};
    ClientToScreen(ok, &p);
    ScreenToClient(h, &p);
    EXPECT_EQ(p, (POINT{5, 6}));
    RECT client{};
    GetClientRect(ok, &client);
    EXPECT_EQ(client, (RECT{0, 0, 70, 30}));
    EXPECT_TRUE(dlg.SetWindowPos(&CWnd::wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_TRUE(SetWindowPos(ok, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_HIDEWINDOW));
    EXPECT_EQ(GetWindow(h, GW_CHILD), ok);
    EXPECT_FALSE(IsWindowVisible(ok));
    EXPECT_TRUE(SetForegroundWindow(h));
    EXPECT_TRUE(BringWindowToTop(h));
}

TEST_F(ControlsTest, SubclassedControlSeesItsMessagesFirst)
{
    class Counting : public CWnd {
      public:
        LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
        {
            if (msg == WM_SETTEXT) {
                ++texts;
            }
            return CWnd::WindowProc(msg, wParam, lParam);
        }
        int texts = 0;
    };
    RecordingDialog dlg(IDD_TEST_DIALOG);
    ASSERT_TRUE(dlg.Create());
    Counting counting;
    ASSERT_TRUE(counting.SubclassDlgItem(IDC_TXT_CENTER, &dlg));
    EXPECT_EQ(CWnd::FromHandle(GetDlgItem(dlg.m_hWnd, IDC_TXT_CENTER)), &counting);
    counting.SetWindowText(L"changed");
    EXPECT_EQ(counting.texts, 1);
    EXPECT_EQ(GetDlgItemTextW(dlg.m_hWnd, IDC_TXT_CENTER), L"changed");
    counting.UnsubclassWindow();
    SetDlgItemTextW(dlg.m_hWnd, IDC_TXT_CENTER, L"again");
    EXPECT_EQ(counting.texts, 1);
}

TEST_F(ControlsTest, HostWindowOwnsModalDialogsAndTakesItsHandleAlong)
{
    auto host = std::make_unique<QWidget>();
    host->show();
    HWND owner = HandleFromHostWindow(host.get());
    ASSERT_TRUE(IsWindow(owner));
    EXPECT_EQ(HandleFromHostWindow(host.get()), owner);
    RecordingDialog dlg(IDD_TEST_DIALOG);
    CWnd* parent = CWnd::FromHandle(owner);
    ASSERT_NE(parent, nullptr);
    dlg.InitModalIndirect(
        *DecodeDialogTemplate(
            FindResourceEx(ResName::Ordinal(RT_DIALOG), ResName::Ordinal(IDD_TEST_DIALOG), kFallbackLanguage)
                ->data),
        parent);
    dlg.onInit = [&](RecordingDialog& d) {
        WhenIdle([&d, &host, owner] {
            QWidget* w = WidgetFromHandle(d.m_hWnd);
            EXPECT_EQ(w->parentWidget(), host.get());
            EXPECT_TRUE(w->isModal());
            EXPECT_EQ(GetParent(d.m_hWnd), owner);
            d.EndDialog(IDOK);
        });
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);

    // The host's window keeps its own close behaviour; the widget going away
    // takes its handle along.
    EXPECT_TRUE(host->close());
    EXPECT_FALSE(host->isVisible());
    EXPECT_TRUE(IsWindow(owner));
    host.reset();
    EXPECT_FALSE(IsWindow(owner));
}

} // namespace
} // namespace qz::platform::test
