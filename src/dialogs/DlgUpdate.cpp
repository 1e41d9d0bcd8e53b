#include "dialogs/DlgUpdate.h"

#include "dialogs/CRMViewer.h"
#include "dialogs/Languages.h"
#include "dialogs/res/resource.h"
#include "gui/controls/UniButton.h"
#include "osal/QzURL.h"

#include <algorithm>
#include <utility>
#include <vector>

using namespace qz::platform;

namespace {

constexpr int kEndUpdateNow = 0;
constexpr int kEndNoUpdate = 1;
// Added to the dialog's height (at 96 DPI) when the description is shown.
constexpr int kDescriptionHeight = 200;
// The widest gap, in dialog units, left between two visible rows of the
// patch-available state; the templates leave room there for the waiting
// and no-patch texts.
constexpr int kRowGap = 10;

}  // namespace

BEGIN_MESSAGE_MAP(CDlgUpdate, CBaseDlg)
ON_COMMAND(IDC_BTN_SHOW_CRM, OnShowCrm)
ON_COMMAND(IDC_BTN_WHATS_NEW, OnWhatsNew)
ON_MESSAGE(WM_UPDATE_QUERY_DONE, OnQueryDone)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDlgUpdate::CDlgUpdate(QzAutoUpdate::CUpdateConfiguration2* configuration, IUpdateSteps& steps, CWnd* parent)
    : CBaseDlg(configuration, IDD_UPDATE, parent), steps_(steps)
{
}

CDlgUpdate::~CDlgUpdate() = default;

void CDlgUpdate::RegisterControls()
{
    RegisterControl(L"IDOK", IDOK, nullptr, 0);
    RegisterControl(L"IDCANCEL", IDCANCEL, nullptr, 0);
    RegisterControl(L"IDC_BTN_SHOW_CRM", IDC_BTN_SHOW_CRM, nullptr, 0);
    RegisterControl(L"IDC_BTN_WHATS_NEW", IDC_BTN_WHATS_NEW, nullptr, 0);
    RegisterControl(L"IDC_CHECK_DONT_SHOW_AGAIN", IDC_CHECK_DONT_SHOW_AGAIN, nullptr, 0);
    RegisterControl(L"IDC_CHECK_SEND_CRM_DATA", IDC_CHECK_SEND_CRM_DATA, nullptr, 0);
    RegisterControl(L"IDC_ACTIVITY", IDC_ACTIVITY, &activity_, 0);
    RegisterControl(L"IDC_TXT_NO_PATCH_AVAILABLE", IDC_TXT_NO_PATCH_AVAILABLE, &noPatchText_, 0);
    RegisterControl(L"IDC_TXT_PLEASE_WAIT", IDC_TXT_PLEASE_WAIT, nullptr, 0);
    RegisterControl(L"IDC_TXT_PRODUCT", IDC_TXT_PRODUCT, &productText_, 0);
    RegisterControl(L"IDC_TXT_UPDATE", IDC_TXT_UPDATE, nullptr, 0);
    RegisterControl(L"IDC_TXT_WAIT", IDC_TXT_WAIT, nullptr, 0);
    RegisterControl(L"IDC_BROWSER", IDC_BROWSER, nullptr, 0);
}

void CDlgUpdate::BindControls()
{
    // The two texts are bound to their template items even when the
    // definition file does not list them, as data exchange does.
    for (const auto& [member, id] : {std::pair<CQZ_Static*, int>{&noPatchText_, IDC_TXT_NO_PATCH_AVAILABLE},
                                     std::pair<CQZ_Static*, int>{&productText_, IDC_TXT_PRODUCT}}) {
        if (member->GetSafeHwnd() == nullptr) {
            if (HWND item = ::qz::platform::GetDlgItem(m_hWnd, id))
                member->SubclassControl(item);
        }
    }
    // Without a skin the boxes would be plain buttons whose state nobody
    // reads; the user's choices count all the same.
    for (const auto& [box, id] : {std::pair<CQZ_UniButton*, int>{&dontShowAgainBox_, IDC_CHECK_DONT_SHOW_AGAIN},
                                  std::pair<CQZ_UniButton*, int>{&sendCrmBox_, IDC_CHECK_SEND_CRM_DATA}}) {
        const HWND item = ::qz::platform::GetDlgItem(m_hWnd, id);
        if (item && !dynamic_cast<CQZ_UniButton*>(CWnd::FromHandle(item)))
            box->SubclassControl(item);
    }
}

BOOL CDlgUpdate::OnInitDialog()
{
    CBaseDlg::OnInitDialog();
    BindControls();
    ReplaceProductPlaceholder(&noPatchText_);
    ReplaceProductPlaceholder(&productText_);
    // A long product name wraps into lines the templates have no room for,
    // and scripts with tall letters or long words outgrow the Latin lines.
    for (const int id : {IDC_TXT_PRODUCT, IDC_TXT_UPDATE, IDC_TXT_NO_PATCH_AVAILABLE, IDC_TXT_PLEASE_WAIT})
        FitTextHeight(id);
    ShowWaiting();
    if (activity_.GetSafeHwnd())
        activity_.StartAnimation();
    steps_.StartPatchCheck(this);
    SetForegroundWindow();
    BringWindowToTop();
    return TRUE;
}

void CDlgUpdate::ShowWaiting()
{
    for (const int id : {IDOK, IDCANCEL, IDC_BTN_SHOW_CRM, IDC_BTN_WHATS_NEW, IDC_CHECK_DONT_SHOW_AGAIN,
                         IDC_CHECK_SEND_CRM_DATA, IDC_TXT_PRODUCT, IDC_TXT_UPDATE, IDC_TXT_NO_PATCH_AVAILABLE,
                         IDC_BROWSER})
        ShowControl(id, false);
    for (const int id : {IDC_ACTIVITY, IDC_TXT_WAIT, IDC_TXT_PLEASE_WAIT})
        ShowControl(id, true);
}

void CDlgUpdate::ShowPatchAvailable()
{
    for (const int id : {IDOK, IDCANCEL, IDC_BTN_SHOW_CRM, IDC_BTN_WHATS_NEW, IDC_TXT_PRODUCT, IDC_TXT_UPDATE})
        ShowControl(id, true);
    if (configuration_)
        ShowControl(IDC_CHECK_DONT_SHOW_AGAIN, configuration_->IsDontShowAgainVisible());
    for (const int id :
         {IDC_TXT_NO_PATCH_AVAILABLE, IDC_BROWSER, IDC_ACTIVITY, IDC_TXT_WAIT, IDC_TXT_PLEASE_WAIT})
        ShowControl(id, false);
    patchAvailable_ = true;
    if (configuration_)
        UpdateCrmControls();
    CloseEmptyRows();
}

void CDlgUpdate::CloseEmptyRows()
{
    RECT gap{0, 0, 0, kRowGap};
    ::qz::platform::MapDialogRect(m_hWnd, &gap);
    std::vector<RECT> shown;
    for (HWND child : ::qz::platform::GetChildWindows(m_hWnd)) {
        if (!::qz::platform::IsWindowVisible(child))
            continue;
        RECT rect{};
        ::qz::platform::GetWindowRect(child, &rect);
        ::qz::platform::MapWindowRect(nullptr, m_hWnd, &rect);
        shown.push_back(rect);
    }
    std::sort(shown.begin(), shown.end(), [](const RECT& a, const RECT& b) { return a.top < b.top; });
    int moved = 0;
    int reached = shown.empty() ? 0 : shown.front().bottom;
    for (const RECT& rect : shown) {
        const int top = rect.top - moved;
        if (top - reached > gap.bottom) {
            const int band = top - reached - gap.bottom;
            ShiftBelow(top, -band);
            moved += band;
        }
        reached = std::max(reached, static_cast<int>(rect.bottom) - moved);
    }
}

void CDlgUpdate::ShowNoPatch()
{
    for (const int id : {IDOK, IDC_BTN_SHOW_CRM, IDC_BTN_WHATS_NEW, IDC_CHECK_DONT_SHOW_AGAIN, IDC_CHECK_SEND_CRM_DATA,
                         IDC_TXT_PRODUCT, IDC_TXT_UPDATE, IDC_BROWSER, IDC_ACTIVITY, IDC_TXT_WAIT,
                         IDC_TXT_PLEASE_WAIT})
        ShowControl(id, false);
    ShowControl(IDCANCEL, true);
    if (HWND cancel = ::qz::platform::GetDlgItem(m_hWnd, IDCANCEL))
        SetWindowTextW(cancel, qz::dialogs::LoadLocalizedString(IDS_CLOSE));
    ShowControl(IDC_TXT_NO_PATCH_AVAILABLE, true);
    patchAvailable_ = false;
}

void CDlgUpdate::UpdateCrmControls()
{
    const bool visible = configuration_->IsCrmOptionVisible();
    ShowControl(IDC_CHECK_SEND_CRM_DATA, visible);
    ShowControl(IDC_BTN_SHOW_CRM, visible);
    if (visible)
        SetCheck(IDC_CHECK_SEND_CRM_DATA, configuration_->GetSendCrmDefault());
}

LRESULT CDlgUpdate::OnQueryDone(WPARAM wParam, LPARAM)
{
    if (activity_.GetSafeHwnd())
        activity_.StopAnimation();
    if (wParam == 1)
        ShowPatchAvailable();
    else
        ShowNoPatch();
    return 0;
}

void CDlgUpdate::ReadChoices()
{
    // Hidden boxes count too: they hold what the host set as default.
    if (auto* box = dynamic_cast<CQZ_UniButton*>(GetDlgItem(IDC_CHECK_DONT_SHOW_AGAIN)))
        dontShowAgain_ = box->GetCheck();
    if (auto* box = dynamic_cast<CQZ_UniButton*>(GetDlgItem(IDC_CHECK_SEND_CRM_DATA)))
        sendCrmData_ = box->GetCheck();
}

void CDlgUpdate::OnOK()
{
    const bool offered = patchAvailable_;
    ReadChoices();
    EndDialog(offered ? kEndUpdateNow : kEndNoUpdate);
}

void CDlgUpdate::OnCancel()
{
    ReadChoices();
    EndDialog(kEndNoUpdate);
}

void CDlgUpdate::OnShowCrm()
{
    CCRMViewer viewer(configuration_, nullptr);
    viewer.DoModal();
}

void CDlgUpdate::OnWhatsNew()
{
    ShowControl(IDC_BTN_WHATS_NEW, false);
    ShowControl(IDC_BROWSER, true);
    RECT rect{};
    GetWindowRect(&rect);
    rect.bottom += MulDiv(kDescriptionHeight, GetDpi(), 96);
    MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, true);
    // Without a browser from the skin the dialog only grows.
    if (browser_.GetSafeHwnd() == nullptr)
        return;
    browser_.SetWindowPos(&wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    const QzOSAL::QzPath description = steps_.DescriptionFile();
    if (!description.GetPath().empty())
        browser_.Navigate(QzOSAL::QzURL(description).GetText());
}

bool CDlgUpdate::CreateCustomControl(const std::wstring& name, const std::wstring& type, const RECT& rect,
                                     bool create, const CQZControlTemplate* controlTemplate, HWND* window,
                                     std::uint32_t* id)
{
    if (name != L"IDC_BROWSER")
        return CBaseDlg::CreateCustomControl(name, type, rect, create, controlTemplate, window, id);
    if (browser_.GetSafeHwnd() == nullptr) {
        const int dpi = GetDpi();
        const RECT scaled{MulDiv(rect.left, dpi, 96), MulDiv(rect.top, dpi, 96), MulDiv(rect.right, dpi, 96),
                          MulDiv(rect.bottom, dpi, 96)};
        if (!browser_.Create(nullptr, nullptr, WS_CHILD | WS_TABSTOP, scaled, this, IDC_BROWSER))
            return false;
        // No script error boxes over the dialog.
        browser_.put_Silent(true);
    }
    *window = browser_.GetSafeHwnd();
    *id = IDC_BROWSER;
    return true;
}

CWnd* CDlgUpdate::LookupCustomControl(const std::wstring& name)
{
    if (name == L"IDC_BROWSER")
        return &browser_;
    return CBaseDlg::LookupCustomControl(name);
}
