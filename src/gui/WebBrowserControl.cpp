#include "gui/WebBrowserControl.h"

#include "platform/window/WindowQt.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVariant>

using namespace qz::platform;

namespace {

const char kSilentProperty[] = "qzSilent";
const char kLocationProperty[] = "qzLocation";

QTextBrowser* BrowserOf(HWND hwnd)
{
    return qobject_cast<QTextBrowser*>(WidgetFromHandle(hwnd));
}

// The description page is an .html file; any other extension is text, even
// when it holds markup. Only a file without extension is judged by its start.
bool LooksLikeHtml(const QString& fileName, const QByteArray& head)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm") || suffix == QLatin1String("xhtml")) {
        return true;
    }
    if (!suffix.isEmpty()) {
        return false;
    }
    QByteArray start = head.left(512).trimmed().toLower();
    if (start.startsWith("\xef\xbb\xbf")) {
        start = start.mid(3).trimmed();
    }
    return start.startsWith("<!doctype html") || start.startsWith("<html");
}

// Control characters other than line breaks and tabs would be drawn as
// boxes or cut the text short; a binary file is shown with them replaced.
QString Printable(QString text)
{
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\n' && u != u'\r' && u != u'\t') {
            c = QChar(0xFFFD);
        }
    }
    return text;
}

} // namespace

CQZ_WebBrowserControl::CQZ_WebBrowserControl() = default;

CQZ_WebBrowserControl::~CQZ_WebBrowserControl() = default;

bool CQZ_WebBrowserControl::Create(const wchar_t* /*className*/, const wchar_t* windowName, DWORD style,
                                   const RECT& rect, CWnd* parent, UINT id)
{
    if (m_hWnd || !parent || !parent->GetSafeHwnd()) {
        return false;
    }
    auto* browser = new QTextBrowser;
    browser->setReadOnly(true);
    // Links leave the dialog: the user's browser opens them and the view
    // keeps the description.
    browser->setOpenLinks(false);
    browser->setOpenExternalLinks(false);
    QObject::connect(browser, &QTextBrowser::anchorClicked, browser, [browser](const QUrl& link) {
        const QUrl base = browser->document()->baseUrl();
        const QUrl target = link.isRelative() && base.isValid() ? base.resolved(link) : link;
        if (target.isValid() && !target.scheme().isEmpty()) {
            QDesktopServices::openUrl(target);
        }
    });

    HWND hwnd = AdoptWidget(browser, parent->GetSafeHwnd(), static_cast<int>(id), style & ~WS_VISIBLE);
    if (!hwnd) {
        delete browser;
        return false;
    }
    if (!SubclassWindow(hwnd)) {
        qz::platform::DestroyWindow(hwnd);
        return false;
    }
    m_bOwnsWindow = true;
    qz::platform::MoveWindow(hwnd, rect.left, rect.top, rect.Width(), rect.Height(), false);
    if (windowName) {
        qz::platform::SetWindowTextW(hwnd, windowName);
    }
    qz::platform::ShowWindow(hwnd, (style & WS_VISIBLE) ? SW_SHOW : SW_HIDE);
    return true;
}

void CQZ_WebBrowserControl::put_Silent(bool silent)
{
    if (QTextBrowser* browser = BrowserOf(m_hWnd)) {
        browser->setProperty(kSilentProperty, silent);
    }
}

bool CQZ_WebBrowserControl::get_Silent() const
{
    QTextBrowser* browser = BrowserOf(m_hWnd);
    return browser && browser->property(kSilentProperty).toBool();
}

bool CQZ_WebBrowserControl::Navigate(const std::wstring& url)
{
    QTextBrowser* browser = BrowserOf(m_hWnd);
    if (!browser) {
        return false;
    }
    browser->clear();
    browser->document()->setBaseUrl(QUrl());
    browser->setProperty(kLocationProperty, QString());

    QUrl location(QString::fromStdWString(url), QUrl::TolerantMode);
    // A bare absolute path is taken as the file it names.
    if (location.scheme().isEmpty() && QFileInfo(location.path()).isAbsolute()) {
        location = QUrl::fromLocalFile(QString::fromStdWString(url));
    }
    // Only local files are shown; nothing is fetched from the network.
    if (!location.isLocalFile()) {
        return false;
    }
    QFile file(location.toLocalFile());
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray data = file.read(static_cast<qint64>(kMaxDocumentBytes));
    const bool truncated = !file.atEnd();
    file.close();

    browser->setProperty(kLocationProperty, location.toString());
    if (LooksLikeHtml(file.fileName(), data)) {
        // The page states its character set; UTF-8 when it does not.
        QStringDecoder decoder = QStringDecoder::decoderForHtml(data);
        if (!decoder.isValid()) {
            decoder = QStringDecoder(QStringDecoder::Utf8);
        }
        QString html = decoder(data);
        if (truncated) {
            html += QStringLiteral("<p>[…]</p>");
        }
        browser->document()->setBaseUrl(location);
        browser->setHtml(html);
    } else {
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString text = Printable(decoder(data));
        if (truncated) {
            text += QStringLiteral("\n[…]");
        }
        browser->setPlainText(text);
    }
    return true;
}

std::wstring CQZ_WebBrowserControl::get_LocationURL() const
{
    QTextBrowser* browser = BrowserOf(m_hWnd);
    return browser ? browser->property(kLocationProperty).toString().toStdWString() : std::wstring();
}
