// A skinned meter drawn as a progress bar from its template's images.
#pragma once

#include "gui/controls/SkinnedControl.h"

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

  protected:
    const wchar_t* WindowClassName() const override { return L"msctls_progress32"; }
    void OnAttached() override;

  private:
    struct Skin;
    std::unique_ptr<Skin> skin_;
};
