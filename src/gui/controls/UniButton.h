// A skinned push button or check box drawn from its template's standard,
// pressed, hilite and disabled images.
//
// A push button fills itself with the image of its state, nine-part
// stretched by "genericDrawing.borders" (or ".inner"); a check box or radio
// button draws that image as its box ("markerPlacement", else a 13-pixel
// square) with "markerButtonDib" over it when checked, or a drawn mark in
// "markerColor" inside "markerRect". "secondButtonDib" and "thirdButtonDib"
// go to their placements. Text: "font", "textOffset", "textColor",
// "pressedColor", "mouseOverColor"/"hiliteColor", "disabledColor", and the
// QZB_TEXT_*, QZB_MULTILINE, QZB_STATUS and QZB_NO_FOCUSFRAME flags.
#pragma once

#include "gui/controls/SkinnedControl.h"

class QImage;
class QRect;

class CQZ_UniButton : public CQZ_SkinnedControl {
  public:
    CQZ_UniButton();
    ~CQZ_UniButton() override;

    void ApplyTemplate(const CQZControlTemplate* controlTemplate) override;

    /// Sets the check mark; with `redraw` the button repaints at once.
    void SetCheck(bool checked, bool redraw = true);
    bool GetCheck() const;
    /// True while the dialog draws this push button as its default one.
    bool IsDrawnAsDefault() const;
    /// True when the button toggles (a check box by style or template).
    bool IsCheckBox() const;

  protected:
    const wchar_t* WindowClassName() const override { return L"Button"; }
    void OnAttached() override;
    bool PaintSkin(QWidget* target, QPainter& painter) override;
    void OnDpiChanged() override;

  private:
    /// Makes the widget toggle and take the template's font.
    void ApplyToWidget();
    /// The image of a state: the template's, else the file's default.
    std::shared_ptr<const QImage> StateImage(const wchar_t* key, const wchar_t* fileDefault, int dpi) const;
    /// The check box's square with its mark.
    void PaintBox(QPainter& painter, const QRect& boxRect, const QImage* stateImage, int dpi);
    void PaintText(QPainter& painter, QRect area, bool disabled, bool pressed, bool hover, bool box);
};
