#include "platform/window/DialogStyle.h"

#include "platform/WinUser.h"

#include <map>
#include <mutex>
#include <utility>

namespace qz::platform {

DialogStyle::DialogStyle(int dpi, int screenDpi) : dpi_(dpi), screenDpi_(screenDpi) {}

QStyle* DialogStyle::ForDpi(int dpi, int screenDpi)
{
    if (dpi <= 0 || screenDpi <= 0 || dpi == screenDpi) {
        return nullptr;
    }
    static std::mutex mutex;
    // Styles serve widgets until the process ends, like the application
    // object; the table is never destroyed, so they stay reachable.
    static auto* styles = new std::map<std::pair<int, int>, DialogStyle*>;
    std::lock_guard<std::mutex> lock(mutex);
    DialogStyle*& style = (*styles)[{dpi, screenDpi}];
    if (!style) {
        style = new DialogStyle(dpi, screenDpi);
    }
    return style;
}

int DialogStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    const int base = QProxyStyle::pixelMetric(metric, option, widget);
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
    case PM_ScrollBarExtent:
    case PM_ScrollBarSliderMin:
    case PM_CheckBoxLabelSpacing:
    case PM_RadioButtonLabelSpacing:
    case PM_ButtonMargin:
        return MulDiv(base, dpi_, screenDpi_);
    default:
        return base;
    }
}

} // namespace qz::platform
