#include "dialogs/CRMViewer.h"

#include "dialogs/res/resource.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace qz::platform;

CCRMViewer::CCRMViewer(QzAutoUpdate::CUpdateConfiguration2* configuration, CWnd* parent)
    : CBaseDlg(configuration, IDD_CRM_VIEWER, parent)
{
    if (configuration_) {
        crmFile_ = QzOSAL::QzPath(configuration_->GetCrmFilePath(false));
    }
}

CCRMViewer::~CCRMViewer() = default;

std::uint32_t CCRMViewer::GetTemplateID() const
{
    return IDD_CRM_VIEWER;
}

void CCRMViewer::RegisterControls()
{
    RegisterControl(L"IDOK", IDOK, nullptr, 0);
    RegisterControl(L"IDC_EDIT_CRM", IDC_EDIT_CRM, &edit_, 0);
    RegisterControl(L"IDC_TXT_TITLE", IDC_TXT_TITLE, nullptr, 0);
}

std::wstring CCRMViewer::ReadCrmText(const QzOSAL::QzPath& path)
{
    if (path.GetPath().empty()) {
        return {};
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(NativeFileName(path.GetPath()).c_str(), "rb"), &std::fclose);
    if (!file) {
        return {};
    }
    std::string bytes;
    char piece[4096];
    while (bytes.size() < kMaxShownBytes) {
        const std::size_t want = std::min(sizeof piece, kMaxShownBytes - bytes.size());
        const std::size_t got = std::fread(piece, 1, want, file.get());
        if (got == 0) {
            break;
        }
        bytes.append(piece, got);
    }

    // Read as a text-mode stream reads on Windows (CR LF becomes LF), so a
    // file from either system shows one line per line. The whole file is
    // converted at once: pieces could split a multi-byte character.
    std::string lines;
    lines.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            continue;
        }
        lines.push_back(bytes[i]);
    }
    // Data written on Linux is UTF-8; a line that is not is taken in the
    // chosen language's code page.
    const std::wstring wide = AnsiDisplayText(WideFromAnsiBytes(lines));

    std::wstring text;
    text.reserve(wide.size() + wide.size() / 16);
    for (wchar_t c : wide) {
        if (c == L'\n') {
            text += L"\r\n";
        } else if (c < 0x20 && c != L'\t' && c != L'\r') {
            // A zero byte would end the text; other control bytes of a
            // binary file would draw as nothing. Both stay visible.
            text += L'\xFFFD';
        } else {
            text += c;
        }
    }
    return text;
}

BOOL CCRMViewer::OnInitDialog()
{
    CBaseDlg::OnInitDialog();
    // The skin gives the title one line of a Latin font; scripts with taller
    // letters need more.
    FitTextHeight(IDC_TXT_TITLE);
    // Bind the text box when the skin did not already.
    if (!edit_.GetSafeHwnd()) {
        if (HWND item = qz::platform::GetDlgItem(m_hWnd, IDC_EDIT_CRM)) {
            edit_.SubclassControl(item);
        }
    }
    if (edit_.GetSafeHwnd()) {
        edit_.SetWindowText(ReadCrmText(crmFile_));
    }
    SetForegroundWindow();
    BringWindowToTop();
    return TRUE;
}
