#include "platform/window/Dialog.h"

#include "platform/window/DialogStyle.h"
#include "platform/window/DialogUnits.h"
#include "platform/window/WindowManager.h"
#include "platform/window/WindowQt.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace qz::platform {

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog() = default;

CDialog::CDialog(UINT templateId, CWnd* parent) : m_pParentWnd(parent), templateId_(templateId) {}

CDialog::~CDialog()
{
    if (m_hWnd) {
        // Destroy while the object is still a CDialog, so WM_DESTROY finds it.
        HWND h = m_hWnd;
        WindowRecord* r = WindowManager::Instance().Find(h);
        if (r && r->wnd == this) {
            r->wnd = nullptr;
        }
        m_hWnd = nullptr;
        qz::platform::DestroyWindow(h);
    }
}

bool CDialog::InitModalIndirect(std::span<const std::uint8_t> templateData, CWnd* parent)
{
    std::optional<DialogTemplate> t = DecodeDialogTemplate(templateData);
    if (!t) {
        return false;
    }
    return InitModalIndirect(*t, parent);
}

bool CDialog::InitModalIndirect(const DialogTemplate& dialogTemplate, CWnd* parent)
{
    template_ = dialogTemplate;
    m_pParentWnd = parent;
    return true;
}

bool CDialog::CreateWindowFromTemplate(CWnd* parent)
{
    if (m_hWnd || !EnsureGuiApplication()) {
        return false;
    }
    if (!template_ && templateId_) {
        const ResourceView* res =
            FindResourceEx(ResName::Ordinal(RT_DIALOG),
                           ResName::Ordinal(static_cast<std::uint16_t>(templateId_)), language_);
        if (res) {
            template_ = DecodeDialogTemplate(res->data);
        }
    }
    if (!template_) {
        return false;
    }
    const DialogTemplate& t = *template_;
    HWND ownerHandle = parent ? parent->GetSafeHwnd() : nullptr;
    QWidget* owner = WidgetFromHandle(ownerHandle);
    if (owner) {
        owner = owner->window();
    }

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if ((t.style & WS_CAPTION) == WS_CAPTION) {
        flags |= Qt::WindowTitleHint;
    }
    if (t.style & WS_SYSMENU) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (t.exStyle & WS_EX_TOPMOST) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    auto* widget = new QWidget(owner, flags);

    const int dpi = layoutDpi_ > 0 ? layoutDpi_ : ScreenDpiFor(owner);
    if (layoutDpi_ > 0) {
        SetWidgetDpi(widget, layoutDpi_);
    }
    const QFont font = DialogFont(t, dpi);
    const POINT base = DialogBaseUnits(font);
    widget->setFont(font);
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    QStyle* style = DialogStyle::ForDpi(dpi, screen ? qRound(screen->logicalDotsPerInchY()) : 96);
    if (style) {
        widget->setStyle(style);
    }
    const QSize client(MulDiv(t.cx, base.x, 4), MulDiv(t.cy, base.y, 8));
    if (t.style & WS_THICKFRAME) {
        widget->resize(client);
    } else {
        widget->setFixedSize(client);
    }
    if (t.style & (DS_CENTER | DS_CENTERMOUSE)) {
        QRect area =
            owner ? owner->frameGeometry()
                  : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                      : QRect(0, 0, client.width(), client.height()));
        widget->move(area.center() - QPoint(client.width() / 2, client.height() / 2));
    } else {
        // Template positions are relative to the owner's client area.
        QPoint origin = owner ? owner->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
        widget->move(origin + QPoint(MulDiv(t.x, base.x, 4), MulDiv(t.y, base.y, 8)));
    }

    auto record = std::make_unique<WindowRecord>();
    record->widget = widget;
    record->kind = WindowKind::Dialog;
    record->style = t.style;
    record->exStyle = t.exStyle | (layoutRtl_ ? WS_EX_LAYOUTRTL : 0);
    const bool mirrored = (record->exStyle & WS_EX_LAYOUTRTL) != 0;
    if (mirrored) {
        widget->setLayoutDirection(Qt::RightToLeft);
    }
    record->text = t.caption;
    record->owner = ownerHandle;
    record->dialog = std::make_unique<DialogState>();
    record->dialog->baseUnits = base;
    ShowTextInWidget(*record);
    WindowManager& wm = WindowManager::Instance();
    HWND hwnd = wm.Register(std::move(record), nullptr);
    wm.Find(hwnd)->wnd = this;
    m_hWnd = hwnd;
    m_bOwnsWindow = true;

    for (const DialogItemTemplate& item : t.items) {
        std::wstring className = item.windowClass.IsOrdinal() ? std::wstring() : item.windowClass.name;
        WORD ordinal = item.windowClass.IsOrdinal() ? item.windowClass.ordinal : 0;
        std::wstring text = item.text.IsOrdinal() ? std::wstring() : item.text.name;
        auto control = MakeControl(className, ordinal, text, item.style, item.exStyle,
                                   static_cast<int>(item.id), widget);
        QWidget* w = control->widget;
        if (style) {
            w->setStyle(style);
            for (QWidget* inner : w->findChildren<QWidget*>()) {
                inner->setStyle(style); // scroll bars of edits
            }
        }
        const int itemX = MulDiv(item.x, base.x, 4);
        const int itemWidth = MulDiv(item.cx, base.x, 4);
        w->setGeometry(mirrored ? client.width() - itemX - itemWidth : itemX, MulDiv(item.y, base.y, 8), itemWidth,
                       MulDiv(item.cy, base.y, 8));
        const bool groupBox = control->kind == WindowKind::GroupBox;
        if (control->kind == WindowKind::PushButton && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
            wm.Find(hwnd)->dialog->defId == 0) {
            wm.Find(hwnd)->dialog->defId = static_cast<int>(item.id);
        }
        HWND child = wm.Register(std::move(control), hwnd);
        ConnectNotifications(child);
        w->setVisible((item.style & WS_VISIBLE) != 0);
        if (groupBox) {
            // Group boxes are see-through frames: keep them under the
            // controls they surround.
            w->lower();
        }
    }
    return true;
}

namespace {

// The first enabled, visible tab stop in z-order.
HWND FirstTabStop(HWND dialog)
{
    for (HWND child : GetChildWindows(dialog)) {
        long style = GetWindowLongW(child, GWL_STYLE);
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) {
            return child;
        }
    }
    return nullptr;
}

} // namespace

std::intptr_t CDialog::DoModal()
{
    if (!CreateWindowFromTemplate(m_pParentWnd)) {
        return -1;
    }
    WindowManager& wm = WindowManager::Instance();
    const HWND hwnd = m_hWnd;
    WindowRecord* r = wm.Find(hwnd);
    r->dialog->modal = true;
    QWidget* widget = r->widget;
    widget->setWindowModality(Qt::ApplicationModal);

    const LRESULT focusFirst = qz::platform::SendMessage(hwnd, WM_INITDIALOG, 0, 0);
    r = wm.Find(hwnd);
    std::intptr_t result = -1;
    if (r && !r->dialog->ended) {
        widget->show();
        if (focusFirst) {
            if (HWND first = FirstTabStop(hwnd)) {
                qz::platform::SetFocus(first);
            }
        }
        QEventLoop loop;
        r->dialog->loop = &loop;
        loop.exec(QEventLoop::DialogExec);
        r = wm.Find(hwnd);
        if (r) {
            r->dialog->loop = nullptr;
        }
    }
    if (r && r->dialog->ended) {
        result = r->dialog->result;
    }
    if (r) {
        if (r->wnd == this) {
            r->wnd = nullptr;
        }
        m_hWnd = nullptr;
        qz::platform::DestroyWindow(hwnd);
    }
    m_hWnd = nullptr;
    return result;
}

bool CDialog::Create(CWnd* parent)
{
    if (parent) {
        m_pParentWnd = parent;
    }
    if (!CreateWindowFromTemplate(m_pParentWnd)) {
        return false;
    }
    const HWND hwnd = m_hWnd;
    const LRESULT focusFirst = qz::platform::SendMessage(hwnd, WM_INITDIALOG, 0, 0);
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    if (!r) {
        return false;
    }
    if (r->style & WS_VISIBLE) {
        r->widget->show();
    }
    if (focusFirst) {
        if (HWND first = FirstTabStop(hwnd)) {
            qz::platform::SetFocus(first);
        }
    }
    return true;
}

void CDialog::EndDialog(int result)
{
    qz::platform::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM)
{
    return OnInitDialog();
}

} // namespace qz::platform
