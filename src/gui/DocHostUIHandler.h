// The browser host's UI policy: which context menu the embedded browser may
// show, which host flags it reports, and the reference counting of the
// handler object. Shaped like the Windows document-host interface so that a
// dialog can derive from it; the few COM types it needs are defined here.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace qz::com {

/// A COM result: negative values are failures.
using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using OLECHAR = wchar_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

/// An interface identifier in the usual 16-byte layout.
struct GUID {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
    bool operator==(const GUID&) const = default;
};
using IID = GUID;

/// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
/// {BD3F23C0-D43E-11CF-893B-00AA00BDCE1A}
inline constexpr IID IID_IDocHostUIHandler = {
    0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};

/// Context-menu IDs the browser passes to ShowContextMenu.
inline constexpr DWORD CONTEXT_MENU_DEFAULT = 0;
inline constexpr DWORD CONTEXT_MENU_TEXTSELECT = 4;

/// Host flags reported through GetHostInfo.
inline constexpr DWORD DOCHOSTUIFLAG_NO3DBORDER = 0x04;
inline constexpr DWORD DOCHOSTUIFLAG_FLAT_SCROLLBAR = 0x80;

/// What the host tells the browser about itself; 32 bytes on a 64-bit
/// system, as the browser expects.
struct DOCHOSTUIINFO {
    ULONG cbSize;
    DWORD dwFlags;
    DWORD dwDoubleClick;
    OLECHAR* pchHostCss;
    OLECHAR* pchHostNS;
};

/// A screen point as the browser passes it.
struct POINT {
    std::int32_t x;
    std::int32_t y;
};

/// Opaque browser-side objects the handler only passes on or answers null.
struct MSG;
struct RECT;
struct IDispatch;
struct IOleInPlaceActiveObject;
struct IOleCommandTarget;
struct IOleInPlaceFrame;
struct IOleInPlaceUIWindow;
struct IDropTarget;
struct IDataObject;

/// The root of reference-counted interfaces.
class IUnknown {
  public:
    /// S_OK with the interface for a known `iid` (counted), else
    /// E_NOINTERFACE and null.
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    /// Both answer the new reference count.
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    virtual ~IUnknown() = default;
};

/// The browser asks its host through this interface.
class IDocHostUIHandler : public IUnknown {
  public:
    /// S_OK: the host dealt with the menu; S_FALSE: the browser shows its own.
    virtual HRESULT ShowContextMenu(DWORD menuId, POINT* point, IUnknown* commandTarget, IDispatch* object) = 0;
    /// Fills size, flags and double-click behaviour of `info`.
    virtual HRESULT GetHostInfo(DOCHOSTUIINFO* info) = 0;
    // Notifications and questions of the browser's frame, in the order of
    // the published interface.
    virtual HRESULT ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                           IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) = 0;
    virtual HRESULT HideUI() = 0;
    virtual HRESULT UpdateUI() = 0;
    virtual HRESULT EnableModeless(int enable) = 0;
    virtual HRESULT OnDocWindowActivate(int activate) = 0;
    virtual HRESULT OnFrameWindowActivate(int activate) = 0;
    virtual HRESULT ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, int frameWindow) = 0;
    virtual HRESULT TranslateAccelerator(MSG* message, const GUID* commandGroup, DWORD commandId) = 0;
    virtual HRESULT GetOptionKeyPath(OLECHAR** key, DWORD reserved) = 0;
    virtual HRESULT GetDropTarget(IDropTarget* dropTarget, IDropTarget** replacement) = 0;
    virtual HRESULT GetExternal(IDispatch** external) = 0;
    virtual HRESULT TranslateUrl(DWORD translate, OLECHAR* url, OLECHAR** translated) = 0;
    virtual HRESULT FilterDataObject(IDataObject* object, IDataObject** filtered) = 0;
};

/// Frees a text the handler handed out (GetOptionKeyPath).
void TaskMemFree(void* memory);

} // namespace qz::com

class CQZDocHostUIHandler : public qz::com::IDocHostUIHandler {
  public:
    /// Context-menu policies of ShowContextMenu.
    enum ContextMenuMode : std::uint32_t {
        kNoMenu = 0,
        kBrowserMenu = 1,
        kSelectionMenuOnly = 2,
        kNotifyThenBrowserMenu = 3,
    };

    /// Count 0, mode kSelectionMenuOnly, no 3-D border and flat scroll bars.
    CQZDocHostUIHandler();
    ~CQZDocHostUIHandler() override;

    /// Answers IUnknown and IDocHostUIHandler.
    qz::com::HRESULT QueryInterface(const qz::com::IID& iid, void** object) override;
    /// Atomic, so the browser may count from another thread.
    qz::com::ULONG AddRef() override;
    /// Deletes the object when the count reaches 0: an object that is
    /// released must have been made with new.
    qz::com::ULONG Release() override;

    /// Follows the context-menu mode (kSelectionMenuOnly at first).
    qz::com::HRESULT ShowContextMenu(qz::com::DWORD menuId, qz::com::POINT* point, qz::com::IUnknown* commandTarget,
                                     qz::com::IDispatch* object) override;
    /// Reports the host flags and the default double-click behaviour; the
    /// style-sheet and namespace fields are left as they are.
    qz::com::HRESULT GetHostInfo(qz::com::DOCHOSTUIINFO* info) override;
    // The UI stays the browser's: ShowUI, HideUI and UpdateUI succeed, the
    // frame notifications are not implemented, and nothing is replaced
    // (drop target, URL, data object).
    qz::com::HRESULT ShowUI(qz::com::DWORD id, qz::com::IOleInPlaceActiveObject* activeObject,
                            qz::com::IOleCommandTarget* commandTarget, qz::com::IOleInPlaceFrame* frame,
                            qz::com::IOleInPlaceUIWindow* document) override;
    qz::com::HRESULT HideUI() override;
    qz::com::HRESULT UpdateUI() override;
    qz::com::HRESULT EnableModeless(int enable) override;
    qz::com::HRESULT OnDocWindowActivate(int activate) override;
    qz::com::HRESULT OnFrameWindowActivate(int activate) override;
    qz::com::HRESULT ResizeBorder(const qz::com::RECT* border, qz::com::IOleInPlaceUIWindow* window,
                                  int frameWindow) override;
    qz::com::HRESULT TranslateAccelerator(qz::com::MSG* message, const qz::com::GUID* commandGroup,
                                          qz::com::DWORD commandId) override;
    /// E_NOTIMPL with a null key while the handler has no option-key path.
    qz::com::HRESULT GetOptionKeyPath(qz::com::OLECHAR** key, qz::com::DWORD reserved) override;
    qz::com::HRESULT GetDropTarget(qz::com::IDropTarget* dropTarget, qz::com::IDropTarget** replacement) override;
    qz::com::HRESULT GetExternal(qz::com::IDispatch** external) override;
    qz::com::HRESULT TranslateUrl(qz::com::DWORD translate, qz::com::OLECHAR* url,
                                  qz::com::OLECHAR** translated) override;
    qz::com::HRESULT FilterDataObject(qz::com::IDataObject* object, qz::com::IDataObject** filtered) override;

    /// The DOCHOSTUIFLAG bits GetHostInfo reports.
    qz::com::DWORD GetHostFlags() const { return hostFlags_; }
    void SetHostFlags(qz::com::DWORD flags) { hostFlags_ = flags; }

  protected:
    /// Told before the browser's own menu is shown (modes 2 and 3); the
    /// result and the flag are ignored.
    virtual qz::com::HRESULT OnContextMenu(qz::com::DWORD menuId, std::int32_t x, std::int32_t y,
                                           qz::com::IDispatch* object, std::int16_t* handled);

    /// For derived hosts that want another policy or an option key.
    void SetContextMenuMode(std::uint32_t mode) { contextMenuMode_ = mode; }
    void SetOptionKeyPath(std::wstring path) { optionKeyPath_ = std::move(path); }

  private:
    std::atomic<qz::com::ULONG> refCount_{0};
    std::uint32_t contextMenuMode_ = kSelectionMenuOnly;
    qz::com::DWORD hostFlags_ = qz::com::DOCHOSTUIFLAG_NO3DBORDER | qz::com::DOCHOSTUIFLAG_FLAT_SCROLLBAR;
    qz::com::DWORD doubleClick_ = 0;
    std::wstring optionKeyPath_;
};
