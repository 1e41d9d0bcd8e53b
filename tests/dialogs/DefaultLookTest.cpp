// The button drawn as the dialog's answer is the one Enter presses: after
// Tab moves the keyboard to another push button, that button takes the
// answer's look and the former default gives it up.
#include "BaseDlgTestSupport.h"

#include "dialogs/DlgInstall.h"
#include "dialogs/res/resource.h"
#include "platform/window/WindowQt.h"
#include "support/RecordingHost.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QWidget>

using namespace qz::platform;

namespace {

// The fill of a push button as drawn in the dialog's picture: a point
// inside its left end, clear of the border and of the centred text.
QRgb Fill(const QImage& picture, HWND dialog, int id)
{
    QWidget* button = WidgetFromHandle(GetDlgItem(dialog, id));
    QWidget* window = WidgetFromHandle(dialog);
    const QPoint at = button->mapTo(window, QPoint(button->width() / 20 + 3, button->height() / 2));
    return picture.pixel(at);
}

TEST(DefaultLookTest, TabToAnotherButtonMovesTheAnswersLook)
{
    ASSERT_TRUE(qz::test::RequireDialogGui());
    qz::test::RecordingHost host;
    host.programLanguage = L"en_GB";
    host.texts["GetSkinFolder"] = QZ_SKIN_DIR L"/";
    qz::test::ScopedCurrentConfiguration current(&host);
    CDlgInstall dialog(&host, nullptr);
    QRgb answerBefore = 0, otherBefore = 0, answerAfter = 0, otherAfter = 0;
    int focusAfterTab = 0;
    const std::intptr_t result = qz::test::RunModal(dialog, [&](CDialog& d) {
        QWidget* window = WidgetFromHandle(d.m_hWnd);
        window->activateWindow();
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        const QImage before = window->grab().toImage();
        answerBefore = Fill(before, d.m_hWnd, IDOK);
        otherBefore = Fill(before, d.m_hWnd, IDC_BTN_LATER);
        qz::test::TypeKey(Qt::Key_Tab);
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        focusAfterTab = GetFocus() ? GetDlgCtrlID(GetFocus()) : 0;
        const QImage after = window->grab().toImage();
        answerAfter = Fill(after, d.m_hWnd, IDC_BTN_LATER);
        otherAfter = Fill(after, d.m_hWnd, IDOK);
        qz::test::TypeKey(Qt::Key_Return);
        if (IsWindowVisible(d.m_hWnd))
            d.EndDialog(100);
    });
    // The skin draws the default button unlike the others to begin with.
    ASSERT_NE(answerBefore, otherBefore);
    ASSERT_EQ(focusAfterTab, IDC_BTN_LATER);
    // Enter pressed the focused button ...
    EXPECT_EQ(result, 9);
    // ... so that button must be the one that looks like the answer.
    EXPECT_EQ(qRed(answerAfter), qRed(answerBefore));
    EXPECT_EQ(qGreen(answerAfter), qGreen(answerBefore));
    EXPECT_EQ(qBlue(answerAfter), qBlue(answerBefore));
    EXPECT_EQ(otherAfter, otherBefore);
}

} // namespace
