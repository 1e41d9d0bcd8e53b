// CDialog: a window built from a dialog template, run modally in a nested
// event loop until EndDialog, or created modeless.
//
// Re-entrancy: while DoModal runs, every window of the thread keeps getting
// its messages, so a worker's posted message may be handled while a handler
// of the same dialog waits in a nested loop (another DoModal or MessageBox).
// Handlers must therefore leave the dialog's state consistent before they
// open a nested modal window. EndDialog only marks the end; the window is
// destroyed after the loop returns, so a handler may call EndDialog and go on
// using its controls until it returns.
#pragma once

#include "platform/RcDialogTemplate.h"
#include "platform/RcResourceTable.h"
#include "platform/window/Wnd.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace qz::platform {

class CDialog : public CWnd {
  public:
    /// A dialog whose template is set later with InitModalIndirect.
    CDialog();
    /// A dialog from the RT_DIALOG resource `templateId` of ModuleResources.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    /// Takes the template from binary DLGTEMPLATE(EX) data; false when it
    /// cannot be read.
    bool InitModalIndirect(std::span<const std::uint8_t> templateData, CWnd* parent = nullptr);
    /// Takes the template as it is.
    bool InitModalIndirect(const DialogTemplate& dialogTemplate, CWnd* parent = nullptr);

    /// The language in which a resource template is looked up (English
    /// (United Kingdom) unless set), with the Windows search order.
    void SetTemplateLanguage(LANGID language) { language_ = language; }
    /// The DPI the dialog is built and drawn at, fonts included; 0 (the
    /// default) follows the screen. Takes effect when the window is made.
    void SetLayoutDpi(int dpi) { layoutDpi_ = dpi > 0 ? dpi : 0; }
    /// Builds the dialog mirrored (WS_EX_LAYOUTRTL), as for a language read
    /// from right to left, whatever its template says.
    void SetLayoutRightToLeft(bool mirrored) { layoutRtl_ = mirrored; }

    /// Creates the dialog, calls OnInitDialog, shows it and runs until
    /// EndDialog; returns the code given to EndDialog, or -1 when the
    /// template is missing or no GUI can be had.
    virtual std::intptr_t DoModal();

    /// Creates the dialog without a modal loop (after OnInitDialog it is
    /// shown when its template says WS_VISIBLE). False on failure.
    bool Create(CWnd* parent = nullptr);

    /// Ends a modal dialog with `result`; a second call keeps the first code.
    void EndDialog(int result);

    /// Sets up the controls; TRUE lets the dialog manager focus the first
    /// tab stop.
    virtual BOOL OnInitDialog();
    /// IDOK: ends the dialog with IDOK.
    virtual void OnOK();
    /// IDCANCEL, Escape and the close box: ends the dialog with IDCANCEL.
    virtual void OnCancel();

    /// The ID of the default button (Enter).
    int GetDefID() const { return qz::platform::GetDefID(m_hWnd); }
    /// Makes another button the default one.
    void SetDefID(int id) { qz::platform::SetDefID(m_hWnd, id); }

  protected:
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    /// The owner given to the constructor or InitModalIndirect; may be null.
    CWnd* m_pParentWnd = nullptr;
    UINT m_nIDHelp = 0;

    DECLARE_MESSAGE_MAP()

  private:
    bool CreateWindowFromTemplate(CWnd* parent);
    UINT templateId_ = 0;
    LANGID language_ = kFallbackLanguage;
    int layoutDpi_ = 0;
    bool layoutRtl_ = false;
    std::optional<DialogTemplate> template_;
};

} // namespace qz::platform
