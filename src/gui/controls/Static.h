// A skinned static text that can carry an animated icon.
//
// Drawn from "backgroundColor", "backgroundStaticDib" (nine-part by
// "genericStruct"; not with QZS_NO_BACKGRND or QZS_TRANSPARENT_BACKGRND),
// the text in "font"/"textHeight" and "activeColor" ("disabledColor" when
// disabled) inside "textOffset", aligned by "textFormat" (DT_ names) or the
// window style. The icon's frames are one image, "icon.svg.image" or else
// "iconStaticDib", cut into "iconCount" frames side by side (one above the
// other when the image is taller than wide); a frame is drawn at
// "iconPlacement" moved by "iconOffset" (else at the left, centred), and
// "iconAnimation" is the frame interval in milliseconds.
#pragma once

#include "gui/controls/SkinnedControl.h"

#include <cstdint>

class QImage;
class QRect;
class QSize;

/// What a control carrying an animated icon offers.
class IQZAnimatedIconControl {
  public:
    virtual ~IQZAnimatedIconControl() = default;
    /// Shows the first frame and advances on timer kAnimationTimerId.
    virtual void StartAnimation() = 0;
    /// Kills the timer and shows the first frame again.
    virtual void StopAnimation() = 0;
    virtual bool IsAnimating() const = 0;
};

class CQZ_Static : public CQZ_SkinnedControl, public IQZAnimatedIconControl {
  public:
    /// The frame timer of the animated icon.
    static constexpr std::uint32_t kAnimationTimerId = 6238;
    /// The frame interval when the skin gives none ("iconAnimation"), in
    /// milliseconds.
    static constexpr std::uint32_t kDefaultFrameInterval = 100;

    CQZ_Static();
    ~CQZ_Static() override;

    void ApplyTemplate(const CQZControlTemplate* controlTemplate) override;

    void StartAnimation() override;
    void StopAnimation() override;
    bool IsAnimating() const override;
    /// The frame shown now (0 is the first) and the number of frames.
    int GetFrameIndex() const;
    int GetFrameCount() const;
    /// The frame interval the skin gives, in milliseconds.
    std::uint32_t GetFrameInterval() const;

  protected:
    const wchar_t* WindowClassName() const override { return L"Static"; }
    void OnAttached() override;
    qz::platform::LRESULT WindowProc(qz::platform::UINT msg, qz::platform::WPARAM wParam,
                                     qz::platform::LPARAM lParam) override;
    bool PaintSkin(QWidget* target, QPainter& painter) override;
    void OnDpiChanged() override;

  private:
    /// The template's font (and "textHeight") on the widget, for the DPI.
    void ApplyToWidget();
    /// The file holding the icon's frames, or empty for no icon.
    std::wstring IconFile(const CQZControlTemplate& t) const;
    /// Qt's alignment and wrapping for the text, from the template or style.
    int TextFlags() const;
    /// Where the current frame is drawn; empty without an icon.
    QRect FrameRect(const QRect& all, int dpi) const;
    QSize FrameSize(const QImage& strip) const;
    void DrawFrame(QPainter& painter, const QRect& rect, int dpi) const;

    struct Skin;
    std::unique_ptr<Skin> skin_;
};
