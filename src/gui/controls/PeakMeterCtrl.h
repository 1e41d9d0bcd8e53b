// A skinned meter drawn as a progress bar from its template's images.
//
// "backgroundPeakmeterDib" is the track; "progressIndicationDib" (else
// "ledPeakmeterDib") is the fill, stretched over the track less the margins
// "progressIndicationDibPlacement" and uncovered left to right (bottom to
// top when the meter is taller than wide or made with PBS_VERTICAL).
#pragma once

#include "gui/controls/SkinnedControl.h"

class QRect;

class CQZ_PeakMeterCtrl : public CQZ_SkinnedControl {
  public:
    CQZ_PeakMeterCtrl();
    ~CQZ_PeakMeterCtrl() override;

    void ApplyTemplate(const CQZControlTemplate* controlTemplate) override;

    /// The value that fills the meter; 0 or less is taken as 1.
    void SetMaximum(double maximum);
    double GetMaximum() const;
    /// Clamped to 0..maximum; repaints when the drawn fill changes.
    void SetValue(double value);
    double GetValue() const;
    /// The length of the drawn fill in pixels, along the meter.
    int GetFillLength() const;

  protected:
    const wchar_t* WindowClassName() const override { return L"msctls_progress32"; }
    void OnAttached() override;
    bool PaintSkin(QWidget* target, QPainter& painter) override;

  private:
    /// Gives the window's own bar the meter's position, for the plain look.
    void SyncPosition();
    /// Taller than wide, or made with PBS_VERTICAL.
    bool IsVertical() const;
    /// The part of the control the fill covers when full.
    QRect FillArea() const;

    struct Skin;
    std::unique_ptr<Skin> skin_;
};
