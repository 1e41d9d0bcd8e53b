// Drawing helpers the skinned controls share: template values (96-DPI
// rectangles, colour references, logical fonts) turned into Qt terms for
// the display's resolution, and images stretched into a rectangle. Only the
// controls' sources include this header.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMargins>
#include <QRect>

#include <memory>
#include <string>

#include "config/LogFont.h"
#include "config/QZLegacyIniFileSupport.h"
#include "platform/WinUser.h"

class CQZControlTemplate;
class QPainter;
struct QzTemplateImageGroup;

namespace qz::gui {

/// A template value of 96-DPI units at `dpi`.
int ScaleForDpi(int value, int dpi);
/// A template rectangle read as a rectangle, at `dpi`.
QRect ScaleRect(const qz::platform::RECT& rect, int dpi);
/// A template rectangle read as four margins (left, top, right, bottom), at `dpi`.
QMargins ScaleMargins(const qz::platform::RECT& rect, int dpi);

/// A colour reference (red + green * 256 + blue * 65536 + alpha * 2^24);
/// an alpha of 0 means opaque, as colour values without a fourth number
/// are meant.
QColor ColorFromRef(QzColorRef color);

/// The font a logical font describes, its height (96-DPI pixels) scaled to
/// `dpi`. Only what the logical font gives is set, so that a widget given
/// the result takes the rest (a face left empty, say) from its parent.
QFont FontFromLogFont(const LOGFONTW& font, int dpi);

/// The nine-part borders of an image group, in 96-DPI pixels of the
/// image: "borders" as edge widths, else the margins "inner" leaves
/// around the centre of an image of `imageSize` (96-DPI); null margins
/// when the group gives neither (the image is then simply stretched).
QMargins NinePartBorders(const QzTemplateImageGroup* group, QSize imageSize96);

/// NinePartBorders for `image` loaded at `dpi`, in pixels of that image.
QMargins ScaledBorders(const QzTemplateImageGroup* group, const QImage& image, int dpi);

/// Draws `image` into `target`. With `borders` (in pixels of `image`, which
/// are also target pixels) the corners keep their size, the edges stretch
/// along their side and the centre both ways; without, the whole image is
/// stretched. Borders that do not fit the target shrink evenly.
void DrawSkinImage(QPainter& painter, const QImage& image, const QRect& target, QMargins borders = {});

/// The image a template key names, at `dpi`; empty when the key is absent or
/// its file cannot be read.
std::shared_ptr<const QImage> TemplateImage(const CQZControlTemplate* controlTemplate, const wchar_t* key,
                                            int dpi);

/// Whether `controlTemplate` has `bit` (a constant name) in its option word.
bool HasOption(const CQZControlTemplate* controlTemplate, const wchar_t* constantName);
/// The value of a symbolic constant (0 when unknown).
std::uint32_t Constant(const wchar_t* constantName);

} // namespace qz::gui
