// Scales the style's fixed sizes (check marks, scroll bars, spacing) for a
// dialog laid out at another DPI than the screen's, as the controls of a
// DPI-aware Windows dialog grow with the system DPI.
#pragma once

#include <QProxyStyle>

namespace qz::platform {

class DialogStyle : public QProxyStyle {
  public:
    /// The shared style for dialogs at `dpi` on a screen of `screenDpi`, or
    /// null when the two agree. Styles live as long as the process.
    static QStyle* ForDpi(int dpi, int screenDpi);

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

  private:
    DialogStyle(int dpi, int screenDpi);
    int dpi_;
    int screenDpi_;
};

} // namespace qz::platform
