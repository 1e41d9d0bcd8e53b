// Windows made without templates: destruction order, notifications of
// controls to their parent, adopted widgets and device contexts.
#include "WindowTestSupport.h"
#include "platform/window/WindowSystem.h"
#include "support/CommaLocale.h"

#include <QLineEdit>
#include <QWidget>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>

namespace qz::platform::test {
namespace {

using WindowLifecycleTest = WindowTest;

// Records the messages of one window under a name.
class Recorder : public CWnd {
  public:
    Recorder(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_DESTROY) {
            log_.push_back(name_ + " destroy");
        } else if (msg == WM_NCDESTROY) {
            log_.push_back(name_ + " ncdestroy");
        } else if (msg == WM_COMMAND) {
            log_.push_back(name_ + " command " + std::to_string(LOWORD(wParam)) + "/" +
                           std::to_string(HIWORD(wParam)));
        }
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    void PostNcDestroy() override { log_.push_back(name_ + " gone"); }

  private:
    std::string name_;
    std::vector<std::string>& log_;
};

// The application is made once per process, so the check runs in a fresh one.
TEST(GuiApplicationDeathTest, LeavesTheHostsLocaleAsItWas)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The user's environment asks for German; the host keeps "C".
            if (qz::test::ScopedCommaLocale::Folder().empty())
                std::_Exit(2);
            setenv("LOCPATH", qz::test::ScopedCommaLocale::Folder().c_str(), 1);
            setenv("LC_ALL", "de_DE.UTF-8", 1);
            std::setlocale(LC_ALL, "C");
            if (!EnsureGuiApplication())
                std::_Exit(2);
            const std::string after = std::setlocale(LC_ALL, nullptr);
            std::_Exit(after == "C" && std::string(localeconv()->decimal_point) == "." ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(WindowLifecycleTest, DestroyNotifiesParentsFirstAndChildrenInside)
{
    std::vector<std::string> log;
    HWND top = CreateWindowExW(0, L"Frame", L"top", WS_POPUP, 0, 0, 200, 100, nullptr, 0);
    HWND a = CreateWindowExW(0, L"Static", L"a", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top, 1);
    HWND b = CreateWindowExW(0, L"Button", L"b", WS_CHILD | WS_VISIBLE, 0, 20, 10, 10, top, 2);
    Recorder rt("top", log), ra("a", log), rb("b", log);
    ASSERT_TRUE(rt.SubclassWindow(top));
    ASSERT_TRUE(ra.SubclassWindow(a));
    ASSERT_TRUE(rb.SubclassWindow(b));
    EXPECT_FALSE(rb.SubclassWindow(a)); // one object per window
    EXPECT_EQ(GetChildWindows(top), (std::vector<HWND>{a, b}));

    EXPECT_TRUE(rt.DestroyWindow());
    EXPECT_EQ(log, (std::vector<std::string>{"top destroy", "a destroy", "a ncdestroy", "a gone", "b destroy",
                                             "b ncdestroy", "b gone", "top ncdestroy", "top gone"}));
    EXPECT_EQ(rt.m_hWnd, nullptr);
    EXPECT_EQ(ra.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_EQ(CWnd::FromHandle(top), nullptr);
}

TEST_F(WindowLifecycleTest, ControlsNotifyTheirParent)
{
    std::vector<std::string> log;
    HWND top = CreateWindowExW(0, L"Frame", L"", WS_POPUP, 0, 0, 200, 200, nullptr, 0);
    Recorder parent("top", log);
    ASSERT_TRUE(parent.SubclassWindow(top));
    HWND edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 50, 20, top, 10);
    HWND manual =
        CreateWindowExW(0, L"Button", L"manual", WS_CHILD | WS_VISIBLE | BS_CHECKBOX, 0, 0, 50, 20, top, 11);
    HWND r1 = CreateWindowExW(0, L"Button", L"1", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, 0, 0,
                              50, 20, top, 12);
    HWND r2 = CreateWindowExW(0, L"Button", L"2", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 0, 50, 20,
                              top, 13);
    HWND other = CreateWindowExW(0, L"Button", L"3", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, 0,
                                 0, 50, 20, top, 14);

    // Typing and setting the text both report EN_CHANGE.
    static_cast<QLineEdit*>(WidgetFromHandle(edit))->insert(QStringLiteral("x"));
    SetWindowTextW(edit, L"yz");
    EXPECT_EQ(log, (std::vector<std::string>{"top command 10/768", "top command 10/768"}));
    log.clear();

    // A plain check box reports the click and leaves its state to its owner.
    SendMessage(manual, BM_CLICK);
    EXPECT_EQ(SendMessage(manual, BM_GETCHECK), static_cast<LRESULT>(BST_UNCHECKED));
    EXPECT_EQ(log, std::vector<std::string>{"top command 11/0"});

    // Automatic radio buttons clear the others of their WS_GROUP group only.
    SendMessage(r1, BM_CLICK);
    SendMessage(other, BM_CLICK);
    SendMessage(r2, BM_CLICK);
    EXPECT_EQ(SendMessage(r1, BM_GETCHECK), static_cast<LRESULT>(BST_UNCHECKED));
    EXPECT_EQ(SendMessage(r2, BM_GETCHECK), static_cast<LRESULT>(BST_CHECKED));
    EXPECT_EQ(SendMessage(other, BM_GETCHECK), static_cast<LRESULT>(BST_CHECKED));
    parent.DestroyWindow();
}

TEST_F(WindowLifecycleTest, AdoptedWidgetsAndDeviceContexts)
{
    HWND top = CreateWindowExW(0, L"Frame", L"", WS_POPUP, 0, 0, 100, 100, nullptr, 0);
    auto* custom = new QWidget();
    HWND adopted = AdoptWidget(custom, top, 77);
    ASSERT_NE(adopted, nullptr);
    EXPECT_EQ(AdoptWidget(custom, top, 78), nullptr); // already a window
    EXPECT_EQ(GetDlgItem(top, 77), adopted);
    EXPECT_EQ(HandleFromWidget(custom), adopted);
    EXPECT_EQ(WidgetFromHandle(adopted)->parentWidget(), WidgetFromHandle(top));

    SetDisplayDpiOverride(144);
    HDC dc = GetDC(adopted);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 144);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 144);
    EXPECT_EQ(ReleaseDC(adopted, dc), 1);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 0); // released
    EXPECT_FALSE(DeleteDC(dc));
    SetDisplayDpiOverride(0);
    HDC display = CreateDCW(L"DISPLAY");
    EXPECT_GT(GetDeviceCaps(display, LOGPIXELSY), 0);
    EXPECT_TRUE(DeleteDC(display));
    EXPECT_EQ(CreateDCW(L"PRINTER"), nullptr);

    // The adopted widget goes with its parent window.
    DestroyWindow(top);
    EXPECT_FALSE(IsWindow(adopted));
    EXPECT_EQ(GetDlgItem(top, 77), nullptr);
}

} // namespace
} // namespace qz::platform::test
