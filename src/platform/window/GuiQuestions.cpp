#include "platform/window/GuiQuestions.h"

#include "platform/UserQuestion.h"
#include "platform/WinApp.h"
#include "platform/window/WindowQt.h"
#include "platform/window/WindowSystem.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

namespace qz::platform {

namespace {

bool AskInMessageBox(const std::wstring& question)
{
    // A box on a worker thread would be a window outside the GUI thread; a
    // worker's question gets the safe answer instead.
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) {
        return false;
    }
    // As the framework's message box does: owned by the active window, with
    // the application's name as caption.
    QWidget* active = QApplication::activeModalWidget();
    if (!active) {
        active = QApplication::activeWindow();
    }
    const CWinApp* winApp = AfxGetApp();
    const std::wstring caption =
        winApp && winApp->GetAppName() ? std::wstring(winApp->GetAppName()) : std::wstring(L"QzAutoUpdate");
    return MessageBoxW(HandleFromWidget(active), question, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

} // namespace

void InstallGuiQuestions()
{
    SetYesNoHandler(AskInMessageBox);
}

} // namespace qz::platform
