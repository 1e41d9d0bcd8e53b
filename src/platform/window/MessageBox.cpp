// MessageBoxW on QMessageBox.
#include "platform/window/WindowQt.h"
#include "platform/window/WindowSystem.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
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

// Swallows Escape and the close box of a box that has no answer for them.
class KeepOpen : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() == Qt::Key_Escape && (k->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                e->accept();
                return true;
            }
        }
        if (e->type() == QEvent::Close && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
            e->ignore();
            return true;
        }
        return QObject::eventFilter(watched, e);
    }
};

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
    KeepOpen keepOpen; // outlives the box it filters
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
    // Enter presses the button with the focus, the default one to begin with.
    for (QAbstractButton* b : box.buttons()) {
        if (auto* push = qobject_cast<QPushButton*>(b)) {
            push->setAutoDefault(true);
        }
    }
    if (QPushButton* def = box.defaultButton()) {
        def->setFocus();
    }
    // Escape (and the close box) answer Cancel, or OK in a box with OK
    // alone; other boxes must be answered with a button.
    const bool hasCancel = std::find(ids.begin(), ids.end(), IDCANCEL) != ids.end();
    const bool okOnly = ids.size() == 1 && ids.front() == IDOK;
    if (hasCancel || okOnly) {
        box.setEscapeButton(ButtonFor(hasCancel ? IDCANCEL : IDOK));
    } else {
        box.setWindowFlag(Qt::WindowCloseButtonHint, false);
        box.installEventFilter(&keepOpen);
        for (QWidget* child : box.findChildren<QWidget*>()) {
            child->installEventFilter(&keepOpen);
        }
    }
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
