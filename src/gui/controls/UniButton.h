// A skinned push button or check box drawn from its template's standard,
// pressed, hilite and disabled images.
#pragma once

#include "gui/controls/SkinnedControl.h"

class CQZ_UniButton : public CQZ_SkinnedControl {
  public:
    CQZ_UniButton();
    ~CQZ_UniButton() override;

    void ApplyTemplate(const CQZControlTemplate* controlTemplate) override;

    /// Sets the check mark; with `redraw` the button repaints at once.
    void SetCheck(bool checked, bool redraw = true);
    bool GetCheck() const;
    /// True when the button toggles (a check box by style or template).
    bool IsCheckBox() const;

  protected:
    const wchar_t* WindowClassName() const override { return L"Button"; }
    void OnAttached() override;

  private:
    struct Skin;
    std::unique_ptr<Skin> skin_;
};
