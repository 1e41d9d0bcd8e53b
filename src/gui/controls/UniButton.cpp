#include "gui/controls/UniButton.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

#include <optional>

#include "gui/ControlTemplate.h"
#include "gui/ControlTemplateFile.h"
#include "gui/SkinImage.h"
#include "gui/controls/SkinDrawing.h"

using namespace qz::platform;
using namespace qz::gui;

namespace {

// The check box drawn when a template places no box: 13 pixels at 96 DPI,
// the size of the system's own.
constexpr int kDefaultBoxSize = 13;
// Room between a check box and its text, and around the focus frame.
constexpr int kBoxTextGap = 4;
constexpr int kFocusInset = 3;

bool IsBoxStyle(DWORD style)
{
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return true;
    default:
        return false;
    }
}

} // namespace

CQZ_UniButton::CQZ_UniButton() = default;

CQZ_UniButton::~CQZ_UniButton() = default;

void CQZ_UniButton::ApplyTemplate(const CQZControlTemplate* controlTemplate)
{
    StoreTemplate(controlTemplate);
    ApplyToWidget();
    UpdateSkin();
}

void CQZ_UniButton::SetCheck(bool checked, bool redraw)
{
    // Through the window, so that the dialog's IsDlgButtonChecked sees the
    // same state.
    SendMessage(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (redraw) {
        if (QWidget* widget = GetWidget())
            widget->repaint();
    }
}

bool CQZ_UniButton::GetCheck() const
{
    return qz::platform::SendMessage(m_hWnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool CQZ_UniButton::IsDrawnAsDefault() const
{
    const auto* button = qobject_cast<const QPushButton*>(GetWidget());
    return button && button->isDefault() && !IsCheckBox();
}

bool CQZ_UniButton::IsCheckBox() const
{
    return IsBoxStyle(static_cast<DWORD>(GetStyle())) || HasFlag(L"QZB_STATUS");
}

void CQZ_UniButton::OnAttached()
{
    ApplyToWidget();
}

void CQZ_UniButton::OnDpiChanged()
{
    ApplyToWidget();
}

void CQZ_UniButton::ApplyToWidget()
{
    auto* button = qobject_cast<QAbstractButton*>(GetWidget());
    if (!button)
        return;
    // A push button whose template makes it a status button toggles, and
    // the window's check state follows the toggle.
    if (qobject_cast<QPushButton*>(button) && HasFlag(L"QZB_STATUS"))
        button->setCheckable(true);
    const LOGFONTW* font = Template() ? Template()->FindFont(L"font") : nullptr;
    // An empty font inherits the dialog's, as the standard controls do.
    button->setFont(font ? FontFromLogFont(*font, GetDpi()) : QFont());
}

bool CQZ_UniButton::PaintSkin(QWidget*, QPainter& painter)
{
    auto* button = qobject_cast<QAbstractButton*>(GetWidget());
    const CQZControlTemplate* t = Template();
    if (!button || !t)
        return false; // no template: the standard look
    const int dpi = GetDpi();
    const bool disabled = !button->isEnabled();
    const bool pressed = button->isDown();
    const bool hover = IsHovered() && !disabled;
    const bool box = IsBoxStyle(static_cast<DWORD>(GetStyle()));
    const bool toggled = GetCheck() && !box;
    // The default look goes with the default style, which the dialog moves
    // to the push button that has the focus: what looks like the answer is
    // what Enter presses.
    const bool asDefault = IsDrawnAsDefault() && !disabled && !pressed && !toggled;

    auto image = disabled             ? StateImage(L"disabledButtonDib", L"dibDisabled", dpi)
                 : pressed || toggled ? StateImage(L"pressedButtonDib", L"dibPressed", dpi)
                 : asDefault && hover ? TemplateImage(t, L"defaultHiliteButtonDib", dpi)
                 : hover              ? StateImage(L"hiliteButtonDib", L"dibHilite", dpi)
                                      : nullptr;
    if (!image && asDefault)
        image = TemplateImage(t, L"defaultButtonDib", dpi);
    if (!image)
        image = TemplateImage(t, L"standardButtonDib", dpi);

    const QRect all = button->rect();
    QRect textArea = all;
    if (box) {
        QRect boxRect;
        if (const RECT* placement = t->FindRect(L"markerPlacement"); placement && placement->Width() > 0)
            boxRect = ScaleRect(*placement, dpi);
        else {
            const int side = std::min(all.height(), ScaleForDpi(kDefaultBoxSize, dpi));
            boxRect = QRect(0, (all.height() - side) / 2, side, side);
        }
        // Read from right to left, the box stands before the text on the right.
        const bool mirrored = GetWidget()->layoutDirection() == Qt::RightToLeft;
        if (mirrored)
            boxRect.moveLeft(all.width() - boxRect.left() - boxRect.width());
        PaintBox(painter, boxRect, image.get(), dpi);
        if (mirrored)
            textArea.setRight(boxRect.left() - 1 - ScaleForDpi(kBoxTextGap, dpi));
        else
            textArea.setLeft(boxRect.right() + 1 + ScaleForDpi(kBoxTextGap, dpi));
    } else if (image) {
        DrawSkinImage(painter, *image, all, ScaledBorders(t->FindImageGroup(L"genericDrawing"), *image, dpi));
    }
    // Pictures placed on the button, in front of its surface.
    static const std::pair<const wchar_t*, const wchar_t*> kPlaced[] = {
        {L"secondButtonDib", L"secondDibPlacement"}, {L"thirdButtonDib", L"thirdDibPlacement"}};
    for (const auto& [key, placementKey] : kPlaced) {
        const RECT* placement = t->FindRect(placementKey);
        auto placed = placement && placement->Width() > 0 ? TemplateImage(t, key, dpi) : nullptr;
        if (placed)
            DrawSkinImage(painter, *placed, ScaleRect(*placement, dpi));
    }

    PaintText(painter, textArea, disabled, pressed || toggled, hover, box);

    // Like the focus cues of the platform dialogs, the frame waits until the
    // keyboard has moved the focus in this window.
    if (button->hasFocus() && button->window()->testAttribute(Qt::WA_KeyboardFocusChange) &&
        !HasFlag(L"QZB_NO_FOCUSFRAME")) {
        const int inset = ScaleForDpi(kFocusInset, dpi);
        painter.save();
        painter.setPen(QPen(button->palette().color(QPalette::ButtonText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect((box ? textArea : all).adjusted(inset, inset, -inset - 1, -inset - 1));
        painter.restore();
    }
    return true;
}

std::shared_ptr<const QImage> CQZ_UniButton::StateImage(const wchar_t* key, const wchar_t* fileDefault,
                                                        int dpi) const
{
    const CQZControlTemplate* t = Template();
    const QzTemplateImage* named = t->FindImage(key);
    // A key the template left out stands for "dibStandard"; the file's own
    // default for the state fits better.
    if ((!named || named->name == L"dibStandard") && GetTemplateFile()) {
        const std::wstring path = GetTemplateFile()->ResolveImage(fileDefault);
        if (!path.empty()) {
            auto image = CQZSkinImage::Load(path, dpi);
            if (!image->isNull())
                return image;
        }
    }
    return TemplateImage(t, key, dpi);
}

void CQZ_UniButton::PaintBox(QPainter& painter, const QRect& boxRect, const QImage* stateImage, int dpi)
{
    const CQZControlTemplate* t = Template();
    auto* button = qobject_cast<QAbstractButton*>(GetWidget());
    const DWORD type = static_cast<DWORD>(GetStyle()) & BS_TYPEMASK;
    const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    if (stateImage) {
        DrawSkinImage(painter, *stateImage, boxRect);
    } else {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, radio);
        painter.setPen(button->palette().color(QPalette::WindowText));
        painter.setBrush(button->palette().color(QPalette::Base));
        if (radio)
            painter.drawEllipse(boxRect.adjusted(0, 0, -1, -1));
        else
            painter.drawRect(boxRect.adjusted(0, 0, -1, -1));
        painter.restore();
    }
    const LRESULT state = qz::platform::SendMessage(m_hWnd, BM_GETCHECK, 0, 0);
    if (state == BST_UNCHECKED)
        return;
    QRect markRect = boxRect.adjusted(boxRect.width() / 4, boxRect.height() / 4, -boxRect.width() / 4,
                                      -boxRect.height() / 4);
    if (const RECT* marker = t->FindRect(L"markerRect");
        marker && (marker->left || marker->top || marker->right || marker->bottom))
        markRect = boxRect.marginsRemoved(ScaleMargins(*marker, dpi));
    if (state == BST_CHECKED) {
        if (auto markerImage = TemplateImage(t, L"markerButtonDib", dpi)) {
            DrawSkinImage(painter, *markerImage, boxRect);
            return;
        }
    }
    const QColor color = t->FindColor(L"markerColor") ? ColorFromRef(*t->FindColor(L"markerColor"))
                                                      : button->palette().color(QPalette::WindowText);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (radio) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(markRect);
    } else if (state == BST_INDETERMINATE) {
        painter.fillRect(markRect, color);
    } else {
        QPen pen(color, std::max(1.5, markRect.width() / 5.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(pen);
        const QPointF points[] = {{markRect.left() + 0.0, markRect.top() + markRect.height() * 0.55},
                                  {markRect.left() + markRect.width() * 0.4, markRect.bottom() + 0.0},
                                  {markRect.right() + 0.0, markRect.top() + 0.0}};
        painter.drawPolyline(points, 3);
    }
    painter.restore();
}

void CQZ_UniButton::PaintText(QPainter& painter, QRect area, bool disabled, bool pressed, bool hover,
                              bool box)
{
    const CQZControlTemplate* t = Template();
    auto* button = qobject_cast<QAbstractButton*>(GetWidget());
    const std::wstring text = GetWindowText();
    if (text.empty())
        return;
    const int dpi = GetDpi();
    if (const RECT* offset = t->FindRect(L"textOffset"))
        area = area.marginsRemoved(ScaleMargins(*offset, dpi));

    QColor color = button->palette().color(disabled ? QPalette::Disabled : QPalette::Active,
                                           box ? QPalette::WindowText : QPalette::ButtonText);
    const QzColorRef* chosen = nullptr;
    if (disabled)
        chosen = t->FindColor(L"disabledColor");
    else if (pressed)
        chosen = t->FindColor(L"pressedColor");
    else if (IsDrawnAsDefault() && t->FindColor(L"defaultColor"))
        chosen = t->FindColor(L"defaultColor");
    else if (hover)
        chosen =
            t->FindColor(L"mouseOverColor") ? t->FindColor(L"mouseOverColor") : t->FindColor(L"hiliteColor");
    if (!chosen)
        chosen = t->FindColor(L"textColor");
    if (chosen)
        color = ColorFromRef(*chosen);

    // '&' marks a mnemonic; whether it is underlined is the style's choice.
    int flags = button->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, button)
                    ? Qt::TextShowMnemonic
                    : Qt::TextHideMnemonic;
    if (HasFlag(L"QZB_TEXT_LEFT") || box)
        flags |= Qt::AlignLeft;
    else if (HasFlag(L"QZB_TEXT_RIGHT"))
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignHCenter;
    if (HasFlag(L"QZB_TEXT_TOP"))
        flags |= Qt::AlignTop;
    else if (HasFlag(L"QZB_TEXT_BOTTOM"))
        flags |= Qt::AlignBottom;
    else
        flags |= Qt::AlignVCenter;
    if (HasFlag(L"QZB_MULTILINE") || (GetStyle() & BS_MULTILINE))
        flags |= Qt::TextWordWrap;

    painter.save();
    painter.setFont(button->font());
    painter.setPen(color);
    painter.drawText(area, flags, QString::fromStdWString(text));
    painter.restore();
}
