#include "BeautyDialogTestSupport.h"

#include <filesystem>

#include "gui/DefinitionFilePool.h"
#include "gui/DpiState.h"
#include "platform/window/WindowSystem.h"

using namespace qz::platform;

namespace {

DialogItemTemplate Item(std::uint16_t windowClass, const wchar_t* text, std::uint32_t style, int id, int x, int y,
                        int cx, int cy)
{
    DialogItemTemplate item;
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = static_cast<std::int16_t>(x);
    item.y = static_cast<std::int16_t>(y);
    item.cx = static_cast<std::int16_t>(cx);
    item.cy = static_cast<std::int16_t>(cy);
    item.id = static_cast<std::uint32_t>(id);
    item.windowClass = ResName::Ordinal(windowClass);
    item.text = ResName::Named(text);
    return item;
}

} // namespace

DialogTemplate MakeBeautyTestTemplate()
{
    DialogTemplate t;
    t.style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.cx = 280;
    t.cy = 170;
    t.caption = L"Beauty test";
    t.pointSize = 8;
    t.weight = 400;
    t.typeface = L"MS Shell Dlg";
    t.items = {
        Item(kClassStatic, L"Skinned dialog", SS_LEFT, IDC_TXT_TITLE, 10, 8, 200, 14),
        Item(kClassStatic, L"This text is not in the definition file.", SS_LEFT, IDC_UNLISTED, 10, 30, 200, 8),
        Item(kClassEdit, L"Designer", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, IDC_EDIT_NAME, 10, 50, 260, 14),
        Item(kClassButton, L"Options", BS_GROUPBOX, IDC_FRAME, 10, 70, 260, 60),
        Item(kClassButton, L"Keep the layout when the dialog grows", BS_AUTOCHECKBOX | WS_TABSTOP,
             IDC_CHECK_OPTION, 18, 82, 180, 10),
        Item(kClassStatic, L"Positions in 96-DPI units", SS_LEFT, IDC_TXT_FOOTNOTE, 10, 146, 120, 8),
        Item(kClassButton, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 166, 150, 50, 14),
        Item(kClassButton, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 220, 150, 50, 14),
    };
    return t;
}

BeautyTestDialog::BeautyTestDialog(std::wstring folderName, std::wstring fileName)
    : CQZ_BeautyDialog(0, std::wstring(), 0), folder(std::move(folderName)), file(std::move(fileName))
{
    InitModalIndirect(MakeBeautyTestTemplate());
}

BOOL BeautyTestDialog::OnInitDialog()
{
    RegisterControl(L"IDOK", IDOK, nullptr, 0);
    RegisterControl(L"IDCANCEL", IDCANCEL, nullptr, 0);
    RegisterControl(L"IDC_TXT_TITLE", IDC_TXT_TITLE, &title, 0);
    RegisterControl(L"IDC_CHECK_OPTION", IDC_CHECK_OPTION, nullptr, 0);
    RegisterControl(L"IDC_EDIT_NAME", IDC_EDIT_NAME, nullptr, 0);
    RegisterControl(L"IDC_UNLISTED", IDC_UNLISTED, nullptr, 0);
    RegisterControl(L"IDC_FRAME", IDC_FRAME, nullptr, 0);
    RegisterControl(L"IDC_TXT_FOOTNOTE", IDC_TXT_FOOTNOTE, nullptr, 0);
    for (const auto& [name, id] : extraNames)
        RegisterControl(name, id, nullptr, 0);
    if (beforeLoad)
        beforeLoad(*this);
    loaded = Load(folder, file, this);
    return CQZ_BeautyDialog::OnInitDialog();
}

bool BeautyTestDialog::CreateCustomControl(const std::wstring& name, const std::wstring& type, const RECT& rect,
                                           bool, const CQZControlTemplate*, HWND* window, std::uint32_t* id)
{
    customCalls.push_back(name + L":" + type);
    customRects.push_back(rect);
    if (type != L"CQZ_WebView")
        return false;
    const RECT device = ToDevice(QzDialogRect{rect.left, rect.top, rect.right, rect.bottom});
    *window = CreateWindowExW(0, L"Static", L"Made by the dialog's own hook", WS_CHILD | WS_VISIBLE, device.left,
                              device.top, device.Width(), device.Height(), m_hWnd, IDC_CUSTOM);
    *id = IDC_CUSTOM;
    return *window != nullptr;
}

CWnd* BeautyTestDialog::LookupCustomControl(const std::wstring& name)
{
    lookups.push_back(name);
    return name == L"IDC_LOOKUP" ? FindControl(L"IDC_CUSTOM") : nullptr;
}

std::wstring BeautyTestDialog::GetUnknownControlType(const std::wstring&) const
{
    return unknownType;
}

bool BeautyTestDialog::HandleKey(std::uint32_t virtualKey)
{
    keys.push_back(virtualKey);
    return virtualKey == 'A';
}

RECT BeautyTestDialog::ItemRect(int id) const
{
    RECT rect;
    const HWND item = qz::platform::GetDlgItem(m_hWnd, id);
    qz::platform::GetWindowRect(item, &rect);
    MapWindowRect(nullptr, m_hWnd, &rect);
    return rect;
}

void BeautyDialogTest::SetUp()
{
    ASSERT_TRUE(EnsureGuiApplication());
    ControlTemplateTest::SetUp();
    std::filesystem::copy(std::string(QZ_TEST_DATA_DIR) + "/gui/beauty", folder_,
                          std::filesystem::copy_options::recursive);
    CQZDefinitionFilePool::Instance().Clear();
    SetDisplayDpiOverride(96);
    CQZDpiState::Set(false, 96, 96);
}

void BeautyDialogTest::TearDown()
{
    CQZDpiState::Set(false, 96, 96);
    SetDisplayDpiOverride(0);
    CQZDefinitionFilePool::Instance().Clear();
    ControlTemplateTest::TearDown();
}

void BeautyDialogTest::UseDpi(int dpi)
{
    SetDisplayDpiOverride(dpi);
    CQZDpiState::Set(true, dpi, dpi);
}

RECT BeautyDialogTest::Scale(const RECT& rect, int dpi)
{
    return RECT{Scale(rect.left, dpi), Scale(rect.top, dpi), Scale(rect.right, dpi), Scale(rect.bottom, dpi)};
}
