// Inside the window system: the handle table, the per-window records and the
// Qt objects that carry messages, timers and keys to them. Not for use
// outside src/platform/window.
#pragma once

#include "platform/window/Wnd.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QEventLoop;
class QKeyEvent;

namespace qz::platform {

/// What a window is; decides its default behaviour.
enum class WindowKind {
    Plain,
    Dialog,
    PushButton,
    CheckBox,
    RadioButton,
    GroupBox,
    Static,
    Edit,
    MultiLineEdit,
    Progress,
    Host,
};

/// Modal state and metrics of a dialog window.
struct DialogState {
    bool modal = false;
    bool ended = false;
    int result = 0;
    QEventLoop* loop = nullptr;
    int defId = 0; // the template's default push button or SetDefID's; 0: none
    POINT baseUnits{8, 16};
};

class WindowBridge;

/// Everything the window system keeps about one window. Touched only on the
/// window's thread, except `bridge`, which the table hands to posters under
/// its lock.
struct WindowRecord {
    HWND hwnd = nullptr;
    QPointer<QWidget> widget;
    WindowBridge* bridge = nullptr;
    CWnd* wnd = nullptr;             // subclassing object, or null
    std::unique_ptr<CWnd> permanent; // FromHandle's object when none subclasses
    WindowKind kind = WindowKind::Plain;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    std::wstring text;
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::vector<HWND> children; // z-order, top first
    bool ownsWidget = true;
    bool destroying = false;
    std::map<UINT_PTR, int> timers; // our ID -> Qt timer ID
    std::unique_ptr<DialogState> dialog;
    int pbMin = 0;
    int pbMax = 100;
    int pbPos = 0;
    int pbStep = 10;
};

/// The event that carries a posted message.
class MessageEvent : public QEvent {
  public:
    MessageEvent(HWND h, UINT m, WPARAM w, LPARAM l) : QEvent(TypeId()), hwnd(h), msg(m), wParam(w), lParam(l)
    {
    }
    static QEvent::Type TypeId();
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

/// Lives beside each widget: receives posted messages and timers, and
/// filters the widget's keys and close requests for the dialog manager.
class WindowBridge : public QObject {
  public:
    WindowBridge(HWND hwnd, QWidget* widget);
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  protected:
    void timerEvent(QTimerEvent* e) override;

  private:
    HWND hwnd_;
};

/// The process-wide handle table and the dispatch of messages.
class WindowManager {
  public:
    static WindowManager& Instance();
    /// The manager when one was made, else null; never makes one.
    static WindowManager* IfExists();

    /// Enters a window into the table and gives it its handle; the bridge is
    /// created here. The widget must exist.
    HWND Register(std::unique_ptr<WindowRecord> record, HWND parent);

    /// The record of a live window; on the window's thread only.
    WindowRecord* Find(HWND hwnd);

    bool Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    /// The default behaviour of the window's kind.
    LRESULT ClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool Destroy(HWND hwnd);
    /// The handle of a registered widget, or null.
    HWND HandleOf(const QWidget* widget);
    /// The dialog that contains the window (itself if it is one), or null.
    HWND DialogOf(HWND hwnd);
    /// The dialog manager's keys (Enter, Escape, mnemonics); true when the
    /// key is the dialog's. With `perform` false only asks.
    bool DialogKey(HWND dialog, HWND focus, const QKeyEvent& key, bool perform);
    /// Draws `focus` as the default button while it is a push button with
    /// the focus, else the dialog's default button.
    void ShowDefaultFor(HWND dialog, HWND focus);
    void TimerFired(HWND hwnd, int qtTimerId);
    bool OnGuiThread() const;

  private:
    struct Slot {
        std::uint32_t generation = 0;
        std::unique_ptr<WindowRecord> record;
    };
    bool Decode(HWND hwnd, std::size_t& index) const;
    LRESULT DialogProc(WindowRecord& r, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT ControlProc(WindowRecord& r, UINT msg, WPARAM wParam, LPARAM lParam);
    void DestroyTree(HWND hwnd, std::vector<std::unique_ptr<WindowRecord>>& removed);

    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    std::vector<std::size_t> free_;
    std::map<const QWidget*, HWND> byWidget_;
};

/// Creates the widget and record for a control or plain window; the caller
/// registers it.
std::unique_ptr<WindowRecord> MakeControl(const std::wstring& className, WORD classOrdinal,
                                          const std::wstring& text, DWORD style, DWORD exStyle, int id,
                                          QWidget* parentWidget);

/// Connects a control's Qt signals to WM_COMMAND notifications.
void ConnectNotifications(HWND control);

/// Shows a window's text in its widget.
void ShowTextInWidget(WindowRecord& r);

/// The text a static shows for `text`: '&' marks a mnemonic unless
/// SS_NOPREFIX, "&&" shows one '&'.
std::wstring StripMnemonic(const std::wstring& text);

/// The character after the first single '&' of `text`, or 0.
wchar_t MnemonicOf(const std::wstring& text);

} // namespace qz::platform
