// The common ground of the skinned controls: a window object that is either
// created by the designer or bound to an item of a dialog resource, and that
// draws itself from a control template.
#pragma once

#include "platform/window/Wnd.h"

#include <memory>
#include <string>

class CQZControlTemplate;
class CQZControlTemplateFile;
class QPainter;
class QWidget;

class CQZ_SkinnedControl : public qz::platform::CWnd {
  public:
    CQZ_SkinnedControl();
    ~CQZ_SkinnedControl() override;

    /// Creates the control's window as a child of `parent`; `rect` is in
    /// device pixels of the parent's client area.
    virtual bool CreateControl(qz::platform::HWND parent, int id, const std::wstring& text,
                               qz::platform::DWORD style, qz::platform::DWORD exStyle,
                               const qz::platform::RECT& rect);
    /// Binds the object to an existing dialog item and skins it.
    virtual bool SubclassControl(qz::platform::HWND item);
    /// Takes images, colours and fonts from `controlTemplate` (null: the
    /// plain look) and repaints.
    virtual void ApplyTemplate(const CQZControlTemplate* controlTemplate) = 0;
    /// The file the template comes from, kept alive with the control: a
    /// state image a template leaves to the default ("dibStandard") is then
    /// taken from the file's own default for that state ("dibPressed",
    /// "dibHilite", "dibDisabled").
    void SetTemplateFile(std::shared_ptr<const CQZControlTemplateFile> file);

    /// The widget behind the control's window, null before one is attached;
    /// for painting code and tests that drive the control with Qt.
    QWidget* GetWidget() const;
    /// The display resolution the control is drawn for.
    int GetDpi() const;
    /// Whether the mouse is over the control.
    bool IsHovered() const { return hovered_; }

  protected:
    /// The window class of created controls ("Button", "Static", ...).
    virtual const wchar_t* WindowClassName() const = 0;
    /// Called once a window is attached (created or subclassed).
    virtual void OnAttached() {}
    /// The widget whose paint events carry the skin (a scroll area's
    /// viewport rather than the area itself).
    virtual QWidget* GetPaintTarget() const { return GetWidget(); }
    /// Paints the skin on `target`; true when that is the whole picture and
    /// the widget's own painting is to be skipped, false to let the widget
    /// paint over what was drawn.
    virtual bool PaintSkin(QWidget* target, QPainter& painter);
    /// The resolution changed since the last paint: fonts and sizes are to
    /// be taken again.
    virtual void OnDpiChanged() {}
    /// Asks for a repaint.
    void UpdateSkin();
    /// Null when none was set.
    const CQZControlTemplateFile* GetTemplateFile() const { return templateFile_.get(); }
    /// Keeps a copy of `controlTemplate` (null: none), so the control does
    /// not depend on how long its template file lives.
    void StoreTemplate(const CQZControlTemplate* controlTemplate);
    /// The stored template; null for the plain look.
    const CQZControlTemplate* Template() const { return template_.get(); }
    /// Whether the template's "flags" word holds the constant `name`.
    bool HasFlag(const wchar_t* name) const;

  private:
    class SkinEventFilter;
    friend class SkinEventFilter;

    /// Installs the painting on the widget of an attached window.
    void InstallSkin();
    /// Calls OnDpiChanged when the resolution is not the one last drawn for.
    void CheckDpi();

    std::shared_ptr<const CQZControlTemplateFile> templateFile_;
    std::unique_ptr<CQZControlTemplate> template_;
    SkinEventFilter* filter_ = nullptr;
    bool hovered_ = false;
    int paintedDpi_ = 0;
};

/// A new skinned control object for a definition file's type name
/// ("CQZ_UniButton", "CQZ_Static", "CQZ_Edit", "CQZ_PeakMeterCtrl", ...);
/// null for a type the library builds no skinned object for.
std::unique_ptr<CQZ_SkinnedControl> MakeSkinnedControl(const std::wstring& typeName);
