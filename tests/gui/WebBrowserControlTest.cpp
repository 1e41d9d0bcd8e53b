// The embedded browser shows local files and leaves links to the user's
// browser.
#include "gui/WebBrowserControl.h"
#include "osal/QzPath.h"
#include "osal/QzURL.h"
#include "platform/FileNames.h"
#include "platform/window/WindowQt.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

#include <chrono>
#include <fstream>

using namespace qz::platform;

namespace {

const qz::test::TempFolder& TestFolder()
{
    static const qz::test::TempFolder folder("qz_browser_test");
    return folder;
}

std::wstring WriteFile(const std::string& name, const std::string& bytes)
{
    const std::filesystem::path path = TestFolder() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    // The name's bytes as the library reads them, whatever the C locale says.
    return WideFileName(path.string());
}

std::wstring FileUrl(const std::wstring& path)
{
    return QzOSAL::QzURL(QzOSAL::QzPath(path)).GetText();
}

// Clicks, as the mouse does, on the first character of `text` in the view.
void ClickOnText(QTextBrowser* browser, const QString& text)
{
    const int at = browser->toPlainText().indexOf(text);
    ASSERT_GE(at, 0) << text.toStdString();
    QTextCursor cursor(browser->document());
    cursor.setPosition(at + 1);
    const QPoint point = browser->cursorRect(cursor).center();
    QWidget* viewport = browser->viewport();
    const QPointF global = viewport->mapToGlobal(QPointF(point));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(point), global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(point), global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &release);
}

class WebBrowserControlTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureGuiApplication());
        parentWindow = CreateWindowExW(0, L"", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 500, 400, nullptr, 0);
        ASSERT_NE(parentWindow, nullptr);
        ASSERT_TRUE(parent.SubclassWindow(parentWindow));
        ASSERT_TRUE(browser.Create(L"ignored", L"", WS_CHILD | WS_TABSTOP, RECT{10, 10, 410, 310}, &parent, 1020));
        view = qobject_cast<QTextBrowser*>(WidgetFromHandle(browser.GetSafeHwnd()));
        ASSERT_NE(view, nullptr);
    }
    void TearDown() override
    {
        browser.DestroyWindow();
        parent.UnsubclassWindow();
        DestroyWindow(parentWindow);
    }

    HWND parentWindow = nullptr;
    CWnd parent;
    CQZ_WebBrowserControl browser;
    QTextBrowser* view = nullptr;
};

TEST_F(WebBrowserControlTest, HtmlIsRenderedAndOtherFilesShownAsText)
{
    // Made hidden: the update dialog shows it when there is something to see.
    EXPECT_FALSE(IsWindowVisible(browser.GetSafeHwnd()));
    EXPECT_FALSE(browser.Create(nullptr, L"", WS_CHILD, RECT{0, 0, 10, 10}, &parent, 1021));
    const std::wstring page = WriteFile(
        "description.html",
        "<html><head><meta charset=\"utf-8\"></head><body><h1>Version 2.0</h1>"
        "<p>Fixes <b>crashes</b> \xC3\xA4</p></body></html>");
    ASSERT_TRUE(browser.Navigate(FileUrl(page)));
    EXPECT_EQ(browser.get_LocationURL(), FileUrl(page));
    EXPECT_TRUE(view->toPlainText().contains(QStringLiteral("Version 2.0")));
    EXPECT_TRUE(view->toPlainText().contains(QString::fromUtf8("Fixes crashes \xC3\xA4")));
    EXPECT_FALSE(view->toPlainText().contains(QStringLiteral("<h1>")));

    // Markup in a text file is text; blanks and umlauts survive the URL,
    // and a bare path is taken as well.
    const std::wstring notes = WriteFile("release notes \xC3\xA4.txt", "Line <b>one</b>\nLine two\n");
    ASSERT_TRUE(browser.Navigate(FileUrl(notes)));
    EXPECT_EQ(view->toPlainText(), QStringLiteral("Line <b>one</b>\nLine two\n"));
    browser.Navigate(L"about:blank");
    ASSERT_TRUE(browser.Navigate(notes));
    EXPECT_EQ(view->toPlainText(), QStringLiteral("Line <b>one</b>\nLine two\n"));

    // Without an extension only a page that says it is HTML is rendered.
    ASSERT_TRUE(browser.Navigate(FileUrl(WriteFile("page", "\xEF\xBB\xBF <!DOCTYPE html><p>A <i>page</i></p>"))));
    EXPECT_EQ(view->toPlainText(), QStringLiteral("A page"));
    ASSERT_TRUE(browser.Navigate(FileUrl(WriteFile("README", "<b>bold?</b>"))));
    EXPECT_EQ(view->toPlainText(), QStringLiteral("<b>bold?</b>"));

    // Nothing is fetched from the network and a missing file shows nothing.
    EXPECT_FALSE(browser.Navigate(L"https://127.0.0.1:1/description.html"));
    EXPECT_TRUE(view->toPlainText().isEmpty());
    EXPECT_FALSE(browser.Navigate(FileUrl(TestFolder().wstring() + L"/missing.html")));
    EXPECT_TRUE(browser.get_LocationURL().empty());
}

TEST_F(WebBrowserControlTest, HugeFileIsCutAndLoadsQuickly)
{
    std::string big(CQZ_WebBrowserControl::kMaxDocumentBytes + 100000, 'x');
    for (std::size_t i = 80; i < big.size(); i += 81) {
        big[i] = '\n';
    }
    const std::wstring file = WriteFile("big.log", big);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(browser.Navigate(FileUrl(file)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    const QString shown = view->toPlainText();
    EXPECT_LE(static_cast<std::size_t>(shown.size()), CQZ_WebBrowserControl::kMaxDocumentBytes + 10);
    EXPECT_GT(static_cast<std::size_t>(shown.size()), CQZ_WebBrowserControl::kMaxDocumentBytes - 10);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("[…]")));
}

TEST_F(WebBrowserControlTest, LinksOpenInTheUsersBrowserAndTheViewStays)
{
    // Stands in for the user's browser: records the URL it is asked to open.
    QTextBrowser usersBrowser;
    usersBrowser.setOpenLinks(false);
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &usersBrowser, "setSource");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &usersBrowser, "setSource");

    WriteFile("other.html", "<p>other page</p>");
    const std::wstring page =
        WriteFile("links.html", "<html><body><p>Before</p><p><a href=\"https://example.invalid/notes\">"
                                "Release notes</a></p><p><a href=\"other.html\">Other page</a></p></body></html>");
    // The update dialog shows the browser before it navigates.
    ShowWindow(browser.GetSafeHwnd(), SW_SHOW);
    ASSERT_TRUE(browser.Navigate(FileUrl(page)));
    const QString before = view->toHtml();

    ClickOnText(view, QStringLiteral("Release notes"));
    EXPECT_EQ(usersBrowser.source(), QUrl(QStringLiteral("https://example.invalid/notes")));
    ClickOnText(view, QStringLiteral("Other page"));
    EXPECT_EQ(usersBrowser.source(), QUrl::fromLocalFile(QString::fromStdWString(TestFolder().wstring()) +
                                                         QStringLiteral("/other.html")));

    EXPECT_EQ(view->toHtml(), before);
    EXPECT_EQ(browser.get_LocationURL(), FileUrl(page));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

} // namespace
