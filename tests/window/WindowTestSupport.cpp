#include "WindowTestSupport.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace qz::platform::test {

void RequireGui()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ASSERT_TRUE(EnsureGuiApplication());
}

void WhenIdle(std::function<void()> fn)
{
    QTimer::singleShot(0, QCoreApplication::instance(), std::move(fn));
}

BEGIN_MESSAGE_MAP(RecordingDialog, CDialog)
ON_BN_CLICKED(IDC_BTN_APPLY, OnApply)
ON_BN_CLICKED(IDC_CHK_OPTION, OnOption)
ON_WM_CLOSE()
ON_EN_CHANGE(IDC_EDIT_NAME, OnNameChange)
ON_COMMAND_RANGE(IDYES, IDNO, OnAnswer)
END_MESSAGE_MAP()

RecordingDialog::RecordingDialog(UINT templateId) : CDialog(templateId) {}

BOOL RecordingDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (onInit) {
        onInit(*this);
    }
    return TRUE;
}

void RecordingDialog::OnOK()
{
    commands.push_back(IDOK);
    CDialog::OnOK();
}

void RecordingDialog::OnCancel()
{
    commands.push_back(IDCANCEL);
    CDialog::OnCancel();
}

void RecordingDialog::OnClose()
{
    ++closeMessages;
    DefWindowProc(WM_CLOSE, 0, 0);
}

} // namespace qz::platform::test
