// The common base of the update library's dialogs: the template in the
// user's language, the look from a definition file in the skin folder, the
// DPI of the screen (capped) and the product name in the texts.
#pragma once

#include "gui/BeautyDialog.h"
#include "osal/QzPath.h"

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <cstdint>
#include <string>

class CBaseDlg : public CQZ_BeautyDialog {
  public:
    /// The window system's BOOL, for the OnInitDialog of derived dialogs.
    using BOOL = qz::platform::BOOL;

    /// The highest DPI the dialogs scale to (96 * 7 / 4).
    static constexpr std::uint32_t kMaxDpi = 168;

    /// `configuration` and `parent` may be null; `templateId` is not kept
    /// (GetTemplateID answers it).
    CBaseDlg(QzAutoUpdate::CUpdateConfiguration2* configuration, std::uint32_t templateId,
             qz::platform::CWnd* parent);
    ~CBaseDlg() override;

    /// The template in the current language (then English (United Kingdom),
    /// then any); -1 when it cannot be found or loaded.
    std::intptr_t DoModal() override;
    /// Registers the controls, loads the definition file, stretches the
    /// main-area frame; concrete dialogs call it first.
    BOOL OnInitDialog() override;

    /// The folder whose "Dialogs" sub-folder holds the definition files.
    QzOSAL::QzPath GetSkinFolder() const;
    /// The DPI the dialog scales to.
    int GetDpi() const { return static_cast<int>(dpi_); }
    /// Measures the screen's DPI again (96 when it cannot, at most kMaxDpi).
    void MeasureDpi();

    /// Replaces every "$TAVOR$" in the control's text by the product name.
    void ReplaceProductPlaceholder(qz::platform::CWnd* control);
    /// Shows or hides item `id`; no item, nothing done.
    void ShowControl(int id, bool show);
    /// Sets the check mark of item `id` when it is a CQZ_UniButton.
    void SetCheck(int id, bool checked);
    /// Makes item `id` high enough for its wrapped text: what lies below it
    /// moves down and the dialog grows by as much. Returns the growth in
    /// pixels (0 when the text fits or there is no item).
    int FitTextHeight(int id);
    /// Moves every item whose top is at `y` or below by `dy` pixels and
    /// makes the dialog `dy` higher (lower for a negative `dy`).
    void ShiftBelow(int y, int dy);

    /// The host's configuration; null when there is none.
    QzAutoUpdate::CUpdateConfiguration2* GetConfiguration() const { return configuration_; }

  protected:
    /// Hands the designer the dialog's control names, IDs and members.
    virtual void RegisterControls() = 0;
    /// The definition file's name inside the skin's "Dialogs" folder.
    virtual std::wstring GetDefinitionFileName() const = 0;
    /// The resource ID of the dialog template.
    virtual std::uint32_t GetTemplateID() const = 0;

    QzAutoUpdate::CUpdateConfiguration2* configuration_;
    std::wstring placeholder_;
    qz::platform::CWnd* parent_;
    std::uint32_t dpi_ = 96;
};
