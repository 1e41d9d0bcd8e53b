// The common ground of the skinned controls: a window object that is either
// created by the designer or bound to an item of a dialog resource, and that
// draws itself from a control template.
#pragma once

#include "platform/window/Wnd.h"

#include <memory>
#include <string>

class CQZControlTemplate;

class CQZ_SkinnedControl : public qz::platform::CWnd {
  public:
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

  protected:
    /// The window class of created controls ("Button", "Static", ...).
    virtual const wchar_t* WindowClassName() const = 0;
    /// Called once a window is attached (created or subclassed).
    virtual void OnAttached() {}
};

/// A new skinned control object for a definition file's type name
/// ("CQZ_UniButton", "CQZ_Static", "CQZ_Edit", "CQZ_PeakMeterCtrl", ...);
/// null for a type the library builds no skinned object for.
std::unique_ptr<CQZ_SkinnedControl> MakeSkinnedControl(const std::wstring& typeName);
