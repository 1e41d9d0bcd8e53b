#include "gui/controls/PeakMeterCtrl.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <optional>

#include "gui/ControlTemplate.h"
#include "gui/controls/SkinDrawing.h"

using namespace qz::platform;
using namespace qz::gui;

namespace {

// The window's own position runs over this range, so that the plain look
// (no template) shows the same fill.
constexpr int kPositionRange = 10000;

} // namespace

struct CQZ_PeakMeterCtrl::Skin {
    double maximum = 1.0;
    double value = 0.0;
    int fill = -1; // the fill in pixels last asked to be drawn
};

CQZ_PeakMeterCtrl::CQZ_PeakMeterCtrl() : skin_(std::make_unique<Skin>()) {}

CQZ_PeakMeterCtrl::~CQZ_PeakMeterCtrl() = default;

void CQZ_PeakMeterCtrl::ApplyTemplate(const CQZControlTemplate* controlTemplate)
{
    StoreTemplate(controlTemplate);
    skin_->fill = -1;
    if (!controlTemplate)
        SyncPosition();
    UpdateSkin();
}

void CQZ_PeakMeterCtrl::SetMaximum(double maximum)
{
    skin_->maximum = maximum > 0 ? maximum : 1.0;
    SetValue(skin_->value);
}

double CQZ_PeakMeterCtrl::GetMaximum() const
{
    return skin_->maximum;
}

void CQZ_PeakMeterCtrl::SetValue(double value)
{
    skin_->value = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, skin_->maximum);
    if (!Template()) {
        SyncPosition();
        return;
    }
    const int fill = GetFillLength();
    if (fill != skin_->fill) {
        skin_->fill = fill;
        UpdateSkin();
    }
}

double CQZ_PeakMeterCtrl::GetValue() const
{
    return skin_->value;
}

void CQZ_PeakMeterCtrl::OnAttached()
{
    if (m_hWnd)
        DefWindowProc(PBM_SETRANGE32, 0, kPositionRange);
    if (!Template())
        SyncPosition();
}

void CQZ_PeakMeterCtrl::SyncPosition()
{
    if (!m_hWnd)
        return;
    const double share = skin_->value / skin_->maximum;
    // Past the message map: the window's own bar shows the plain look. It
    // repaints on every step, so a skinned meter leaves it alone.
    DefWindowProc(PBM_SETPOS, static_cast<WPARAM>(std::lround(share * kPositionRange)), 0);
}

bool CQZ_PeakMeterCtrl::IsVertical() const
{
    QWidget* widget = GetWidget();
    return (GetStyle() & PBS_VERTICAL) || (widget && widget->height() > widget->width());
}

QRect CQZ_PeakMeterCtrl::FillArea() const
{
    QWidget* widget = GetWidget();
    if (!widget)
        return QRect();
    QRect area = widget->rect();
    const CQZControlTemplate* t = Template();
    if (const RECT* margins = t ? t->FindRect(L"progressIndicationDibPlacement") : nullptr)
        area = area.marginsRemoved(ScaleMargins(*margins, GetDpi()));
    return area;
}

int CQZ_PeakMeterCtrl::GetFillLength() const
{
    const QRect area = FillArea();
    const int length = IsVertical() ? area.height() : area.width();
    if (length <= 0)
        return 0;
    return static_cast<int>(std::lround(length * (skin_->value / skin_->maximum)));
}

bool CQZ_PeakMeterCtrl::PaintSkin(QWidget* target, QPainter& painter)
{
    const CQZControlTemplate* t = Template();
    if (!t)
        return false; // no template: the window's own bar
    const int dpi = GetDpi();
    const QRect all = target->rect();
    if (auto track = TemplateImage(t, L"backgroundPeakmeterDib", dpi))
        DrawSkinImage(painter, *track, all);
    else
        painter.fillRect(all, target->palette().color(QPalette::Base));

    const QRect area = FillArea();
    const int fill = GetFillLength();
    skin_->fill = fill;
    if (fill <= 0 || area.isEmpty())
        return true;
    // The fill image spans the whole area and is uncovered as the value
    // grows: in reading direction, or bottom to top.
    QRect shown = area;
    if (IsVertical())
        shown.setTop(area.bottom() + 1 - fill);
    else if (target->layoutDirection() == Qt::RightToLeft)
        shown.setLeft(area.right() + 1 - fill);
    else
        shown.setWidth(fill);
    auto fillImage = TemplateImage(t, L"progressIndicationDib", dpi);
    if (!fillImage)
        fillImage = TemplateImage(t, L"ledPeakmeterDib", dpi);
    painter.save();
    painter.setClipRect(shown);
    if (fillImage)
        DrawSkinImage(painter, *fillImage, area);
    else
        painter.fillRect(area, target->palette().color(QPalette::Highlight));
    painter.restore();
    return true;
}
