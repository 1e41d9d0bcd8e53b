#include "gui/controls/SkinDrawing.h"

#include <QPainter>

#include <algorithm>

#include "gui/ControlTemplate.h"
#include "gui/SkinImage.h"
#include "gui/SymbolicConstants.h"

namespace qz::gui {

int ScaleForDpi(int value, int dpi)
{
    return qz::platform::MulDiv(value, dpi, CQZSkinImage::kDesignDpi);
}

QRect ScaleRect(const qz::platform::RECT& rect, int dpi)
{
    const int left = ScaleForDpi(rect.left, dpi);
    const int top = ScaleForDpi(rect.top, dpi);
    return QRect(left, top, ScaleForDpi(rect.right, dpi) - left, ScaleForDpi(rect.bottom, dpi) - top);
}

QMargins ScaleMargins(const qz::platform::RECT& rect, int dpi)
{
    return QMargins(ScaleForDpi(rect.left, dpi), ScaleForDpi(rect.top, dpi), ScaleForDpi(rect.right, dpi),
                    ScaleForDpi(rect.bottom, dpi));
}

QColor ColorFromRef(QzColorRef color)
{
    const int alpha = static_cast<int>((color >> 24) & 0xFF);
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF), alpha == 0 ? 255 : alpha);
}

QFont FontFromLogFont(const LOGFONTW& font, int dpi)
{
    QFont result;
    const std::size_t faceLength = std::find(std::begin(font.lfFaceName), std::end(font.lfFaceName), L'\0') -
                                   std::begin(font.lfFaceName);
    if (faceLength > 0)
        result.setFamily(QString::fromWCharArray(font.lfFaceName, static_cast<qsizetype>(faceLength)));
    // A negative height is the character height, a positive one the cell
    // height, of which the character takes about seven eighths.
    int height = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight * 7 / 8;
    if (height > 0)
        result.setPixelSize(std::max(1, ScaleForDpi(height, dpi)));
    if (font.lfWeight > 0)
        result.setWeight(static_cast<QFont::Weight>(std::clamp(font.lfWeight, 1, 1000)));
    if (font.lfItalic)
        result.setItalic(true);
    if (font.lfUnderline)
        result.setUnderline(true);
    if (font.lfStrikeOut)
        result.setStrikeOut(true);
    return result;
}

QMargins NinePartBorders(const QzTemplateImageGroup* group, QSize imageSize96)
{
    if (!group)
        return {};
    const qz::platform::RECT& b = group->borders;
    if (b.left > 0 || b.top > 0 || b.right > 0 || b.bottom > 0)
        return QMargins(std::max(0, b.left), std::max(0, b.top), std::max(0, b.right), std::max(0, b.bottom));
    const qz::platform::RECT& in = group->inner;
    if (in.Width() > 0 && in.Height() > 0 && !imageSize96.isEmpty()) {
        return QMargins(std::max(0, in.left), std::max(0, in.top),
                        std::max(0, imageSize96.width() - in.right),
                        std::max(0, imageSize96.height() - in.bottom));
    }
    return {};
}

QMargins ScaledBorders(const QzTemplateImageGroup* group, const QImage& image, int dpi)
{
    const QSize size96(qz::platform::MulDiv(image.width(), CQZSkinImage::kDesignDpi, dpi),
                       qz::platform::MulDiv(image.height(), CQZSkinImage::kDesignDpi, dpi));
    const QMargins b = NinePartBorders(group, size96);
    return QMargins(ScaleForDpi(b.left(), dpi), ScaleForDpi(b.top(), dpi), ScaleForDpi(b.right(), dpi),
                    ScaleForDpi(b.bottom(), dpi));
}

namespace {

// Splits `length` into a start, middle and end part; borders that do not
// fit shrink in proportion.
void Split(int length, int first, int last, int& outFirst, int& outLast)
{
    if (first + last > length && first + last > 0) {
        outFirst = length * first / (first + last);
        outLast = length - outFirst;
    } else {
        outFirst = first;
        outLast = last;
    }
}

} // namespace

void DrawSkinImage(QPainter& painter, const QImage& image, const QRect& target, QMargins borders)
{
    if (image.isNull() || target.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const int iw = image.width();
    const int ih = image.height();
    if (borders.isNull() || borders.left() + borders.right() >= iw ||
        borders.top() + borders.bottom() >= ih) {
        painter.drawImage(target, image);
        painter.restore();
        return;
    }
    int tl = 0, tr = 0, tt = 0, tb = 0;
    Split(target.width(), borders.left(), borders.right(), tl, tr);
    Split(target.height(), borders.top(), borders.bottom(), tt, tb);
    const int sx[4] = {0, borders.left(), iw - borders.right(), iw};
    const int sy[4] = {0, borders.top(), ih - borders.bottom(), ih};
    const int dx[4] = {target.left(), target.left() + tl, target.left() + target.width() - tr,
                       target.left() + target.width()};
    const int dy[4] = {target.top(), target.top() + tt, target.top() + target.height() - tb,
                       target.top() + target.height()};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRect source(sx[col], sy[row], sx[col + 1] - sx[col], sy[row + 1] - sy[row]);
            const QRect dest(dx[col], dy[row], dx[col + 1] - dx[col], dy[row + 1] - dy[row]);
            if (!source.isEmpty() && !dest.isEmpty())
                painter.drawImage(dest, image, source);
        }
    }
    painter.restore();
}

std::shared_ptr<const QImage> TemplateImage(const CQZControlTemplate* controlTemplate, const wchar_t* key,
                                            int dpi)
{
    const QzTemplateImage* image = controlTemplate ? controlTemplate->FindImage(key) : nullptr;
    if (!image || image->path.empty())
        return nullptr;
    auto loaded = CQZSkinImage::Load(image->path, dpi);
    return loaded->isNull() ? nullptr : loaded;
}

bool HasOption(const CQZControlTemplate* controlTemplate, const wchar_t* constantName)
{
    const std::uint32_t bit = Constant(constantName);
    return controlTemplate && bit != 0 && (controlTemplate->GetOptions() & bit) == bit;
}

std::uint32_t Constant(const wchar_t* constantName)
{
    return CQZSymbolicConstants::Instance().Lookup(constantName).value_or(0);
}

} // namespace qz::gui
