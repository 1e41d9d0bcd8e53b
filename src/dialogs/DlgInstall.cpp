#include "dialogs/DlgInstall.h"

#include "dialogs/res/resource.h"

using namespace qz::platform;

BEGIN_MESSAGE_MAP(CDlgInstall, CBaseDlg)
ON_BN_CLICKED(IDC_BTN_LATER, OnLater)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDlgInstall::CDlgInstall(QzAutoUpdate::CUpdateConfiguration2* configuration, CWnd* parent)
    : CBaseDlg(configuration, IDD_INSTALL, parent)
{
}

CDlgInstall::~CDlgInstall() = default;

std::uint32_t CDlgInstall::GetTemplateID() const
{
    return IDD_INSTALL;
}

void CDlgInstall::RegisterControls()
{
    RegisterControl(L"IDC_BTN_LATER", IDC_BTN_LATER, nullptr, 0);
    RegisterControl(L"IDOK", IDOK, nullptr, 0);
    RegisterControl(L"IDCANCEL", IDCANCEL, nullptr, 0);
    RegisterControl(L"IDC_TXT_PRODUCT", IDC_TXT_PRODUCT, &productText_, 0);
    RegisterControl(L"IDC_TXT_INSTALL_WHEN", IDC_TXT_INSTALL_WHEN, nullptr, 0);
}

BOOL CDlgInstall::OnInitDialog()
{
    CBaseDlg::OnInitDialog();
    // Bind the headline when the skin did not already.
    if (!productText_.GetSafeHwnd()) {
        if (HWND item = qz::platform::GetDlgItem(m_hWnd, IDC_TXT_PRODUCT)) {
            productText_.SubclassControl(item);
        }
    }
    ReplaceProductPlaceholder(&productText_);
    FitTextHeight(IDC_TXT_PRODUCT);
    SetForegroundWindow();
    BringWindowToTop();
    return TRUE;
}

void CDlgInstall::OnOK()
{
    EndDialog(kInstallNow);
}

void CDlgInstall::OnLater()
{
    EndDialog(kInstallLater);
}

void CDlgInstall::OnCancel()
{
    EndDialog(kInstallCancelled);
}
