// A modal dialog from a dialog resource whose look and child controls come
// from a dialog definition file and its control templates.
#pragma once

#include "gui/BeautyDialogDesigner.h"
#include "platform/window/Dialog.h"

#include <cstdint>
#include <memory>
#include <string>

/// Told when a skinned button of the dialog is clicked or toggled.
class CQZ_UniButtonListener {
  public:
    virtual ~CQZ_UniButtonListener() = default;
};

// IDesignedDialog comes before the designer, so that what the designer does
// while it is destroyed still reaches this dialog's answers.
class CQZ_BeautyDialog : public qz::platform::CDialog,
                         public CQZ_UniButtonListener,
                         public IDesignedDialog,
                         public CQZ_BeautyDialogDesigner {
  public:
    // Run-time behaviour flags from the dialog template's "flags" key (the
    // values of the constant table).
    static constexpr std::uint32_t QZBDLG_FLG_HANDLE_KEYS = 2U;
    static constexpr std::uint32_t QZBDLG_FLG_DONOTSWALLOWKEYS = 32768U;
    static constexpr std::uint32_t QZBDLG_FLG_DO_NOT_CLOSE_ON_ESCAPE = 0x04000000U;
    static constexpr std::uint32_t QZBDLG_FLG_MEASUREPOPUPITEMS = 0x00040000U;
    static constexpr std::uint32_t QZBDLG_FLG_APPWINDOW = 0x08000000U;
    static constexpr std::uint32_t QZBDLG_FLG_CLOSE_BUTTON = 32U;
    static constexpr std::uint32_t QZBDLG_FLG_NO_DPI_ADAPTION = 0x40000000U;

    /// A dialog from resource `templateId` skinned by `definitionFile` (a
    /// path; empty when the dialog calls Load itself). `creationFlags` are
    /// the behaviour flags until the dialog template's "flags" replace them.
    CQZ_BeautyDialog(std::uint32_t templateId, std::wstring definitionFile, std::uint32_t creationFlags,
                     qz::platform::CWnd* parent = nullptr);
    ~CQZ_BeautyDialog() override;

    /// Applies the run-time flags of the dialog template.
    qz::platform::BOOL OnInitDialog() override;
    void OnCancel() override;

    /// With flag 1 shows "text1text2" in a message box; with flag 2 ends the
    /// dialog with 2. False, unless `code` is non-zero (then true, nothing
    /// done).
    bool ReportError(std::uint32_t code, std::uint32_t flags, const std::wstring& text1,
                     const std::wstring& text2);

    /// The behaviour flags in force (from the applied dialog template).
    std::uint32_t GetDialogFlags() const { return dialogFlags_; }
    void SetDialogFlags(std::uint32_t flags) { dialogFlags_ = flags; }
    const std::wstring& GetDefinitionFile() const { return definitionFile_; }

    /// Offered every key-down when QZBDLG_FLG_HANDLE_KEYS is set; true when
    /// the key was used.
    virtual bool HandleKey(std::uint32_t virtualKey);

    /// Whether this dialog adapts to DPI (CQZDpiState's scaling on and not
    /// QZBDLG_FLG_NO_DPI_ADAPTION).
    bool AdaptsToDpi() const override;

    /// Takes the behaviour flags ("flags", when the template gives them)
    /// and the look (background colour and image) from the dialog's
    /// template; null keeps the flags and the plain look.
    void ApplyDialogTemplate(const CQZControlTemplate* dialogTemplate) override;
    /// The background colour in force (0x00BBGGRR), or -1 for none.
    long long GetBackgroundColor() const { return backgroundColor_; }
    /// Whether a background image was loaded.
    bool HasBackgroundImage() const;

  protected:
    qz::platform::CWnd& GetDialogWnd() override { return *this; }
    /// QZBDLG_FLG_CLOSE_BUTTON.
    bool WantsCloseButton() const override;

    qz::platform::LRESULT WindowProc(qz::platform::UINT msg, qz::platform::WPARAM wParam,
                                     qz::platform::LPARAM lParam) override;

  private:
    struct Look;
    class Events;
    friend class Events;

    /// The dialog's own key handling in front of the dialog manager's; true
    /// when the key is used up.
    bool FilterKey(std::uint32_t virtualKey);

    std::wstring definitionFile_;
    std::uint32_t creationFlags_;
    std::uint32_t dialogFlags_ = 0;
    long long backgroundColor_ = -1;
    std::unique_ptr<Look> look_;
};
