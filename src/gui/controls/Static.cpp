#include "gui/controls/Static.h"

#include <QPainter>
#include <QWidget>

#include <optional>

#include "gui/ControlTemplate.h"
#include "gui/SkinImage.h"
#include "gui/controls/SkinDrawing.h"
#include "osal/QzPath.h"

using namespace qz::platform;
using namespace qz::gui;

namespace {

// Room between an icon and the text beside it, in 96-DPI pixels.
constexpr int kIconTextGap = 4;

// Draw-text flags of template files (the DT_ names).
constexpr std::uint32_t kDtCenter = 0x1;
constexpr std::uint32_t kDtRight = 0x2;
constexpr std::uint32_t kDtVCenter = 0x4;
constexpr std::uint32_t kDtBottom = 0x8;
constexpr std::uint32_t kDtWordBreak = 0x10;
constexpr std::uint32_t kDtNoPrefix = 0x800;

bool IsAbsolute(const std::wstring& name)
{
    return (!name.empty() && (name[0] == L'/' || name[0] == L'\\')) || (name.size() >= 2 && name[1] == L':');
}

} // namespace

struct CQZ_Static::Skin {
    std::wstring iconPath; // the file of the icon's frames; empty: no icon
    int frameCount = 1;
    int frame = 0;
    std::uint32_t interval = kDefaultFrameInterval;
    bool animating = false;

};

CQZ_Static::CQZ_Static() : skin_(std::make_unique<Skin>()) {}

CQZ_Static::~CQZ_Static()
{
    // A subclassed item outlives its object; its timer must not run on.
    if (m_hWnd && skin_->animating)
        KillTimer(kAnimationTimerId);
}

void CQZ_Static::ApplyTemplate(const CQZControlTemplate* controlTemplate)
{
    Skin& s = *skin_;
    StoreTemplate(controlTemplate);
    s.iconPath.clear();
    s.frameCount = 1;
    s.interval = kDefaultFrameInterval;
    if (const CQZControlTemplate* t = Template()) {
        s.iconPath = IconFile(*t);
        s.frameCount = std::max(1, t->GetInt(L"iconCount", 1));
        if (t->GetInt(L"iconAnimation") > 0)
            s.interval = static_cast<std::uint32_t>(t->GetInt(L"iconAnimation"));
    }
    s.frame = std::min(s.frame, s.frameCount - 1);
    if (s.animating)
        SetTimer(kAnimationTimerId, s.interval); // the new interval
    ApplyToWidget();
    if (!s.animating && HasOption(Template(), L"QZS_OPT_STARTICONANIMATION") && m_hWnd)
        StartAnimation();
    UpdateSkin();
}

std::wstring CQZ_Static::IconFile(const CQZControlTemplate& t) const
{
    // An SVG named by "icon.svg.image" wins over the frame strip; a relative
    // name is looked for beside the template's own images.
    if (const std::wstring* svg = t.FindText(L"icon.svg.image"); svg && !svg->empty()) {
        if (IsAbsolute(*svg))
            return *svg;
        for (const wchar_t* key : {L"iconStaticDib", L"backgroundStaticDib"}) {
            const QzTemplateImage* image = t.FindImage(key);
            if (image && !image->path.empty()) {
                QzOSAL::QzPath path(QzOSAL::QzPath(image->path).GetFolder());
                path.AppendPath(*svg);
                return path.GetPath();
            }
        }
        return *svg;
    }
    if (const QzTemplateImage* strip = t.FindImage(L"iconStaticDib"))
        return strip->path;
    return std::wstring();
}

void CQZ_Static::StartAnimation()
{
    skin_->frame = 0;
    skin_->animating = SetTimer(kAnimationTimerId, skin_->interval) != 0;
    UpdateSkin();
}

void CQZ_Static::StopAnimation()
{
    if (m_hWnd)
        KillTimer(kAnimationTimerId);
    skin_->animating = false;
    skin_->frame = 0;
    UpdateSkin();
}

bool CQZ_Static::IsAnimating() const
{
    return skin_->animating;
}

int CQZ_Static::GetFrameIndex() const
{
    return skin_->frame;
}

int CQZ_Static::GetFrameCount() const
{
    return skin_->frameCount;
}

std::uint32_t CQZ_Static::GetFrameInterval() const
{
    return skin_->interval;
}

void CQZ_Static::OnAttached()
{
    ApplyToWidget();
    if (!skin_->animating && HasOption(Template(), L"QZS_OPT_STARTICONANIMATION"))
        StartAnimation();
}

void CQZ_Static::OnDpiChanged()
{
    ApplyToWidget();
}

void CQZ_Static::ApplyToWidget()
{
    QWidget* widget = GetWidget();
    if (!widget)
        return;
    const CQZControlTemplate* t = Template();
    const int dpi = GetDpi();
    // What the template leaves open is inherited from the dialog.
    QFont font;
    if (const LOGFONTW* logFont = t ? t->FindFont(L"font") : nullptr)
        font = FontFromLogFont(*logFont, dpi);
    if (t && t->GetInt(L"textHeight") > 0)
        font.setPixelSize(std::max(1, ScaleForDpi(t->GetInt(L"textHeight"), dpi)));
    widget->setFont(font);
}

LRESULT CQZ_Static::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_TIMER && wParam == kAnimationTimerId) {
        skin_->frame = (skin_->frame + 1) % std::max(1, skin_->frameCount);
        UpdateSkin();
        return 0;
    }
    if (msg == WM_DESTROY)
        skin_->animating = false; // the window's timers end with it
    return CQZ_SkinnedControl::WindowProc(msg, wParam, lParam);
}

bool CQZ_Static::PaintSkin(QWidget* target, QPainter& painter)
{
    const CQZControlTemplate* t = Template();
    if (!t)
        return false; // no template: the standard look
    const int dpi = GetDpi();
    const QRect all = target->rect();
    const bool disabled = !target->isEnabled();

    if (const QzColorRef* background = t->FindColor(L"backgroundColor"))
        painter.fillRect(all, ColorFromRef(*background));
    if (!HasFlag(L"QZS_NO_BACKGRND") && !HasFlag(L"QZS_TRANSPARENT_BACKGRND")) {
        if (auto image = TemplateImage(t, L"backgroundStaticDib", dpi)) {
            DrawSkinImage(painter, *image, all,
                          ScaledBorders(t->FindImageGroup(L"genericStruct"), *image, dpi));
        }
    }

    // The skin places icon and text for reading left to right; a mirrored
    // control draws them at the other side.
    const bool mirrored = target->layoutDirection() == Qt::RightToLeft;
    const auto visual = [&](QRect rect) {
        if (mirrored)
            rect.moveLeft(all.left() + all.right() - rect.right());
        return rect;
    };
    QRect textArea = all;
    const QRect icon = FrameRect(all, dpi);
    if (!icon.isEmpty()) {
        DrawFrame(painter, visual(icon), dpi);
        // An icon at the start of the line pushes the text beside it.
        const int gap = ScaleForDpi(kIconTextGap, dpi);
        if (icon.left() <= textArea.left() + gap)
            textArea.setLeft(icon.right() + 1 + gap);
    }

    const std::wstring text = GetWindowText();
    if (text.empty())
        return true;
    if (const RECT* offset = t->FindRect(L"textOffset"))
        textArea = textArea.marginsRemoved(ScaleMargins(*offset, dpi));
    QColor color =
        target->palette().color(disabled ? QPalette::Disabled : QPalette::Active, QPalette::WindowText);
    if (const QzColorRef* c = t->FindColor(disabled ? L"disabledColor" : L"activeColor"))
        color = ColorFromRef(*c);
    painter.save();
    painter.setFont(target->font());
    painter.setPen(color);
    painter.drawText(visual(textArea), TextFlags(), QString::fromStdWString(text));
    painter.restore();
    return true;
}

int CQZ_Static::TextFlags() const
{
    const CQZControlTemplate* t = Template();
    const DWORD style = static_cast<DWORD>(GetStyle());
    int flags = 0;
    if (const std::uint32_t* format = t->FindFlags(L"textFormat")) {
        flags |= (*format & kDtCenter)  ? Qt::AlignHCenter
                 : (*format & kDtRight) ? Qt::AlignRight
                                        : Qt::AlignLeft;
        flags |= (*format & kDtVCenter)  ? Qt::AlignVCenter
                 : (*format & kDtBottom) ? Qt::AlignBottom
                                         : Qt::AlignTop;
        if (*format & kDtWordBreak)
            flags |= Qt::TextWordWrap;
        flags |= (*format & kDtNoPrefix) ? 0 : Qt::TextHideMnemonic;
        return flags;
    }
    const DWORD type = style & SS_TYPEMASK;
    if (HasFlag(L"QZS_TEXTALIGN_CENTER") || type == SS_CENTER)
        flags |= Qt::AlignHCenter;
    else if (HasFlag(L"QZS_TEXTALIGN_RIGHT") || type == SS_RIGHT)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    flags |= (style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
    if (HasFlag(L"QZS_MULTILINE") || type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT)
        flags |= Qt::TextWordWrap;
    if (!(style & SS_NOPREFIX) && !HasFlag(L"QZS_NO_PREFIX"))
        flags |= Qt::TextHideMnemonic;
    return flags;
}

QRect CQZ_Static::FrameRect(const QRect& all, int dpi) const
{
    if (skin_->iconPath.empty())
        return QRect();
    const auto strip = CQZSkinImage::Load(skin_->iconPath, dpi);
    if (strip->isNull())
        return QRect();
    const CQZControlTemplate* t = Template();
    QRect rect;
    if (const RECT* placement = t->FindRect(L"iconPlacement"); placement && placement->Width() > 0) {
        rect = ScaleRect(*placement, dpi);
    } else {
        const QSize frame = FrameSize(*strip);
        rect = QRect(QPoint(0, (all.height() - frame.height()) / 2), frame);
    }
    if (const RECT* offset = t->FindRect(L"iconOffset"))
        rect.translate(ScaleForDpi(offset->left, dpi), ScaleForDpi(offset->top, dpi));
    return rect;
}

QSize CQZ_Static::FrameSize(const QImage& strip) const
{
    // Frames stand side by side in a strip wider than tall, else one above
    // the other.
    const int count = skin_->frameCount;
    if (strip.width() >= strip.height())
        return QSize(strip.width() / count, strip.height());
    return QSize(strip.width(), strip.height() / count);
}

void CQZ_Static::DrawFrame(QPainter& painter, const QRect& rect, int dpi) const
{
    const auto strip = CQZSkinImage::Load(skin_->iconPath, dpi);
    const QSize frame = FrameSize(*strip);
    if (frame.isEmpty())
        return;
    const bool horizontal = strip->width() >= strip->height();
    const QRect source(horizontal ? frame.width() * skin_->frame : 0,
                       horizontal ? 0 : frame.height() * skin_->frame, frame.width(), frame.height());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(rect, *strip, source);
    painter.restore();
}
