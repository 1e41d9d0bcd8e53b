#include "platform/window/Wnd.h"

#include "platform/window/WindowManager.h"

namespace qz::platform {

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    HWND h = m_hWnd;
    // The z-order pseudo handles (wndTop and friends) name no window, and a
    // process that never made a window must not make a manager on its way out.
    WindowManager* manager = WindowManager::IfExists();
    if (!h || !manager) {
        return;
    }
    WindowRecord* r = manager->Find(h);
    if (!r) {
        return;
    }
    // The object is half gone: its window must not call back into it.
    if (r->wnd == this) {
        r->wnd = nullptr;
    }
    m_hWnd = nullptr;
    if (m_bOwnsWindow) {
        qz::platform::DestroyWindow(h);
    }
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    if (!r) {
        return nullptr;
    }
    if (r->wnd) {
        return r->wnd;
    }
    if (!r->permanent) {
        r->permanent.reset(new CWnd());
        r->permanent->m_hWnd = hwnd;
    }
    return r->permanent.get();
}

bool CWnd::SubclassWindow(HWND hwnd)
{
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    if (!r || (r->wnd && r->wnd != this) || (m_hWnd && m_hWnd != hwnd)) {
        return false;
    }
    r->wnd = this;
    m_hWnd = hwnd;
    return true;
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent && SubclassWindow(qz::platform::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow()
{
    HWND h = m_hWnd;
    if (WindowRecord* r = WindowManager::Instance().Find(h); r && r->wnd == this) {
        r->wnd = nullptr;
    }
    m_hWnd = nullptr;
    return h;
}

bool CWnd::DestroyWindow()
{
    return qz::platform::DestroyWindow(m_hWnd);
}

const MessageMap* CWnd::GetMessageMap() const
{
    return GetThisMessageMap();
}

const MessageMap* CWnd::GetThisMessageMap()
{
    static const MessageMapEntry entries[] = {{0, 0, 0, 0, nullptr}};
    static const MessageMap map{nullptr, entries};
    return &map;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(msg, wParam, lParam, &result)) {
        result = DefWindowProc(msg, wParam, lParam);
    }
    return result;
}

bool CWnd::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e->handler; ++e) {
            if (e->message != msg) {
                continue;
            }
            if (msg == WM_COMMAND) {
                const UINT id = LOWORD(wParam);
                const UINT code = HIWORD(wParam);
                if (code != e->code || id < (e->idFirst & 0xFFFF) || id > (e->idLast & 0xFFFF)) {
                    continue;
                }
            }
            *result = e->handler(this, wParam, lParam);
            return true;
        }
    }
    return false;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return m_hWnd ? WindowManager::Instance().ClassProc(m_hWnd, msg, wParam, lParam) : 0;
}

LRESULT CWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return qz::platform::SendMessage(m_hWnd, msg, wParam, lParam);
}

bool CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return qz::platform::PostMessage(m_hWnd, msg, wParam, lParam);
}

void CWnd::SetWindowText(const std::wstring& text)
{
    SetWindowTextW(m_hWnd, text);
}

std::wstring CWnd::GetWindowText() const
{
    return GetWindowTextW(m_hWnd);
}

CWnd* CWnd::GetDlgItem(int id) const
{
    return FromHandle(qz::platform::GetDlgItem(m_hWnd, id));
}

int CWnd::GetDlgCtrlID() const
{
    return qz::platform::GetDlgCtrlID(m_hWnd);
}

CWnd* CWnd::GetParent() const
{
    return FromHandle(qz::platform::GetParent(m_hWnd));
}

bool CWnd::ShowWindow(int cmdShow)
{
    return qz::platform::ShowWindow(m_hWnd, cmdShow);
}

bool CWnd::IsWindowVisible() const
{
    return qz::platform::IsWindowVisible(m_hWnd);
}

bool CWnd::EnableWindow(bool enable)
{
    return qz::platform::EnableWindow(m_hWnd, enable);
}

bool CWnd::IsWindowEnabled() const
{
    return qz::platform::IsWindowEnabled(m_hWnd);
}

bool CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return qz::platform::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : HWND_TOP, x, y, cx, cy,
                                      flags);
}

void CWnd::MoveWindow(int x, int y, int cx, int cy, bool repaint)
{
    qz::platform::MoveWindow(m_hWnd, x, y, cx, cy, repaint);
}

void CWnd::GetWindowRect(RECT* rect) const
{
    qz::platform::GetWindowRect(m_hWnd, rect);
}

void CWnd::GetClientRect(RECT* rect) const
{
    qz::platform::GetClientRect(m_hWnd, rect);
}

void CWnd::ScreenToClient(POINT* point) const
{
    qz::platform::ScreenToClient(m_hWnd, point);
}

void CWnd::ScreenToClient(RECT* rect) const
{
    qz::platform::MapWindowRect(nullptr, m_hWnd, rect);
}

void CWnd::ClientToScreen(POINT* point) const
{
    qz::platform::ClientToScreen(m_hWnd, point);
}

void CWnd::ClientToScreen(RECT* rect) const
{
    qz::platform::MapWindowRect(m_hWnd, nullptr, rect);
}

bool CWnd::SetForegroundWindow()
{
    return qz::platform::SetForegroundWindow(m_hWnd);
}

void CWnd::BringWindowToTop()
{
    qz::platform::BringWindowToTop(m_hWnd);
}

CWnd* CWnd::SetFocus()
{
    return FromHandle(qz::platform::SetFocus(m_hWnd));
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs)
{
    return qz::platform::SetTimer(m_hWnd, id, elapseMs);
}

bool CWnd::KillTimer(UINT_PTR id)
{
    return qz::platform::KillTimer(m_hWnd, id);
}

void CWnd::CheckDlgButton(int id, UINT check)
{
    qz::platform::CheckDlgButton(m_hWnd, id, check);
}

UINT CWnd::IsDlgButtonChecked(int id) const
{
    return qz::platform::IsDlgButtonChecked(m_hWnd, id);
}

void CWnd::SetDlgItemText(int id, const std::wstring& text)
{
    SetDlgItemTextW(m_hWnd, id, text);
}

std::wstring CWnd::GetDlgItemText(int id) const
{
    return GetDlgItemTextW(m_hWnd, id);
}

void CWnd::Invalidate(bool erase)
{
    InvalidateRect(m_hWnd, nullptr, erase);
}

} // namespace qz::platform
