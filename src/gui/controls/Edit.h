// A skinned edit control: single or multi-line, optionally read-only.
//
// The window style decides the kind; the template gives "font", the
// background colour "dialogColor", a background image "backgroundEditDib"
// (nine-part by "frameMargins") under the text, and the inner margin
// "border".
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
    QWidget* GetPaintTarget() const override;
    bool PaintSkin(QWidget* target, QPainter& painter) override;
    void OnDpiChanged() override;

  private:
    /// The template's font, colours and margins on the widget.
    void ApplyToWidget();
    bool HasBackgroundImage() const;

    struct Skin;
    std::unique_ptr<Skin> skin_;
};
