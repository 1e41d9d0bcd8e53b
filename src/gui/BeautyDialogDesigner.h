// The window side of a dialog definition file: the control registry, the
// creation or subclassing of the controls the file lists, the layout from its
// alignment sections, and the listeners told about loading. The file side
// (finding, reading, writing back) is CQZDialogDefinition.
#pragma once

#include "gui/DialogDefinition.h"
#include "platform/window/Wnd.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CQZLayoutManager;
class CQZ_SkinnedControl;

/// What the designer asks of the dialog it skins. The dialog implements it,
/// so the designer needs no knowledge of the dialog class built on it.
class IDesignedDialog {
  public:
    /// The dialog's window.
    virtual qz::platform::CWnd& GetDialogWnd() = 0;
    /// Whether positions of the file are 96-DPI units to be scaled.
    virtual bool AdaptsToDpi() const = 0;
    /// Takes the look and behaviour flags of the dialog's template (null
    /// when the file names none or it was not found).
    virtual void ApplyDialogTemplate(const CQZControlTemplate* dialogTemplate) = 0;
    /// Asked after ApplyDialogTemplate: whether the designer adds a close button.
    virtual bool WantsCloseButton() const = 0;

  protected:
    ~IDesignedDialog() = default;
};

/// Told about a designer's loading.
class CQZ_BeautyDialogDesignerListener {
  public:
    virtual ~CQZ_BeautyDialogDesignerListener() = default;
    /// The [dialog] section named the dialog.
    virtual void OnDialogName(const std::wstring& /*name*/) {}
    /// Loading has ended; `ok` is Load's answer.
    virtual void OnLoadEnded(bool /*ok*/) {}
};

/// The listener list of a designer.
class CQZ_BeautyDialogDesignerListenerAccu {
  public:
    void AddDesignerListener(CQZ_BeautyDialogDesignerListener* listener);
    void RemoveDesignerListener(CQZ_BeautyDialogDesignerListener* listener);

  protected:
    void NotifyDialogName(const std::wstring& name);
    void NotifyLoadEnded(bool ok);

  private:
    std::vector<CQZ_BeautyDialogDesignerListener*> listeners_;
};

class CQZ_BeautyDialogDesigner : public CQZ_BeautyDialogDesignerListenerAccu, public CQZDialogDefinition {
  public:
    /// The ID the registry answers for an unknown name.
    static constexpr std::uint32_t kNoControlId = 0xFFFFFFFFU;
    /// Free IDs are searched from here up to kLastFreeControlId.
    static constexpr std::uint32_t kFirstFreeControlId = 101;
    static constexpr std::uint32_t kLastFreeControlId = 0xE000;

    CQZ_BeautyDialogDesigner();
    ~CQZ_BeautyDialogDesigner() override;

    /// Finds, reads and applies `fileName` to `dialog`; false when the
    /// dialog has no window or the file cannot be found or read.
    bool Load(const std::wstring& folder, const std::wstring& fileName, IDesignedDialog* dialog);
    /// Creates or subclasses the control of record `index`; false when it
    /// was not built.
    virtual bool CreateControl(std::size_t index);

    // The control registry: names in registration order.
    bool RegisterControl(const std::wstring& name, std::uint32_t id, qz::platform::CWnd* member,
                         std::uintptr_t userValue);
    bool UnregisterControl(const std::wstring& name, std::uint32_t id);
    std::uint32_t GetControlId(const std::wstring& name) const;
    /// Null when no record has `id`.
    const wchar_t* GetControlName(std::uint32_t id) const;
    /// The registered member, else the object behind the dialog's item of
    /// the name's ID, else null.
    qz::platform::CWnd* FindControl(const std::wstring& name) const;
    std::uintptr_t GetControlUserValue(const std::wstring& name) const;

    /// A control section of a type this library does not know: the dialog
    /// may create it and hand back its window and ID (true when it did).
    /// `rect` is as the file gives it, in 96-DPI units when adapting to DPI.
    virtual bool CreateCustomControl(const std::wstring& name, const std::wstring& type,
                                     const qz::platform::RECT& rect, bool create,
                                     const CQZControlTemplate* controlTemplate, qz::platform::HWND* window,
                                     std::uint32_t* id);
    /// A record of type "unknown": the dialog's object for `name`, or null.
    virtual qz::platform::CWnd* LookupCustomControl(const std::wstring& name);

    /// A record of type "unknown" is written back with the type the dialog
    /// names here ("unknown" unless it knows better).
    virtual std::wstring GetUnknownControlType(const std::wstring& name) const;

    /// Moves and sizes the controls by the alignment rules; the dialog
    /// calls it whenever its size changes.
    void ApplyLayout();

    /// A rectangle of the file in device pixels (scaled by dpi / 96 when
    /// the dialog adapts to DPI), and back.
    qz::platform::RECT ToDevice(const QzDialogRect& rect) const;
    QzDialogRect FromDevice(const qz::platform::RECT& rect) const;

    /// The ID of the close button made for QZBDLG_FLG_CLOSE_BUTTON; 0 when
    /// there is none.
    std::uint32_t GetCloseButtonId() const { return closeButtonId_; }

    /// The layout made at load time; null before.
    CQZLayoutManager* GetLayoutManager() const { return layout_.get(); }
    /// The dialog being skinned; null before Load.
    qz::platform::CWnd* GetDesignedWindow() const { return window_; }
    /// The window handle the last Load worked on (null before), so that a
    /// dialog shown again knows it has not been skinned yet.
    qz::platform::HWND GetLoadedWindowHandle() const { return loadedWindow_; }

    /// Process-wide: the number of definition files kept open (readers are
    /// closed, least recently used first, down to 80 % of it).
    static void SetDefinitionPoolLimit(std::size_t limit);
    static std::size_t GetDefinitionPoolLimit();
    /// Number of readers in the pool now.
    static std::size_t GetDefinitionPoolSize();

  protected:
    void OnDialogSectionRead() override;
    void OnTemplateFilesLoaded() override;
    QzDialogRect GetSavedDialogPosition() const override;
    QzDialogRect GetSavedControlPosition(const QzDialogControlRecord& record) const override;
    std::wstring GetSavedControlType(const QzDialogControlRecord& record) const override;

  private:
    struct NameRecord {
        std::wstring name;
        std::uint32_t id;
        qz::platform::CWnd* member;
        std::uintptr_t userValue;
    };
    std::vector<NameRecord> names_;
    IDesignedDialog* dialog_ = nullptr;
    qz::platform::CWnd* window_ = nullptr;
    std::unique_ptr<CQZLayoutManager> layout_;
    // Skinned control objects the designer made for items without a member.
    std::vector<std::unique_ptr<qz::platform::CWnd>> ownedControls_;
    std::uint32_t closeButtonId_ = 0;
    qz::platform::HWND loadedWindow_ = nullptr;

    bool ScalesToDpi() const;
    std::uint32_t FindFreeControlId() const;
    const NameRecord* FindName(const std::wstring& name) const;
    bool CreateCustom(QzDialogControlRecord& record, const CQZControlTemplate* controlTemplate);
    qz::platform::CWnd* BuildWindow(QzDialogControlRecord& record, std::uint32_t id,
                                    const CQZControlTemplate* controlTemplate);
    void CreateCloseButton(const CQZControlTemplate* dialogTemplate);
    void PlaceCloseButton();
    void ReadAlignmentRules(CQZIniFileReader& reader);
    void SizeDialog();
    void HideUnlistedControls();
    qz::platform::HWND ResolveControl(const std::wstring& name) const;
};
