// The dialog manager's keys and the ways a modal dialog ends.
#include "WindowTestSupport.h"

#include <QWidget>

namespace qz::platform::test {
namespace {

using DialogKeysTest = WindowTest;

// Runs the test dialog modally; `act` runs once the modal loop is idle.
std::intptr_t RunWith(RecordingDialog& dlg, std::function<void(RecordingDialog&)> act)
{
    dlg.onInit = [act](RecordingDialog& d) { WhenIdle([&d, act] { act(d); }); };
    return dlg.DoModal();
}

// Whether the button is drawn as the default one.
bool DrawnDefault(HWND dialog, int id)
{
    return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

TEST_F(DialogKeysTest, EnterPressesTheDefaultButtonAndEscapeCancels)
{
    RecordingDialog enter(IDD_TEST_DIALOG);
    EXPECT_EQ(RunWith(enter,
                      [](RecordingDialog& d) {
                          EXPECT_EQ(d.GetDefID(), IDOK);
                          // The first tab stop has the focus: the edit.
                          EXPECT_EQ(GetFocus(), GetDlgItem(d.m_hWnd, IDC_EDIT_NAME));
                          qz::test::TypeKey(Qt::Key_Return);
                      }),
              IDOK);
    EXPECT_EQ(enter.commands, std::vector<int>{IDOK});

    RecordingDialog escape(IDD_TEST_DIALOG);
    EXPECT_EQ(RunWith(escape,
                      [](RecordingDialog& d) {
                          // From the edit, Tab passes over the group box, the statics, the
                          // log (no WS_TABSTOP) and the disabled Apply.
                          qz::test::TypeKey(Qt::Key_Tab);
                          EXPECT_EQ(GetFocus(), GetDlgItem(d.m_hWnd, IDC_CHK_OPTION));
                          qz::test::TypeKey(Qt::Key_Tab);
                          EXPECT_EQ(GetFocus(), GetDlgItem(d.m_hWnd, IDOK));
                          qz::test::TypeKey(Qt::Key_Escape);
                      }),
              IDCANCEL);
    EXPECT_EQ(escape.commands, std::vector<int>{IDCANCEL});

    // Enter on a focused push button presses that button, which is drawn as
    // the default meanwhile.
    RecordingDialog onCancel(IDD_TEST_DIALOG);
    EXPECT_EQ(RunWith(onCancel,
                      [](RecordingDialog& d) {
                          SetFocus(GetDlgItem(d.m_hWnd, IDCANCEL));
                          EXPECT_TRUE(DrawnDefault(d.m_hWnd, IDCANCEL));
                          EXPECT_FALSE(DrawnDefault(d.m_hWnd, IDOK));
                          EXPECT_EQ(d.GetDefID(), IDOK);
                          SetFocus(GetDlgItem(d.m_hWnd, IDC_CHK_OPTION));
                          EXPECT_FALSE(DrawnDefault(d.m_hWnd, IDCANCEL));
                          EXPECT_TRUE(DrawnDefault(d.m_hWnd, IDOK));
                          SetFocus(GetDlgItem(d.m_hWnd, IDCANCEL));
                          qz::test::TypeKey(Qt::Key_Enter, Qt::KeypadModifier);
                      }),
              IDCANCEL);

    // Without a default push button Enter sends IDOK, unless the focus is on
    // another push button.
    RecordingDialog plain(IDD_PLAIN_DIALOG);
    EXPECT_EQ(RunWith(plain,
                      [](RecordingDialog& d) {
                          EXPECT_EQ(d.GetDefID(), IDOK);
                          EXPECT_EQ(GetFocus(), GetDlgItem(d.m_hWnd, IDOK));
                          qz::test::TypeKey(Qt::Key_Tab);
                          qz::test::TypeKey(Qt::Key_Return);
                      }),
              IDCANCEL);
}

TEST_F(DialogKeysTest, MnemonicsActOnTheirControls)
{
    RecordingDialog dlg(IDD_TEST_DIALOG);
    EXPECT_EQ(RunWith(dlg,
                      [](RecordingDialog& d) {
                          HWND edit = GetDlgItem(d.m_hWnd, IDC_EDIT_NAME);
                          HWND check = GetDlgItem(d.m_hWnd, IDC_CHK_OPTION);
                          SetFocus(check);
                          // A label's letter moves the focus to the control after it.
                          qz::test::TypeAlt(u'n');
                          EXPECT_EQ(GetFocus(), edit);
                          // In an edit a plain letter is typed, not a mnemonic.
                          qz::test::TypeKey(Qt::Key_N, Qt::NoModifier, QStringLiteral("n"));
                          EXPECT_EQ(GetWindowTextW(edit), L"n");
                          // A disabled button's letter does nothing; once enabled it
                          // presses the button without taking the focus.
                          qz::test::TypeAlt(u'a');
                          EXPECT_TRUE(d.commands.empty());
                          EnableWindow(GetDlgItem(d.m_hWnd, IDC_BTN_APPLY), true);
                          qz::test::TypeAlt(u'A');
                          EXPECT_EQ(d.commands, std::vector<int>{IDC_BTN_APPLY});
                          EXPECT_EQ(GetFocus(), edit);
                          // Where the focus takes no characters the letter alone works.
                          SetFocus(GetDlgItem(d.m_hWnd, IDOK));
                          qz::test::TypeKey(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
                          EXPECT_EQ(d.commands, (std::vector<int>{IDC_BTN_APPLY, IDC_BTN_APPLY}));
                          d.EndDialog(5);
                      }),
              5);
}

TEST_F(DialogKeysTest, CloseBoxSendsCloseThenCancel)
{
    RecordingDialog dlg(IDD_TEST_DIALOG);
    EXPECT_EQ(RunWith(dlg, [](RecordingDialog& d) { WidgetFromHandle(d.m_hWnd)->close(); }), IDCANCEL);
    EXPECT_EQ(dlg.closeMessages, 1);
    EXPECT_EQ(dlg.commands, std::vector<int>{IDCANCEL});

    // With the Cancel button disabled the close box does nothing.
    RecordingDialog disabled(IDD_TEST_DIALOG);
    EXPECT_EQ(RunWith(disabled,
                      [](RecordingDialog& d) {
                          EnableWindow(GetDlgItem(d.m_hWnd, IDCANCEL), false);
                          WidgetFromHandle(d.m_hWnd)->close();
                          EXPECT_TRUE(IsWindowVisible(d.m_hWnd));
                          d.EndDialog(42);
                      }),
              42);
    EXPECT_TRUE(disabled.commands.empty());
}

TEST_F(DialogKeysTest, ChangedDefaultButtonAndDisabledDefault)
{
    RecordingDialog dlg(IDD_TEST_DIALOG);
    EXPECT_EQ(RunWith(dlg,
                      [](RecordingDialog& d) {
                          HWND edit = GetDlgItem(d.m_hWnd, IDC_EDIT_NAME);
                          d.SetDefID(IDC_BTN_APPLY);
                          EXPECT_EQ(GetWindowLongW(GetDlgItem(d.m_hWnd, IDOK), GWL_STYLE) & BS_TYPEMASK,
                                    static_cast<long>(BS_PUSHBUTTON));
                          SetFocus(edit);
                          qz::test::TypeKey(Qt::Key_Return); // Apply is disabled: nothing
                          EXPECT_TRUE(d.commands.empty());
                          EnableWindow(GetDlgItem(d.m_hWnd, IDC_BTN_APPLY), true);
                          qz::test::TypeKey(Qt::Key_Return);
                          EXPECT_EQ(d.commands, std::vector<int>{IDC_BTN_APPLY});
                          // The first end code stays.
                          d.EndDialog(7);
                          d.EndDialog(8);
                          EXPECT_FALSE(IsWindowVisible(d.m_hWnd));
                      }),
              7);
}

} // namespace
} // namespace qz::platform::test
