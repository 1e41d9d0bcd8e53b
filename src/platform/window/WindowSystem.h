// The window system in place of user32: windows behind opaque handles,
// messages posted from any thread and dispatched on the window's thread,
// timers, geometry, texts, dialog items and message boxes. Windows are Qt
// widgets; this header stays free of Qt so that code above the platform
// layer can use it.
//
// Threads: every window lives on the thread that runs the QApplication (the
// host's thread). PostMessage may be called from any thread; every other
// call belongs on the window's thread. Calls on a stale or null handle do
// nothing and report failure.
#pragma once

#include "platform/WinUser.h"

#include <functional>
#include <string>
#include <vector>

namespace qz::platform {

/// Makes sure a QApplication exists, creating one on the calling thread when
/// the host runs none; false when no GUI can be had (a plain QCoreApplication
/// runs, or no display). Called before a window is shown, never at load time.
bool EnsureGuiApplication();

/// True while the handle names a live window.
bool IsWindow(HWND hwnd);

/// Queues a message for the window's thread and returns at once; safe from
/// any thread. Messages from one thread arrive in the order posted. False,
/// and nothing queued, when the window no longer exists; a message still
/// queued when its window is destroyed is dropped.
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

/// Dispatches a message to the window at once and returns the handler's
/// result. On the window's thread only; from another thread, or for a stale
/// handle, it does nothing and returns 0.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

/// Dispatches every message and event waiting for the calling thread's
/// windows, as a PeekMessage/DispatchMessage loop does; lets a long task on
/// the window's thread keep its dialog painted and its buttons working. Does
/// nothing on other threads.
void DispatchPendingMessages();

/// Destroys a window and its children (WM_DESTROY, then WM_NCDESTROY).
bool DestroyWindow(HWND hwnd);

/// Creates a control or plain window of a registered class ("Button",
/// "Static", "Edit", "msctls_progress32"; any other name gives a plain
/// window) as a child of `parent`, or a top-level window without one.
HWND CreateWindowExW(DWORD exStyle, const std::wstring& className, const std::wstring& text, DWORD style,
                     int x, int y, int cx, int cy, HWND parent, int id);

// Visibility, focus and z-order.
/// Shows or hides; returns whether the window was visible before.
bool ShowWindow(HWND hwnd, int cmdShow);
bool IsWindowVisible(HWND hwnd);
/// Enables or disables; returns true when the window was disabled before.
bool EnableWindow(HWND hwnd, bool enable);
bool IsWindowEnabled(HWND hwnd);
bool SetForegroundWindow(HWND hwnd);
bool BringWindowToTop(HWND hwnd);
/// Gives the keyboard focus; returns the window that had it.
HWND SetFocus(HWND hwnd);
/// The window with the keyboard focus in the active window, or null.
HWND GetFocus();

// Geometry. Window rectangles are in screen coordinates; client rectangles
// start at (0, 0).
/// Moves, sizes and restacks as SetWindowPos does, with the SWP_* flags.
bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
bool MoveWindow(HWND hwnd, int x, int y, int cx, int cy, bool repaint = true);
bool GetWindowRect(HWND hwnd, RECT* rect);
bool GetClientRect(HWND hwnd, RECT* rect);
bool ScreenToClient(HWND hwnd, POINT* point);
bool ClientToScreen(HWND hwnd, POINT* point);
/// Converts a rectangle between the coordinate spaces of two windows (null
/// for the screen), as MapWindowPoints does for two points.
bool MapWindowRect(HWND from, HWND to, RECT* rect);

// Text.
bool SetWindowTextW(HWND hwnd, const std::wstring& text);
std::wstring GetWindowTextW(HWND hwnd);

// Relations and dialog items.
HWND GetParent(HWND hwnd);
/// GW_CHILD, GW_HWNDNEXT, GW_HWNDPREV, GW_HWNDFIRST, GW_HWNDLAST, GW_OWNER.
HWND GetWindow(HWND hwnd, UINT relation);
/// The direct children in z-order (the first template item first).
std::vector<HWND> GetChildWindows(HWND hwnd);
/// Calls `fn` for every descendant, depth first, until it returns false.
bool EnumChildWindows(HWND hwnd, const std::function<bool(HWND)>& fn);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND hwnd);
bool SetDlgItemTextW(HWND dialog, int id, const std::wstring& text);
std::wstring GetDlgItemTextW(HWND dialog, int id);
bool CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
/// GWL_STYLE (WS_VISIBLE and WS_DISABLED as they are now), GWL_EXSTYLE, GWL_ID.
long GetWindowLongW(HWND hwnd, int index);
/// Stores a new style or extended style; returns the previous value.
long SetWindowLongW(HWND hwnd, int index, long value);
/// Repaints soon.
bool InvalidateRect(HWND hwnd, const RECT* rect, bool erase);

// Dialogs.
/// Ends a dialog started by DoModal with `result`; a second call keeps the
/// first result. The window is hidden at once and destroyed by DoModal.
bool EndDialog(HWND dialog, int result);
/// The ID of the button Enter presses while the focus is on no push button:
/// the one set with SetDefID, else the first BS_DEFPUSHBUTTON the dialog was
/// made with, else IDOK. A push button with the focus is drawn as the
/// default (BS_DEFPUSHBUTTON) meanwhile, and Enter presses it.
int GetDefID(HWND dialog);
/// Makes `id` the default button (and the others ordinary push buttons).
bool SetDefID(HWND dialog, int id);
/// Dialog base units of the dialog's font in pixels (x: average width of
/// A-Z a-z, y: text height), as GetDialogBaseUnits of the dialog manager.
POINT GetDialogBaseUnits(HWND dialog);
/// Converts a rectangle from dialog units to pixels for this dialog.
bool MapDialogRect(HWND dialog, RECT* rect);
/// The height in pixels that the window's text needs, in the window's font,
/// broken into lines of at most `width` pixels ('&' marks are not drawn);
/// 0 for an empty text or a stale handle.
int GetWrappedTextHeight(HWND hwnd, int width);

// Timers.
/// Starts or restarts timer `id`; WM_TIMER with wParam = id arrives every
/// `elapseMs` until KillTimer. Returns id, or 0 for a stale handle.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs);
bool KillTimer(HWND hwnd, UINT_PTR id);

// Device contexts, only for their capabilities.
/// A context for the display (name "DISPLAY"); null when no GUI can be had.
HDC CreateDCW(const wchar_t* driver);
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
bool DeleteDC(HDC dc);
/// LOGPIXELSX / LOGPIXELSY: the DPI of the window's dialog when it was
/// built for one (CDialog::SetLayoutDpi), else the dots per inch of the
/// screen the window is on (or the primary screen), unless an override is
/// set.
int GetDeviceCaps(HDC dc, int index);
/// Makes every DPI query answer `dpi` (0 ends the override): tests and the
/// renderer build dialogs at chosen resolutions this way.
void SetDisplayDpiOverride(int dpi);

// Message boxes.
/// A modal message box with MB_OK, MB_OKCANCEL, MB_YESNO, MB_YESNOCANCEL,
/// MB_RETRYCANCEL or MB_ABORTRETRYIGNORE and an MB_ICON*; returns IDOK,
/// IDYES, IDNO, ... (IDCANCEL when closed without an answer).
int MessageBoxW(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
/// While set, every message box is shown and then answered with the ID the
/// responder returns, as a user's click would answer it. Empty to clear.
using MessageBoxResponder =
    std::function<int(const std::wstring& text, const std::wstring& caption, UINT type)>;
void SetMessageBoxResponder(MessageBoxResponder responder);

/// A handle for a window the host owns (a QWidget*, passed as void* so that
/// code without Qt can hand it on). The same widget gives the same handle;
/// the handle goes stale when the widget is destroyed. Null gives null.
HWND HandleFromHostWindow(void* qwidget);

} // namespace qz::platform
