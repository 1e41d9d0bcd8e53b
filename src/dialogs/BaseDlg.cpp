#include "dialogs/BaseDlg.h"

#include "dialogs/Languages.h"
#include "gui/DpiState.h"
#include "gui/controls/UniButton.h"
#include "osal/QzFileSystemItem.h"
#include "platform/RcResourceTable.h"
#include "platform/ShellFolders.h"

namespace {

using namespace qz::platform;

const wchar_t kProductPlaceholder[] = L"$TAVOR$";
const wchar_t kMainAreaFrame[] = L"IDC_GENERALCONTROLS_FRAME_MAIN_AREA";

// The update library's own template: the language asked for, then English
// (United Kingdom), then whatever language has it. Unlike the general
// resource search, the primary-language step is left out on purpose.
const ResourceView* FindDialogTemplate(std::uint32_t id, LANGID language)
{
    const ResourceTable& table = ModuleResources();
    const ResName type = ResName::Ordinal(RT_DIALOG);
    const ResName name = ResName::Ordinal(static_cast<std::uint16_t>(id));
    if (const ResourceView* found = table.FindExact(type, name, language)) {
        return found;
    }
    if (const ResourceView* found = table.FindExact(type, name, kFallbackLanguage)) {
        return found;
    }
    return table.FindAnyLanguage(type, name);
}

} // namespace

CBaseDlg::CBaseDlg(QzAutoUpdate::CUpdateConfiguration2* configuration, std::uint32_t templateId,
                   qz::platform::CWnd* parent)
    : CQZ_BeautyDialog(templateId, std::wstring(), 0, parent),
      configuration_(configuration),
      placeholder_(kProductPlaceholder),
      parent_(parent)
{
    MeasureDpi();
}

CBaseDlg::~CBaseDlg() = default;

void CBaseDlg::MeasureDpi()
{
    std::uint32_t dpi = 96;
    if (HDC dc = CreateDCW(L"DISPLAY")) {
        dpi = static_cast<std::uint32_t>(GetDeviceCaps(dc, LOGPIXELSY));
        DeleteDC(dc);
    }
    // Unsigned on purpose: a nonsensical negative answer is capped as well.
    if (dpi > kMaxDpi) {
        dpi = kMaxDpi;
    }
    dpi_ = dpi;
}

QzOSAL::QzPath CBaseDlg::GetSkinFolder() const
{
    QzOSAL::QzPath folder(QzOSAL::QzPath::kExecutableFolder);
    if (!configuration_) {
        return folder;
    }
    if (const wchar_t* hostFolder = configuration_->GetSkinFolder()) {
        return QzOSAL::QzPath(hostFolder);
    }
    folder.AppendPath(L"Bitmaps/");
    folder.AppendPath(L"QzAutoUpdate/");
    // An installed host keeps no skin beside itself; the installed product's
    // data folder holds the default one.
    QzOSAL::QzPath definitions(folder);
    definitions.AppendPath(L"Dialogs/");
    if (!QzOSAL::QzFileSystemItem(definitions).IsDirectory()) {
        const std::wstring data = qz::platform::GetInstalledDataFolder();
        if (!data.empty()) {
            QzOSAL::QzPath installed(data + L"/skin/");
            if (QzOSAL::QzFileSystemItem(installed).IsDirectory()) {
                return installed;
            }
        }
    }
    return folder;
}

BOOL CBaseDlg::OnInitDialog()
{
    CQZDpiState::Set(true, static_cast<int>(dpi_), static_cast<int>(dpi_));
    RegisterControls();

    QzOSAL::QzPath definitionFolder = GetSkinFolder();
    definitionFolder.AppendPath(L"Dialogs/");
    // A missing definition file leaves the template's plain controls, which
    // is a usable dialog; there is nothing to report.
    Load(definitionFolder.GetPath(), GetDefinitionFileName(), this);

    CWnd* frame = FindControl(kMainAreaFrame);
    if (frame && frame->GetSafeHwnd()) {
        // The frame keeps its bottom margin from the skin, in 96-DPI units.
        RECT client;
        GetClientRect(&client);
        RECT frameRect;
        frame->GetWindowRect(&frameRect);
        ScreenToClient(&frameRect);
        const int margin = client.bottom - frameRect.bottom;
        const int scaledMargin = MulDiv(margin, static_cast<int>(dpi_), 96);
        const int bottom = client.bottom - scaledMargin;
        frame->SetWindowPos(&wndTop, frameRect.left, frameRect.top, frameRect.Width(), bottom - frameRect.top,
                            0);
    }
    return CQZ_BeautyDialog::OnInitDialog();
}

std::intptr_t CBaseDlg::DoModal()
{
    const LANGID language = qz::dialogs::GetCurrentLanguageId();
    const ResourceView* resource = FindDialogTemplate(GetTemplateID(), language);
    if (!resource || resource->data.empty()) {
        return -1;
    }
    if (!InitModalIndirect(resource->data, parent_)) {
        return -1;
    }
    // The template's font follows the same capped DPI as the skin, or texts
    // outgrow the places the skin gives them on a screen above the cap.
    SetLayoutDpi(static_cast<int>(dpi_));
    // The templates are written left to right; the languages read the
    // other way get them mirrored, skin and alignment rules included.
    SetLayoutRightToLeft(qz::dialogs::IsRightToLeft(language));
    return CQZ_BeautyDialog::DoModal();
}

void CBaseDlg::ReplaceProductPlaceholder(qz::platform::CWnd* control)
{
    if (!configuration_ || !control || !control->GetSafeHwnd()) {
        return;
    }
    const wchar_t* product = configuration_->GetProductName();
    std::wstring name = product ? product : L"";
    // In a text that marks mnemonics with '&' the name's own '&' must show
    // as itself ("R&D" stays "R&D", not "RD" with an underlined D).
    if (!(control->GetStyle() & SS_NOPREFIX)) {
        for (std::size_t at = name.find(L'&'); at != std::wstring::npos; at = name.find(L'&', at + 2))
            name.insert(at, 1, L'&');
    }
    // Isolated, so that direction marks or right-to-left letters in a name
    // cannot reorder the sentence around it.
    name = L"\u2068" + name + L"\u2069";
    std::wstring text = control->GetWindowText();
    bool changed = false;
    for (std::size_t at = text.find(placeholder_); at != std::wstring::npos;
         at = text.find(placeholder_, at + name.size())) {
        text.replace(at, placeholder_.size(), name);
        changed = true;
    }
    if (changed) {
        control->SetWindowText(text);
    }
}

void CBaseDlg::ShowControl(int id, bool show)
{
    if (HWND item = qz::platform::GetDlgItem(m_hWnd, id)) {
        qz::platform::ShowWindow(item, show ? SW_SHOW : SW_HIDE);
    }
}

void CBaseDlg::SetCheck(int id, bool checked)
{
    HWND item = qz::platform::GetDlgItem(m_hWnd, id);
    if (!item) {
        return;
    }
    if (auto* button = dynamic_cast<CQZ_UniButton*>(CWnd::FromHandle(item))) {
        button->SetCheck(checked, true);
    }
}

namespace {

RECT ItemRect(HWND dialog, HWND item)
{
    RECT rect{};
    qz::platform::GetWindowRect(item, &rect);
    qz::platform::MapWindowRect(nullptr, dialog, &rect);
    return rect;
}

} // namespace

int CBaseDlg::FitTextHeight(int id)
{
    HWND item = qz::platform::GetDlgItem(m_hWnd, id);
    if (!item) {
        return 0;
    }
    const RECT rect = ItemRect(m_hWnd, item);
    const int growth = qz::platform::GetWrappedTextHeight(item, rect.Width()) - rect.Height();
    if (growth <= 0) {
        return 0;
    }
    ShiftBelow(rect.bottom, growth);
    qz::platform::MoveWindow(item, rect.left, rect.top, rect.Width(), rect.Height() + growth, true);
    return growth;
}

void CBaseDlg::ShiftBelow(int y, int dy)
{
    if (dy == 0) {
        return;
    }
    for (HWND child : qz::platform::GetChildWindows(m_hWnd)) {
        const RECT rect = ItemRect(m_hWnd, child);
        if (rect.top >= y) {
            qz::platform::MoveWindow(child, rect.left, rect.top + dy, rect.Width(), rect.Height(), true);
        }
    }
    RECT window{};
    GetWindowRect(&window);
    MoveWindow(window.left, window.top, window.Width(), window.Height() + dy, true);
}
