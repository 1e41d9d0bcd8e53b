// The window system seen from Qt: for the skinned controls (src/gui), which
// paint with Qt, and for tests that drive widgets. Other modules use
// WindowSystem.h only.
#pragma once

#include "platform/WinUser.h"

class QWidget;

namespace qz::platform {

/// The widget behind a handle, or null for a stale handle.
QWidget* WidgetFromHandle(HWND hwnd);

/// The handle of a widget the window system knows; with `attachHost` a
/// widget it does not know (a host's window) gets a handle that does not
/// own it.
HWND HandleFromWidget(QWidget* widget, bool attachHost = false);

/// Makes a widget of the caller's a window with a handle (a child of
/// `parent` when given, with the control ID `id`); the window system owns
/// it from then on and deletes it with the window. Null when the widget
/// already has a handle or the parent is stale.
HWND AdoptWidget(QWidget* widget, HWND parent, int id, DWORD style = WS_VISIBLE, DWORD exStyle = 0);

/// The vertical DPI a widget is drawn at: the DPI its dialog was built for
/// (CDialog::SetLayoutDpi), else its screen's (the primary screen for null)
/// or the override of SetDisplayDpiOverride.
int ScreenDpiFor(const QWidget* widget);
/// Marks `window` and everything in it as drawn at `dpi` (0 removes it).
void SetWidgetDpi(QWidget* window, int dpi);

} // namespace qz::platform
