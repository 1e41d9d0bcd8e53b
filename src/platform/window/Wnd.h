// CWnd: a C++ object bound to a window handle, whose messages go through a
// message map before the window's default behaviour. Message maps are
// written as static tables:
//
//   class CMyDlg : public CDialog {
//       ...
//       void OnApply();
//       LRESULT OnWorkerDone(WPARAM wParam, LPARAM lParam);
//       DECLARE_MESSAGE_MAP()
//   };
//
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_BN_CLICKED(IDC_APPLY, OnApply)
//       ON_MESSAGE(WM_USER + 1, OnWorkerDone)
//       ON_WM_TIMER()
//   END_MESSAGE_MAP()
//
// Handlers are named without class qualification and are called as virtual
// member functions. The most derived map is searched first; the first entry
// that matches handles the message.
#pragma once

#include "platform/window/WindowSystem.h"

#include <string>

namespace qz::platform {

class CWnd;

/// A message-map handler: the object, wParam and lParam in, result out.
using MessageHandler = LRESULT (*)(CWnd* self, WPARAM wParam, LPARAM lParam);

/// One entry of a message map. For WM_COMMAND the entry matches the control
/// IDs idFirst..idLast and the notification code; other messages match by
/// number alone.
struct MessageMapEntry {
    UINT message;
    UINT code;
    UINT idFirst;
    UINT idLast;
    MessageHandler handler;
};

/// A class's message map and the way to its base class's map.
struct MessageMap {
    const MessageMap* (*base)();
    const MessageMapEntry* entries;
};

/// A window object. The window itself is owned by the window system; the
/// object is owned by whoever created it (dialogs live on the caller's stack).
class CWnd {
  public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    /// The window's handle, or null when no window is attached.
    HWND GetSafeHwnd() const { return m_hWnd; }

    /// The object that handles the window's messages: the subclassing
    /// object, or a permanent plain CWnd for windows without one. Null for a
    /// stale handle.
    static CWnd* FromHandle(HWND hwnd);

    /// Routes the window's messages through this object first; its default
    /// behaviour stays. False when the handle is stale or already bound to an
    /// object of the caller's.
    bool SubclassWindow(HWND hwnd);
    /// SubclassWindow for the dialog item `id` of `parent`.
    bool SubclassDlgItem(UINT id, CWnd* parent);
    /// Ends the routing; returns the handle.
    HWND UnsubclassWindow();

    /// Destroys the window (and its children).
    bool DestroyWindow();

    // Forwarders to the window system for this window.
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void SetWindowText(const std::wstring& text);
    std::wstring GetWindowText() const;
    void GetWindowText(std::wstring& text) const { text = GetWindowText(); }
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;
    bool ShowWindow(int cmdShow);
    bool IsWindowVisible() const;
    bool EnableWindow(bool enable = true);
    bool IsWindowEnabled() const;
    bool SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    void MoveWindow(int x, int y, int cx, int cy, bool repaint = true);
    void GetWindowRect(RECT* rect) const;
    void GetClientRect(RECT* rect) const;
    void ScreenToClient(POINT* point) const;
    void ScreenToClient(RECT* rect) const;
    void ClientToScreen(POINT* point) const;
    void ClientToScreen(RECT* rect) const;
    bool SetForegroundWindow();
    void BringWindowToTop();
    CWnd* SetFocus();
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;
    void SetDlgItemText(int id, const std::wstring& text);
    std::wstring GetDlgItemText(int id) const;
    void Invalidate(bool erase = true);
    long GetStyle() const { return GetWindowLongW(m_hWnd, GWL_STYLE); }

    /// The window procedure: the message map, then DefWindowProc.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    /// The window's handle; null when none is attached.
    HWND m_hWnd = nullptr;

    /// Insert-after values for SetWindowPos: top, bottom, topmost, not topmost.
    static const CWnd wndTop;
    static const CWnd wndBottom;
    static const CWnd wndTopMost;
    static const CWnd wndNoTopMost;

  protected:
    /// Searches the message maps; true when an entry handled the message.
    virtual bool OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    /// The default behaviour of the window's class.
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    /// Called after the window is gone (WM_NCDESTROY); m_hWnd is null by then.
    virtual void PostNcDestroy() {}
    /// True when this object created its window, which then goes with it.
    bool m_bOwnsWindow = false;

  public:
    /// The map of the object's most derived class.
    virtual const MessageMap* GetMessageMap() const;
    /// CWnd's own (empty) map, the root of every chain.
    static const MessageMap* GetThisMessageMap();

  private:
    explicit CWnd(HWND special) : m_hWnd(special) {}
    friend class WindowManager;
};

} // namespace qz::platform

// clang-format off

/// In a class derived from CWnd: declares the class's message map.
#define DECLARE_MESSAGE_MAP()                                                 \
public:                                                                       \
    static const ::qz::platform::MessageMap* GetThisMessageMap();            \
    const ::qz::platform::MessageMap* GetMessageMap() const override;        \
                                                                              \
private:

/// Opens the message map of `theClass`, whose unhandled messages go on to
/// the map of `baseClass`.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                \
    const ::qz::platform::MessageMap* theClass::GetMessageMap() const         \
    {                                                                         \
        return GetThisMessageMap();                                           \
    }                                                                         \
    const ::qz::platform::MessageMap* theClass::GetThisMessageMap()           \
    {                                                                         \
        using ThisClass = theClass;                                           \
        using TheBaseClass = baseClass;                                       \
        static const ::qz::platform::MessageMapEntry entries[] = {

/// Closes a message map.
#define END_MESSAGE_MAP()                                                     \
            {0, 0, 0, 0, nullptr}};                                           \
        static const ::qz::platform::MessageMap map{                          \
            &TheBaseClass::GetThisMessageMap, entries};                       \
        return &map;                                                          \
    }

// A capture-less handler with the MessageHandler signature.
#define QZ_MSG_LAMBDA(body)                                                   \
    [](::qz::platform::CWnd* qzSelf, ::qz::platform::WPARAM qzWParam,         \
       ::qz::platform::LPARAM qzLParam) -> ::qz::platform::LRESULT {          \
        (void)qzWParam;                                                       \
        (void)qzLParam;                                                       \
        body                                                                  \
    }

/// LRESULT fn(WPARAM, LPARAM) for message `msg`.
#define ON_MESSAGE(msg, memberFxn)                                            \
    {static_cast<::qz::platform::UINT>(msg), 0, 0, 0,                         \
     QZ_MSG_LAMBDA(return static_cast<ThisClass*>(qzSelf)->memberFxn(qzWParam, qzLParam);)},

/// void fn() for notification `code` from control `id`.
#define ON_CONTROL(code, id, memberFxn)                                       \
    {::qz::platform::WM_COMMAND, static_cast<::qz::platform::UINT>(code),     \
     static_cast<::qz::platform::UINT>(id), static_cast<::qz::platform::UINT>(id), \
     QZ_MSG_LAMBDA(static_cast<ThisClass*>(qzSelf)->memberFxn(); return 0;)},

/// void fn() for command `id` (a button click or a menu command).
#define ON_COMMAND(id, memberFxn) ON_CONTROL(0, id, memberFxn)

/// void fn(UINT id) for commands first..last.
#define ON_COMMAND_RANGE(first, last, memberFxn)                              \
    {::qz::platform::WM_COMMAND, 0, static_cast<::qz::platform::UINT>(first), \
     static_cast<::qz::platform::UINT>(last),                                 \
     QZ_MSG_LAMBDA(static_cast<ThisClass*>(qzSelf)->memberFxn(                \
                       static_cast<::qz::platform::UINT>(::qz::platform::LOWORD(qzWParam))); \
                   return 0;)},

/// void fn() when button `id` is clicked.
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(::qz::platform::BN_CLICKED, id, memberFxn)

/// void fn() when the text of edit `id` changes.
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(::qz::platform::EN_CHANGE, id, memberFxn)

/// void OnTimer(UINT_PTR id).
#define ON_WM_TIMER()                                                         \
    {::qz::platform::WM_TIMER, 0, 0, 0,                                       \
     QZ_MSG_LAMBDA(static_cast<ThisClass*>(qzSelf)->OnTimer(                  \
                       static_cast<::qz::platform::UINT_PTR>(qzWParam));      \
                   return 0;)},

/// void OnClose().
#define ON_WM_CLOSE()                                                         \
    {::qz::platform::WM_CLOSE, 0, 0, 0,                                       \
     QZ_MSG_LAMBDA(static_cast<ThisClass*>(qzSelf)->OnClose(); return 0;)},

/// void OnDestroy().
#define ON_WM_DESTROY()                                                       \
    {::qz::platform::WM_DESTROY, 0, 0, 0,                                     \
     QZ_MSG_LAMBDA(static_cast<ThisClass*>(qzSelf)->OnDestroy(); return 0;)},

// clang-format on
