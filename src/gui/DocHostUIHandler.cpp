#include "gui/DocHostUIHandler.h"

#include <cstdlib>
#include <cstring>

using namespace qz::com;

static_assert(sizeof(DOCHOSTUIINFO) == 32, "the browser checks the structure size");

void qz::com::TaskMemFree(void* memory)
{
    std::free(memory);
}

CQZDocHostUIHandler::CQZDocHostUIHandler() = default;

CQZDocHostUIHandler::~CQZDocHostUIHandler()
{
    contextMenuMode_ = 0;
    hostFlags_ = 0;
    doubleClick_ = 0;
}

HRESULT CQZDocHostUIHandler::QueryInterface(const IID& iid, void** object)
{
    if (!object) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDocHostUIHandler) {
        *object = static_cast<IDocHostUIHandler*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CQZDocHostUIHandler::AddRef()
{
    return refCount_.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG CQZDocHostUIHandler::Release()
{
    const ULONG count = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (count == 0) {
        delete this;
    }
    return count;
}

HRESULT CQZDocHostUIHandler::ShowContextMenu(DWORD menuId, POINT* point, IUnknown* /*commandTarget*/,
                                             IDispatch* object)
{
    // S_OK means the host handled the menu (none is shown); S_FALSE lets the
    // browser show its own.
    auto notify = [&] {
        std::int16_t handled = 0;
        OnContextMenu(menuId, point ? point->x : 0, point ? point->y : 0, object, &handled);
    };
    switch (contextMenuMode_) {
    case kNoMenu:
        return S_OK;
    case kBrowserMenu:
        return S_FALSE;
    case kSelectionMenuOnly:
        if (menuId != CONTEXT_MENU_TEXTSELECT) {
            return S_OK;
        }
        notify();
        return S_FALSE;
    case kNotifyThenBrowserMenu:
        notify();
        return S_FALSE;
    default:
        return S_FALSE;
    }
}

HRESULT CQZDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (!info) {
        return E_POINTER;
    }
    info->cbSize = sizeof(DOCHOSTUIINFO);
    info->dwFlags = hostFlags_;
    info->dwDoubleClick = doubleClick_;
    return S_OK;
}

HRESULT CQZDocHostUIHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                    IOleInPlaceUIWindow*)
{
    return S_OK;
}

HRESULT CQZDocHostUIHandler::HideUI()
{
    return S_OK;
}

HRESULT CQZDocHostUIHandler::UpdateUI()
{
    return S_OK;
}

HRESULT CQZDocHostUIHandler::EnableModeless(int)
{
    return E_NOTIMPL;
}

HRESULT CQZDocHostUIHandler::OnDocWindowActivate(int)
{
    return E_NOTIMPL;
}

HRESULT CQZDocHostUIHandler::OnFrameWindowActivate(int)
{
    return E_NOTIMPL;
}

HRESULT CQZDocHostUIHandler::ResizeBorder(const RECT*, IOleInPlaceUIWindow*, int)
{
    return E_NOTIMPL;
}

HRESULT CQZDocHostUIHandler::TranslateAccelerator(MSG*, const GUID*, DWORD)
{
    return E_NOTIMPL;
}

HRESULT CQZDocHostUIHandler::GetOptionKeyPath(OLECHAR** key, DWORD)
{
    if (!key) {
        return E_INVALIDARG;
    }
    *key = nullptr;
    if (optionKeyPath_.empty()) {
        return E_NOTIMPL;
    }
    // The caller frees the copy with TaskMemFree.
    const std::size_t bytes = (optionKeyPath_.size() + 1) * sizeof(OLECHAR);
    auto* copy = static_cast<OLECHAR*>(std::malloc(bytes));
    if (!copy) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(copy, optionKeyPath_.c_str(), bytes);
    *key = copy;
    return S_OK;
}

HRESULT CQZDocHostUIHandler::GetDropTarget(IDropTarget*, IDropTarget** replacement)
{
    if (replacement) {
        *replacement = nullptr;
    }
    return S_OK;
}

HRESULT CQZDocHostUIHandler::GetExternal(IDispatch**)
{
    return E_NOTIMPL;
}

HRESULT CQZDocHostUIHandler::TranslateUrl(DWORD, OLECHAR*, OLECHAR** translated)
{
    if (translated) {
        *translated = nullptr;
    }
    return S_FALSE;
}

HRESULT CQZDocHostUIHandler::FilterDataObject(IDataObject*, IDataObject** filtered)
{
    if (filtered) {
        *filtered = nullptr;
    }
    return S_FALSE;
}

HRESULT CQZDocHostUIHandler::OnContextMenu(DWORD, std::int32_t, std::int32_t, IDispatch*, std::int16_t*)
{
    return S_OK;
}
