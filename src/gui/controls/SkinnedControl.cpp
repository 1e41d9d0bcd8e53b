#include "gui/controls/SkinnedControl.h"

#include <QEvent>
#include <QObject>
#include <QPainter>
#include <QWidget>

#include <cwctype>

#include "gui/ControlTemplateFile.h"
#include "gui/controls/SkinDrawing.h"
#include "gui/controls/Edit.h"
#include "gui/controls/PeakMeterCtrl.h"
#include "gui/controls/Static.h"
#include "gui/controls/UniButton.h"
#include "platform/window/WindowQt.h"

using namespace qz::platform;

// Carries the widget's paint, hover and state events to the control. It is
// a child of the widget, so it goes with the widget; the control deletes it
// when the control goes first.
class CQZ_SkinnedControl::SkinEventFilter : public QObject {
  public:
    SkinEventFilter(CQZ_SkinnedControl* owner, QWidget* widget) : QObject(widget), owner_(owner) {}

    ~SkinEventFilter() override
    {
        if (owner_)
            owner_->filter_ = nullptr;
    }

    void Detach() { owner_ = nullptr; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Between the window's end and the widget's deletion nothing is ours.
        if (!owner_ || !owner_->m_hWnd)
            return false;
        QWidget* widget = owner_->GetWidget();
        switch (event->type()) {
        case QEvent::Paint: {
            if (watched != owner_->GetPaintTarget())
                return false;
            owner_->CheckDpi();
            bool handled = false;
            {
                // The painter must end before the widget's own one begins.
                QPainter painter(static_cast<QWidget*>(watched));
                // A painter reads left to right whatever its widget does;
                // a mirrored one aligns and orders its texts from the right.
                painter.setLayoutDirection(static_cast<QWidget*>(watched)->layoutDirection());
                handled = owner_->PaintSkin(static_cast<QWidget*>(watched), painter);
            }
            return handled;
        }
        case QEvent::Enter:
            if (watched == widget) {
                owner_->hovered_ = true;
                owner_->UpdateSkin();
            }
            return false;
        case QEvent::Leave:
            if (watched == widget) {
                owner_->hovered_ = false;
                owner_->UpdateSkin();
            }
            return false;
        case QEvent::Show:
            if (watched == widget)
                owner_->CheckDpi();
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::EnabledChange:
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            owner_->UpdateSkin();
            return false;
        default:
            return false;
        }
    }

  private:
    CQZ_SkinnedControl* owner_;
};

CQZ_SkinnedControl::CQZ_SkinnedControl() = default;

CQZ_SkinnedControl::~CQZ_SkinnedControl()
{
    if (filter_) {
        filter_->Detach();
        delete filter_;
        filter_ = nullptr;
    }
}

bool CQZ_SkinnedControl::CreateControl(HWND parent, int id, const std::wstring& text, DWORD style,
                                       DWORD exStyle, const RECT& rect)
{
    if (m_hWnd || !IsWindow(parent))
        return false;
    HWND hwnd = CreateWindowExW(exStyle, WindowClassName(), text, style | WS_CHILD, rect.left, rect.top,
                                rect.Width(), rect.Height(), parent, id);
    if (!hwnd)
        return false;
    if (!SubclassWindow(hwnd)) {
        qz::platform::DestroyWindow(hwnd);
        return false;
    }
    // A window this object made goes with the object.
    m_bOwnsWindow = true;
    InstallSkin();
    OnAttached();
    return true;
}

bool CQZ_SkinnedControl::SubclassControl(HWND item)
{
    if (!IsWindow(item) || !SubclassWindow(item))
        return false;
    InstallSkin();
    OnAttached();
    return true;
}

void CQZ_SkinnedControl::StoreTemplate(const CQZControlTemplate* controlTemplate)
{
    template_ = controlTemplate ? std::make_unique<CQZControlTemplate>(*controlTemplate) : nullptr;
}

bool CQZ_SkinnedControl::HasFlag(const wchar_t* name) const
{
    const std::uint32_t bit = qz::gui::Constant(name);
    return template_ && bit != 0 && (template_->GetFlags(L"flags") & bit) == bit;
}

void CQZ_SkinnedControl::SetTemplateFile(std::shared_ptr<const CQZControlTemplateFile> file)
{
    templateFile_ = std::move(file);
    UpdateSkin();
}

QWidget* CQZ_SkinnedControl::GetWidget() const
{
    return m_hWnd ? WidgetFromHandle(m_hWnd) : nullptr;
}

int CQZ_SkinnedControl::GetDpi() const
{
    return ScreenDpiFor(GetWidget());
}

bool CQZ_SkinnedControl::PaintSkin(QWidget*, QPainter&)
{
    return false;
}

void CQZ_SkinnedControl::UpdateSkin()
{
    if (QWidget* target = GetPaintTarget())
        target->update();
}

void CQZ_SkinnedControl::CheckDpi()
{
    const int dpi = GetDpi();
    if (dpi != paintedDpi_) {
        paintedDpi_ = dpi;
        OnDpiChanged();
    }
}

void CQZ_SkinnedControl::InstallSkin()
{
    QWidget* widget = GetWidget();
    if (!widget || filter_)
        return;
    filter_ = new SkinEventFilter(this, widget);
    widget->installEventFilter(filter_);
    QWidget* target = GetPaintTarget();
    if (target && target != widget)
        target->installEventFilter(filter_);
    paintedDpi_ = GetDpi();
}

namespace {

bool SameName(const std::wstring& a, const wchar_t* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == L'\0';
}

} // namespace

std::unique_ptr<CQZ_SkinnedControl> MakeSkinnedControl(const std::wstring& typeName)
{
    if (SameName(typeName, L"CQZ_UniButton"))
        return std::make_unique<CQZ_UniButton>();
    if (SameName(typeName, L"CQZ_Static"))
        return std::make_unique<CQZ_Static>();
    if (SameName(typeName, L"CQZ_Edit"))
        return std::make_unique<CQZ_Edit>();
    if (SameName(typeName, L"CQZ_PeakMeterCtrl"))
        return std::make_unique<CQZ_PeakMeterCtrl>();
    // The other families (combo boxes, faders, knobs, lists, scroll bars,
    // ...) are not built: their items keep their standard look.
    return nullptr;
}
