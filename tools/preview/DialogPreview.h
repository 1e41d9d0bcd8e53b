// One of the update dialogs in a chosen state, language and resolution,
// without a patch service: the real dialog is run with a configuration of
// the preview's own and no updater, walked into the state through its own
// message handlers, pictured and closed. For skin authors and for the tests
// that keep every state of every dialog readable.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

class CBaseDlg;

class CDialogPreview {
  public:
    /// Called while the dialog is in its state, just before the picture is
    /// taken: a test looks at the controls here.
    using Inspector = std::function<void(CBaseDlg& dialog)>;

    /// The product name that replaces the placeholder unless SetProductName
    /// names another.
    static constexpr const wchar_t* kProductName = L"QzDemo";
    /// The patch size the progress dialog counts against in its previews.
    static constexpr long long kPreviewPatchSize = 48'234'500;

    /// The dialogs a preview can show: "update", "progress", "install", "crm".
    static std::vector<std::wstring> Dialogs();
    /// The states of `dialog`, in the order a user meets them; empty for a
    /// name that is not one of Dialogs().
    static std::vector<std::wstring> States(const std::wstring& dialog);

    /// `language` is a code such as "en-GB" or "de_DE"; `dpi` is the display
    /// resolution the dialog believes it has (the dialogs scale to at most
    /// 168).
    CDialogPreview(std::wstring dialog, std::wstring state, std::wstring language, int dpi);
    ~CDialogPreview();
    CDialogPreview(const CDialogPreview&) = delete;
    CDialogPreview& operator=(const CDialogPreview&) = delete;

    /// The skin folder (the one holding "Dialogs/"); empty, the default is
    /// the folder beside the executable, as for a host.
    void SetSkinFolder(std::wstring folder) { skinFolder_ = std::move(folder); }
    /// The product name the dialogs show (see kProductName).
    void SetProductName(std::wstring name) { productName_ = std::move(name); }
    /// See Inspector; empty for none.
    void SetInspector(Inspector inspector) { inspector_ = std::move(inspector); }

    /// Runs the dialog into its state and writes its picture as a PNG to
    /// `pngPath` (nothing is written for an empty path). False with one line
    /// in `error` for an unknown dialog, state or language, a dialog that
    /// cannot be shown or closes early, or a file that cannot be written.
    /// Needs a GUI (an offscreen one will do). Sets and then clears the
    /// process-wide DPI override and the dialogs' configuration source, so
    /// it is not meant to run while an update shows its own dialogs; the
    /// language state goes back to the language set before, or stays at the
    /// preview's when none was, as after an update.
    bool Render(const std::wstring& pngPath, std::wstring& error);

    /// Size of the last picture in pixels (0 before one was taken).
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }

  private:
    std::wstring dialog_;
    std::wstring state_;
    std::wstring language_;
    int dpi_;
    std::wstring skinFolder_;
    std::wstring productName_ = kProductName;
    Inspector inspector_;
    int width_ = 0;
    int height_ = 0;
};
