// A skinned edit control: single or multi-line, optionally read-only.
#pragma once

#include "gui/controls/SkinnedControl.h"

class CQZ_Edit : public CQZ_SkinnedControl {
  public:
    CQZ_Edit();
    ~CQZ_Edit() override;

    void ApplyTemplate(const CQZControlTemplate* controlTemplate) override;

  protected:
    const wchar_t* WindowClassName() const override { return L"Edit"; }
    void OnAttached() override;

  private:
    struct Skin;
    std::unique_ptr<Skin> skin_;
};
