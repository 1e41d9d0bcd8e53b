// A skinned test dialog built from tests/data/gui/beauty, and a fixture that
// gives each test its own copy of that folder and fresh process-wide caches.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ControlTemplateTestSupport.h"
#include "gui/BeautyDialog.h"
#include "gui/controls/Static.h"
#include "platform/RcDialogTemplate.h"

// Item IDs of the test dialog's resource.
inline constexpr int IDC_TXT_TITLE = 1001;
inline constexpr int IDC_CHECK_OPTION = 1002;
inline constexpr int IDC_EDIT_NAME = 1003;
inline constexpr int IDC_UNLISTED = 1004;
inline constexpr int IDC_FRAME = 1005;
inline constexpr int IDC_TXT_FOOTNOTE = 1006;
inline constexpr int IDC_CUSTOM = 1020;

/// The resource of the test dialog: 280 x 170 dialog units.
qz::platform::DialogTemplate MakeBeautyTestTemplate();

/// The skinned test dialog: registers its controls, loads its definition
/// file in OnInitDialog and records what the designer asked of it.
class BeautyTestDialog : public CQZ_BeautyDialog {
  public:
    BeautyTestDialog(std::wstring folder, std::wstring file);

    qz::platform::BOOL OnInitDialog() override;
    bool CreateCustomControl(const std::wstring& name, const std::wstring& type, const qz::platform::RECT& rect,
                             bool create, const CQZControlTemplate* controlTemplate, qz::platform::HWND* window,
                             std::uint32_t* id) override;
    qz::platform::CWnd* LookupCustomControl(const std::wstring& name) override;
    std::wstring GetUnknownControlType(const std::wstring& name) const override;
    bool HandleKey(std::uint32_t virtualKey) override;

    /// The rectangle of item `id` in client coordinates.
    qz::platform::RECT ItemRect(int id) const;

    std::wstring folder;
    std::wstring file;
    bool loaded = false;
    std::wstring unknownType = L"unknown";
    /// Names registered beside the resource's items.
    std::vector<std::pair<std::wstring, std::uint32_t>> extraNames;
    std::function<void(BeautyTestDialog&)> beforeLoad;

    CQZ_Static title;
    std::vector<std::wstring> customCalls;
    std::vector<qz::platform::RECT> customRects;
    std::vector<std::wstring> lookups;
    std::vector<std::uint32_t> keys;
};

class BeautyDialogTest : public ControlTemplateTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    /// Display and designer at `dpi`, with DPI scaling on.
    static void UseDpi(int dpi);
    static int Scale(int value, int dpi) { return qz::platform::MulDiv(value, dpi, 96); }
    static qz::platform::RECT Scale(const qz::platform::RECT& rect, int dpi);
};
