// MessageBoxW on QMessageBox.
#include "platform/window/WindowQt.h"
#include "platform/window/WindowSystem.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include <mutex>

namespace qz::platform {

namespace {

std::mutex g_responderMutex;
MessageBoxResponder g_responder;

struct ButtonMap {
    int id;
    QMessageBox::StandardButton button;
};

constexpr ButtonMap kButtons[] = {
    {IDOK, QMessageBox::Ok},         {IDCANCEL, QMessageBox::Cancel}, {IDYES, QMessageBox::Yes},
    {IDNO, QMessageBox::No},         {IDABORT, QMessageBox::Abort},   {IDRETRY, QMessageBox::Retry},
    {IDIGNORE, QMessageBox::Ignore},
};

QMessageBox::StandardButton ButtonFor(int id)
{
    for (const ButtonMap& b : kButtons) {
        if (b.id == id) {
            return b.button;
        }
    }
    return QMessageBox::NoButton;
}

int IdFor(QMessageBox::StandardButton button)
{
    for (const ButtonMap& b : kButtons) {
        if (b.button == button) {
            return b.id;
        }
    }
    return IDCANCEL;
}

} // namespace

void SetMessageBoxResponder(MessageBoxResponder responder)
{
    std::lock_guard<std::mutex> lock(g_responderMutex);
    g_responder = std::move(responder);
}

int MessageBoxW(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    if (!EnsureGuiApplication()) {
        return 0;
    }
    QWidget* parent = WidgetFromHandle(owner);
    QMessageBox box(parent ? parent->window() : nullptr);
    box.setWindowTitle(QString::fromStdWString(caption));
    box.setText(QString::fromStdWString(text));
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONASTERISK:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    std::vector<int> ids;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        ids = {IDOK, IDCANCEL};
        break;
    case MB_ABORTRETRYIGNORE:
        ids = {IDABORT, IDRETRY, IDIGNORE};
        break;
    case MB_YESNOCANCEL:
        ids = {IDYES, IDNO, IDCANCEL};
        break;
    case MB_YESNO:
        ids = {IDYES, IDNO};
        break;
    case MB_RETRYCANCEL:
        ids = {IDRETRY, IDCANCEL};
        break;
    default:
        ids = {IDOK};
        break;
    }
    QMessageBox::StandardButtons buttons;
    for (int id : ids) {
        buttons |= ButtonFor(id);
    }
    box.setStandardButtons(buttons);
    const std::size_t defIndex = (type & MB_DEFMASK) >> 8;
    box.setDefaultButton(ButtonFor(ids[defIndex < ids.size() ? defIndex : 0]));
    if (type & MB_TOPMOST) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }

    MessageBoxResponder responder;
    {
        std::lock_guard<std::mutex> lock(g_responderMutex);
        responder = g_responder;
    }
    if (responder) {
        // Answered like a user would: by clicking the button once it shows.
        QTimer::singleShot(0, &box, [&box, responder, text, caption, type] {
            QAbstractButton* b = box.button(ButtonFor(responder(text, caption, type)));
            if (b) {
                b->click();
            } else {
                box.reject();
            }
        });
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    return clicked ? IdFor(box.standardButton(clicked)) : IDCANCEL;
}

} // namespace qz::platform
