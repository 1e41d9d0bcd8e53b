// The read-only view of the CRM data file, opened from the update dialog so
// that the user sees what would be sent before agreeing to it.
#pragma once

#include "dialogs/BaseDlg.h"
#include "gui/controls/Edit.h"
#include "osal/QzPath.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CCRMViewer : public CBaseDlg {
  public:
    /// The most of the file that is shown; a larger file is cut there so
    /// that the text box stays usable.
    static constexpr std::size_t kMaxShownBytes = 8 * 1024 * 1024;

    /// Takes the file to show from the configuration (none without one).
    CCRMViewer(QzAutoUpdate::CUpdateConfiguration2* configuration, qz::platform::CWnd* parent);
    ~CCRMViewer() override;

    /// Fills the text box with the file's text.
    BOOL OnInitDialog() override;

    /// The file shown; empty when the host named none.
    const QzOSAL::QzPath& GetCrmFile() const { return crmFile_; }

    /// The text the box shows for `path`: the file read as ANSI text with
    /// Windows line ends, control characters made visible; empty when the
    /// file cannot be read.
    static std::wstring ReadCrmText(const QzOSAL::QzPath& path);

  protected:
    void RegisterControls() override;
    std::wstring GetDefinitionFileName() const override { return L"CRMViewer.ini"; }
    std::uint32_t GetTemplateID() const override;

  private:
    CQZ_Edit edit_;
    QzOSAL::QzPath crmFile_;
};
