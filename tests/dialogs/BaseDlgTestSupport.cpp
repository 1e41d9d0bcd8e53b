#include "BaseDlgTestSupport.h"

#include "dialogs/Languages.h"
#include "platform/window/WindowQt.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <memory>

namespace qz::test {

bool RequireDialogGui()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return platform::EnsureGuiApplication();
}

ScopedCurrentConfiguration::ScopedCurrentConfiguration(QzAutoUpdate::CUpdateConfiguration2* configuration)
{
    dialogs::SetConfigurationSource([configuration] { return configuration; });
}

ScopedCurrentConfiguration::~ScopedCurrentConfiguration()
{
    dialogs::SetConfigurationSource({});
}

namespace {

// Waits, one idle turn at a time, until the dialog's window exists.
void WhenShown(platform::CDialog& dialog, std::function<void(platform::CDialog&)> act, int turnsLeft)
{
    QTimer::singleShot(0, QCoreApplication::instance(), [&dialog, act, turnsLeft] {
        if (platform::IsWindow(dialog.m_hWnd) || turnsLeft == 0) {
            act(dialog);
        } else {
            WhenShown(dialog, act, turnsLeft - 1);
        }
    });
}

} // namespace

std::intptr_t RunModal(platform::CDialog& dialog, std::function<void(platform::CDialog&)> act)
{
    WhenShown(dialog, std::move(act), 100);
    return dialog.DoModal();
}

void ClickItem(platform::HWND dialog, int id)
{
    QWidget* w = platform::WidgetFromHandle(platform::GetDlgItem(dialog, id));
    ASSERT_NE(w, nullptr) << "no item " << id;
    const QPointF local(w->width() / 2.0, w->height() / 2.0);
    const QPointF global = w->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

void CloseBox(platform::HWND window)
{
    QWidget* w = platform::WidgetFromHandle(window);
    ASSERT_NE(w, nullptr);
    w->close();
}

std::wstring WriteTempFile(const std::string& name, const std::string& bytes)
{
    static const TempFolder folder("qz_dialogs_test");
    const std::filesystem::path path = folder / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path.wstring();
}

} // namespace qz::test
