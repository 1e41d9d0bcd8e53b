#include "platform/window/DialogUnits.h"

#include <QFontMetrics>

#include <algorithm>

namespace qz::platform {

QFont DialogFont(const DialogTemplate& t, int dpi)
{
    const bool hasFont = (t.style & DS_SETFONT) != 0;
    // 0x7FFF asks for the system's message font; 9 points is its usual size.
    int points = hasFont ? (t.pointSize == 0x7FFF ? 9 : t.pointSize) : 8;
    QString family =
        hasFont && !t.typeface.empty() ? QString::fromStdWString(t.typeface) : QStringLiteral("MS Shell Dlg");
    QFont font(family);
    // The Windows faces are absent here; fontconfig picks the sans serif
    // that stands in for them.
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, MulDiv(points, dpi, 72)));
    if (hasFont && t.weight != 0) {
        font.setWeight(static_cast<QFont::Weight>(std::clamp<int>(t.weight, 100, 900)));
    }
    font.setItalic(hasFont && t.italic != 0);
    return font;
}

POINT DialogBaseUnits(const QFont& font)
{
    QFontMetrics metrics(font);
    const int width =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return POINT{(width / 26 + 1) / 2, metrics.height()};
}

} // namespace qz::platform
