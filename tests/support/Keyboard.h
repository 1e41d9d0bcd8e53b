// Keys as the keyboard gives them: to the widget with the keyboard focus
// (that of the active modal window when the application has none yet),
// through Qt's delivery, so that every filter and shortcut on the way sees
// them as it sees a real key.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace qz::test {

inline QWidget* KeyboardFocus()
{
    if (QWidget* focus = QApplication::focusWidget())
        return focus;
    QWidget* window = QApplication::activeModalWidget();
    if (!window)
        window = QApplication::activeWindow();
    if (!window)
        return nullptr;
    return window->focusWidget() ? window->focusWidget() : window;
}

/// Presses and releases `key`; false when no window has the keyboard.
inline bool TypeKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    QWidget* target = KeyboardFocus();
    if (!target)
        return false;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    if (QWidget* now = KeyboardFocus()) {
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QCoreApplication::sendEvent(now, &release);
    }
    return true;
}

/// Alt with a letter of a label's mnemonic.
inline bool TypeAlt(char16_t letter)
{
    const QChar c(letter);
    return TypeKey(static_cast<int>(c.toUpper().unicode()), Qt::AltModifier, QString(c));
}

} // namespace qz::test
