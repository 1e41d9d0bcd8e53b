#include "gui/BeautyDialogDesigner.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cwchar>

#include "config/QZIniFileReader.h"
#include "gui/ControlTemplateFile.h"
#include "gui/DefinitionFilePool.h"
#include "gui/DpiState.h"
#include "gui/GuiErrorLog.h"
#include "gui/LayoutManager.h"
#include "gui/controls/SkinnedControl.h"
#include "osal/QzPath.h"

using namespace qz::platform;

namespace {

// The control types of definition files; any other type is the dialog's.
constexpr const wchar_t* kKnownTypes[] = {
    L"CQZ_UniButton",      L"CQZ_Static",          L"CQZ_ColorFrame",      L"CQZ_Edit",
    L"CQZ_ComboBox",       L"CQZ_Fader",           L"CQZ_ListBox",         L"CQZ_FarbTafelCtrl",
    L"CQZ_Knob",           L"CQZ_ListCtrl",        L"CQZ_PeakMeterCtrl",   L"CQZ_PointField",
    L"CQZ_RichEditCtrlEx", L"CQZ_ScrollBar",       L"CQZ_SpinButtonCtrl",  L"CQZ_StatusBarCtrl",
    L"CQZ_TabCtrl",        L"CQZ_DateTimeCtrl",    L"CQZ_ColorWheel",
};

bool IsKnownType(const std::wstring& type)
{
    return std::any_of(std::begin(kKnownTypes), std::end(kKnownTypes),
                       [&](const wchar_t* known) { return type == known; });
}

// The window class a type is created with when no skinned object draws it.
const wchar_t* PlainWindowClass(const std::wstring& type)
{
    static const std::pair<const wchar_t*, const wchar_t*> kClasses[] = {
        {L"CQZ_UniButton", L"Button"},
        {L"CQZ_Static", L"Static"},
        {L"CQZ_ColorFrame", L"Static"},
        {L"CQZ_Edit", L"Edit"},
        {L"CQZ_RichEditCtrlEx", L"Edit"},
        {L"CQZ_PeakMeterCtrl", L"msctls_progress32"},
        {L"CQZ_ComboBox", L"ComboBox"},
        {L"CQZ_ListBox", L"ListBox"},
        {L"CQZ_ScrollBar", L"ScrollBar"},
        {L"CQZ_ListCtrl", L"SysListView32"},
        {L"CQZ_TabCtrl", L"SysTabControl32"},
        {L"CQZ_StatusBarCtrl", L"msctls_statusbar32"},
        {L"CQZ_SpinButtonCtrl", L"msctls_updown32"},
        {L"CQZ_DateTimeCtrl", L"SysDateTimePick32"},
        {L"CQZ_Fader", L"msctls_trackbar32"},
    };
    for (const auto& [name, windowClass] : kClasses) {
        if (type == name)
            return windowClass;
    }
    return L"Static";
}

// Scales by dpi / 96 without overflowing.
int ScaleUp(int value, int dpi)
{
    const long long scaled = (static_cast<long long>(value) * dpi * 2 + (value < 0 ? -96 : 96)) / (96 * 2);
    return static_cast<int>(std::clamp<long long>(scaled, INT_MIN / 4, INT_MAX / 4));
}

int ScaleDown(int value, int dpi)
{
    if (dpi <= 0)
        return value;
    const long long scaled = (static_cast<long long>(value) * 96 * 2 + (value < 0 ? -dpi : dpi)) / (2LL * dpi);
    return static_cast<int>(std::clamp<long long>(scaled, INT_MIN / 4, INT_MAX / 4));
}

// Sizes beyond this (in 96-DPI units) are taken for a broken file.
constexpr int kMaxDialogExtent = 16384;

} // namespace

// ---------------------------------------------------------------------------
// Listeners

void CQZ_BeautyDialogDesignerListenerAccu::AddDesignerListener(CQZ_BeautyDialogDesignerListener* listener)
{
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void CQZ_BeautyDialogDesignerListenerAccu::RemoveDesignerListener(CQZ_BeautyDialogDesignerListener* listener)
{
    std::erase(listeners_, listener);
}

void CQZ_BeautyDialogDesignerListenerAccu::NotifyDialogName(const std::wstring& name)
{
    // A listener may remove itself while told.
    const std::vector<CQZ_BeautyDialogDesignerListener*> listeners = listeners_;
    for (CQZ_BeautyDialogDesignerListener* listener : listeners)
        listener->OnDialogName(name);
}

void CQZ_BeautyDialogDesignerListenerAccu::NotifyLoadEnded(bool ok)
{
    const std::vector<CQZ_BeautyDialogDesignerListener*> listeners = listeners_;
    for (CQZ_BeautyDialogDesignerListener* listener : listeners)
        listener->OnLoadEnded(ok);
}

// ---------------------------------------------------------------------------
// Designer

CQZ_BeautyDialogDesigner::CQZ_BeautyDialogDesigner() = default;

CQZ_BeautyDialogDesigner::~CQZ_BeautyDialogDesigner() = default;

void CQZ_BeautyDialogDesigner::SetDefinitionPoolLimit(std::size_t limit)
{
    CQZDefinitionFilePool::Instance().SetLimit(limit);
}

std::size_t CQZ_BeautyDialogDesigner::GetDefinitionPoolLimit()
{
    return CQZDefinitionFilePool::Instance().GetLimit();
}

std::size_t CQZ_BeautyDialogDesigner::GetDefinitionPoolSize()
{
    return CQZDefinitionFilePool::Instance().GetSize();
}

bool CQZ_BeautyDialogDesigner::ScalesToDpi() const
{
    return dialog_ ? dialog_->AdaptsToDpi() : CQZDpiState::IsScaling();
}

RECT CQZ_BeautyDialogDesigner::ToDevice(const QzDialogRect& rect) const
{
    if (!ScalesToDpi())
        return RECT{rect.left, rect.top, rect.right, rect.bottom};
    const int dpiX = CQZDpiState::GetDpiX();
    const int dpiY = CQZDpiState::GetDpiY();
    return RECT{ScaleUp(rect.left, dpiX), ScaleUp(rect.top, dpiY), ScaleUp(rect.right, dpiX),
                ScaleUp(rect.bottom, dpiY)};
}

QzDialogRect CQZ_BeautyDialogDesigner::FromDevice(const RECT& rect) const
{
    if (!ScalesToDpi())
        return QzDialogRect{rect.left, rect.top, rect.right, rect.bottom};
    const int dpiX = CQZDpiState::GetDpiX();
    const int dpiY = CQZDpiState::GetDpiY();
    return QzDialogRect{ScaleDown(rect.left, dpiX), ScaleDown(rect.top, dpiY), ScaleDown(rect.right, dpiX),
                        ScaleDown(rect.bottom, dpiY)};
}

bool CQZ_BeautyDialogDesigner::Load(const std::wstring& folder, const std::wstring& fileName,
                                    IDesignedDialog* dialog)
{
    if (fileName.empty() || !dialog || !IsWindow(dialog->GetDialogWnd().GetSafeHwnd()))
        return false;
    const std::wstring path = FindFile(folder, fileName, GetSearchFolders());
    const std::shared_ptr<CQZIniFileReader> reader = OpenPooled(path);
    if (!reader) {
        CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner::Load(): cannot open " + path);
        return false;
    }
    bool ok = false;
    {
        const CQZDefinitionFilePool::ScopedLock locked(path);
        dialog_ = dialog;
        window_ = &dialog->GetDialogWnd();
        loadedWindow_ = window_->GetSafeHwnd();
        layout_ = std::make_unique<CQZLayoutManager>();
        ownedControls_.clear();
        closeButtonId_ = 0;
        // This platform draws no system glass frame.
        SetGlassFrame(false);
        ok = LoadFromIni(*reader);
        if (ok) {
            for (std::size_t i = 0; i < GetRecords().size(); ++i)
                CreateControl(i);
            if (GetDialogIniFlags() & QZBDD_FLAG_USE_INI_Z_ORDER) {
                HWND previous = HWND_TOP;
                for (const QzDialogControlRecord& record : GetRecords()) {
                    if (!record.window || !IsWindow(record.window->GetSafeHwnd()))
                        continue;
                    qz::platform::SetWindowPos(record.window->GetSafeHwnd(), previous, 0, 0, 0, 0,
                                               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                    previous = record.window->GetSafeHwnd();
                }
            }
            if (!(GetDialogIniFlags() & QZBDD_FLAG_NO_LAYOUT)) {
                if (!GetGeneralControlsPath().empty()) {
                    if (const std::shared_ptr<CQZIniFileReader> general = OpenPooled(GetGeneralControlsPath()))
                        ReadAlignmentRules(*general);
                }
                ReadAlignmentRules(*reader);
            }
            if (ScalesToDpi())
                layout_->SetDpi(CQZDpiState::GetDpiX(), CQZDpiState::GetDpiY());
            SizeDialog();
            ApplyLayout();
        }
        NotifyLoadEnded(ok);
    }
    if (ok && (GetDialogIniFlags() & QZBDD_FLAG_HIDE_NOT_LISTED_CONTROLS))
        HideUnlistedControls();
    return ok;
}

void CQZ_BeautyDialogDesigner::OnDialogSectionRead()
{
    NotifyDialogName(GetName());
}

void CQZ_BeautyDialogDesigner::OnTemplateFilesLoaded()
{
    if (!dialog_)
        return;
    const CQZControlTemplate* dialogTemplate = nullptr;
    if (!GetTemplate().empty()) {
        if (GetDialogControlTemplateFile())
            dialogTemplate = GetDialogControlTemplateFile()->GetTemplate(GetTemplate());
        if (!dialogTemplate && GetControlTemplateFile())
            dialogTemplate = GetControlTemplateFile()->GetTemplate(GetTemplate());
        if (!dialogTemplate)
            CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: no dialog template " + GetTemplate());
    }
    dialog_->ApplyDialogTemplate(dialogTemplate);
    if (!GetText().empty())
        window_->SetWindowText(GetText());
    if (dialog_->WantsCloseButton())
        CreateCloseButton(dialogTemplate);
}

void CQZ_BeautyDialogDesigner::CreateCloseButton(const CQZControlTemplate* dialogTemplate)
{
    const CQZControlTemplate* buttonTemplate = nullptr;
    if (dialogTemplate) {
        const std::wstring name = dialogTemplate->GetText(L"closeButtonTemplate");
        if (!name.empty()) {
            buttonTemplate = FindControlTemplate(name);
            if (!buttonTemplate)
                CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: no close button template " + name);
        }
    }
    const HWND dialog = window_->GetSafeHwnd();
    const std::uint32_t id = FindFreeControlId();
    std::unique_ptr<CQZ_SkinnedControl> button = MakeSkinnedControl(L"CQZ_UniButton");
    const DWORD style = WS_CHILD | WS_VISIBLE;
    if (button && button->CreateControl(dialog, static_cast<int>(id), L"", style, 0, RECT{0, 0, 16, 16})) {
        button->ApplyTemplate(buttonTemplate);
        ownedControls_.push_back(std::move(button));
    } else if (!CreateWindowExW(0, L"Button", L"\u00D7", style, 0, 0, 16, 16, dialog, static_cast<int>(id))) {
        return;
    }
    closeButtonId_ = id;
    PlaceCloseButton();
}

void CQZ_BeautyDialogDesigner::PlaceCloseButton()
{
    if (!closeButtonId_ || !window_)
        return;
    const HWND button = GetDlgItem(window_->GetSafeHwnd(), static_cast<int>(closeButtonId_));
    if (!button)
        return;
    // A square in the top right corner of the client area.
    RECT client;
    GetClientRect(window_->GetSafeHwnd(), &client);
    const RECT box = ToDevice(QzDialogRect{0, 0, 18, 18});
    const RECT margin = ToDevice(QzDialogRect{0, 0, 6, 6});
    qz::platform::SetWindowPos(button, nullptr, client.right - margin.right - box.right, margin.bottom, box.right,
                               box.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::uint32_t CQZ_BeautyDialogDesigner::FindFreeControlId() const
{
    const HWND dialog = window_ ? window_->GetSafeHwnd() : nullptr;
    for (std::uint32_t id = kFirstFreeControlId; id < kLastFreeControlId; ++id) {
        if (!GetDlgItem(dialog, static_cast<int>(id)))
            return id;
    }
    return kLastFreeControlId;
}

bool CQZ_BeautyDialogDesigner::CreateControl(std::size_t index)
{
    if (!window_ || index >= GetRecords().size())
        return false;
    QzDialogControlRecord& record = GetRecords()[index];
    if (!record.complete)
        return false;
    const CQZControlTemplate* controlTemplate = FindControlTemplate(record.templateName);

    if (record.type == L"unknown") {
        record.window = LookupCustomControl(record.name);
        record.created = record.window != nullptr;
        if (record.window)
            record.controlId = static_cast<std::uint32_t>(record.window->GetDlgCtrlID());
        return record.created;
    }
    if (!IsKnownType(record.type))
        return CreateCustom(record, controlTemplate);
    if (!controlTemplate) {
        CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: no template " + record.templateName + L" for " +
                               record.name);
        return false;
    }

    std::uint32_t id = GetControlId(record.name);
    if (id == kNoControlId) {
        if (!record.create)
            return false;
        id = FindFreeControlId();
    }
    CWnd* window = BuildWindow(record, id, controlTemplate);
    if (!window)
        return false;
    record.window = window;
    record.controlId = id;
    record.created = true;
    if (record.create)
        RegisterControl(record.name, id, nullptr, 0);
    return true;
}

CWnd* CQZ_BeautyDialogDesigner::BuildWindow(QzDialogControlRecord& record, std::uint32_t id,
                                            const CQZControlTemplate* controlTemplate)
{
    const HWND dialog = window_->GetSafeHwnd();
    const QzDialogRect& position = record.position;
    if (static_cast<long long>(position.right) - position.left > kMaxDialogExtent ||
        static_cast<long long>(position.bottom) - position.top > kMaxDialogExtent ||
        std::abs(static_cast<long long>(position.left)) > kMaxDialogExtent ||
        std::abs(static_cast<long long>(position.top)) > kMaxDialogExtent) {
        CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: position of " + record.name + L" is out of range");
        return nullptr;
    }
    const RECT rect = ToDevice(position);
    const NameRecord* named = FindName(record.name);
    CWnd* member = named ? named->member : nullptr;

    std::unique_ptr<CQZ_SkinnedControl> made;
    CQZ_SkinnedControl* skinned = dynamic_cast<CQZ_SkinnedControl*>(member);
    if (!member) {
        made = MakeSkinnedControl(record.type);
        skinned = made.get();
    }

    HWND hwnd = nullptr;
    if (record.create) {
        if (skinned) {
            if (!skinned->CreateControl(dialog, static_cast<int>(id), record.text, record.style, record.styleEx, rect))
                return nullptr;
            hwnd = skinned->GetSafeHwnd();
        } else {
            hwnd = CreateWindowExW(record.styleEx, PlainWindowClass(record.type), record.text, record.style,
                                   rect.left, rect.top, rect.Width(), rect.Height(), dialog, static_cast<int>(id));
            if (!hwnd)
                return nullptr;
            if (member && !member->SubclassWindow(hwnd)) {
                DestroyWindow(hwnd);
                return nullptr;
            }
        }
    } else {
        hwnd = GetDlgItem(dialog, static_cast<int>(id));
        if (!hwnd) {
            CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: no dialog item for " + record.name);
            return nullptr;
        }
        if (skinned) {
            if (!skinned->SubclassControl(hwnd))
                return nullptr;
        } else if (member && !member->SubclassWindow(hwnd)) {
            return nullptr;
        }
        if (!record.position.IsEmpty())
            qz::platform::SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.Width(), rect.Height(),
                                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (skinned)
        skinned->ApplyTemplate(controlTemplate);
    if (made)
        ownedControls_.push_back(std::move(made));
    return member ? member : CWnd::FromHandle(hwnd);
}

bool CQZ_BeautyDialogDesigner::CreateCustom(QzDialogControlRecord& record, const CQZControlTemplate* controlTemplate)
{
    const RECT rect{record.position.left, record.position.top, record.position.right, record.position.bottom};
    HWND hwnd = nullptr;
    std::uint32_t id = kNoControlId;
    if (!CreateCustomControl(record.name, record.type, rect, record.create, controlTemplate, &hwnd, &id) ||
        !IsWindow(hwnd))
        return false;
    CWnd* window = CWnd::FromHandle(hwnd);
    if (record.create)
        RegisterControl(record.name, id, window, 0);
    record.window = window;
    record.controlId = id;
    record.created = true;
    return true;
}

bool CQZ_BeautyDialogDesigner::CreateCustomControl(const std::wstring&, const std::wstring&, const RECT&, bool,
                                                   const CQZControlTemplate*, HWND*, std::uint32_t*)
{
    return false;
}

CWnd* CQZ_BeautyDialogDesigner::LookupCustomControl(const std::wstring&)
{
    return nullptr;
}

std::wstring CQZ_BeautyDialogDesigner::GetUnknownControlType(const std::wstring&) const
{
    return L"unknown";
}

// ---------------------------------------------------------------------------
// Registry

bool CQZ_BeautyDialogDesigner::RegisterControl(const std::wstring& name, std::uint32_t id, CWnd* member,
                                               std::uintptr_t userValue)
{
    if (id == kNoControlId || FindName(name))
        return false;
    names_.push_back(NameRecord{name, id, member, userValue});
    return true;
}

bool CQZ_BeautyDialogDesigner::UnregisterControl(const std::wstring& name, std::uint32_t id)
{
    const auto it = std::find_if(names_.begin(), names_.end(),
                                 [&](const NameRecord& record) { return record.name == name && record.id == id; });
    if (it == names_.end())
        return false;
    names_.erase(it);
    return true;
}

const CQZ_BeautyDialogDesigner::NameRecord* CQZ_BeautyDialogDesigner::FindName(const std::wstring& name) const
{
    for (const NameRecord& record : names_) {
        if (record.name == name)
            return &record;
    }
    return nullptr;
}

std::uint32_t CQZ_BeautyDialogDesigner::GetControlId(const std::wstring& name) const
{
    const NameRecord* record = FindName(name);
    return record ? record->id : kNoControlId;
}

const wchar_t* CQZ_BeautyDialogDesigner::GetControlName(std::uint32_t id) const
{
    for (const NameRecord& record : names_) {
        if (record.id == id)
            return record.name.c_str();
    }
    return nullptr;
}

CWnd* CQZ_BeautyDialogDesigner::FindControl(const std::wstring& name) const
{
    const NameRecord* record = FindName(name);
    if (record && record->member)
        return record->member;
    const std::uint32_t id = GetControlId(name);
    if (id == kNoControlId || id < 1 || !window_)
        return nullptr;
    return CWnd::FromHandle(GetDlgItem(window_->GetSafeHwnd(), static_cast<int>(id)));
}

std::uintptr_t CQZ_BeautyDialogDesigner::GetControlUserValue(const std::wstring& name) const
{
    const NameRecord* record = FindName(name);
    return record ? record->userValue : 0;
}

// ---------------------------------------------------------------------------
// Layout, size and visibility

void CQZ_BeautyDialogDesigner::ReadAlignmentRules(CQZIniFileReader& reader)
{
    for (int number = 1; number < INT_MAX; ++number) {
        const std::wstring section = L"ALIGNMENT" + std::to_wstring(number);
        if (!reader.HasSection(section.c_str()))
            break;
        const std::uint32_t needed = reader.GetSection(section.c_str(), nullptr, 0);
        std::vector<wchar_t> items(static_cast<std::size_t>(needed) + 2, L'\0');
        reader.GetSection(section.c_str(), items.data(), static_cast<std::uint32_t>(items.size()));
        for (const wchar_t* cursor = items.data(); *cursor != L'\0'; cursor += std::wcslen(cursor) + 1) {
            const std::wstring item(cursor);
            const std::size_t equals = item.find(L'=');
            QzLayoutRule rule;
            if (equals != std::wstring::npos && CQZLayoutManager::ParseRule(item.substr(equals + 1), rule))
                layout_->AddRule(std::move(rule));
            else
                CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: bad alignment entry in " + section + L": " + item);
        }
    }
}

void CQZ_BeautyDialogDesigner::SizeDialog()
{
    const QzDialogRect& position = GetPosition();
    const int width = position.right - position.left;
    const int height = position.bottom - position.top;
    if (position.IsEmpty() || width > kMaxDialogExtent || height > kMaxDialogExtent) {
        if (position != QzDialogRect{})
            CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: dialog position ignored in " + GetPath());
        return;
    }
    const HWND dialog = window_->GetSafeHwnd();
    const RECT size = ToDevice(QzDialogRect{0, 0, width, height});
    int cx = size.right;
    int cy = size.bottom;
    if (GetDialogIniFlags() & QZBDD_FLAG_USE_DIALOG_CLIENT_POSITION) {
        RECT frame;
        RECT client;
        GetWindowRect(dialog, &frame);
        GetClientRect(dialog, &client);
        cx += frame.Width() - client.Width();
        cy += frame.Height() - client.Height();
    }
    qz::platform::SetWindowPos(dialog, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CQZ_BeautyDialogDesigner::ResolveControl(const std::wstring& name) const
{
    if (CWnd* window = FindControl(name))
        return window->GetSafeHwnd();
    for (const QzDialogControlRecord& record : GetRecords()) {
        if (record.name == name && record.window)
            return record.window->GetSafeHwnd();
    }
    return nullptr;
}

void CQZ_BeautyDialogDesigner::ApplyLayout()
{
    if (!window_ || !IsWindow(window_->GetSafeHwnd()))
        return;
    if (layout_)
        layout_->Apply(window_->GetSafeHwnd(), GetName(),
                       [this](const std::wstring& name) { return ResolveControl(name); });
    PlaceCloseButton();
}

void CQZ_BeautyDialogDesigner::HideUnlistedControls()
{
    std::vector<std::uint32_t> listed;
    for (const QzDialogControlRecord& record : GetRecords()) {
        const std::uint32_t id = record.controlId != kNoControlId ? record.controlId : GetControlId(record.name);
        if (id != kNoControlId)
            listed.push_back(id);
    }
    for (const HWND child : GetChildWindows(window_->GetSafeHwnd())) {
        const auto id = static_cast<std::uint32_t>(GetDlgCtrlID(child));
        if (closeButtonId_ != 0 && id == closeButtonId_)
            continue;
        if (std::find(listed.begin(), listed.end(), id) == listed.end())
            qz::platform::ShowWindow(child, SW_HIDE);
    }
}

// ---------------------------------------------------------------------------
// Writing back

QzDialogRect CQZ_BeautyDialogDesigner::GetSavedDialogPosition() const
{
    if ((GetDialogIniFlags() & QZBDD_FLAG_USE_DIALOG_CLIENT_POSITION) && window_ &&
        IsWindow(window_->GetSafeHwnd())) {
        RECT client;
        GetClientRect(window_->GetSafeHwnd(), &client);
        return FromDevice(client);
    }
    return GetPosition();
}

QzDialogRect CQZ_BeautyDialogDesigner::GetSavedControlPosition(const QzDialogControlRecord& record) const
{
    // An edit may have been moved or sized by its user: its place now counts.
    if (record.type == L"CQZ_Edit" && record.window && window_ && IsWindow(record.window->GetSafeHwnd())) {
        RECT rect;
        GetWindowRect(record.window->GetSafeHwnd(), &rect);
        MapWindowRect(nullptr, window_->GetSafeHwnd(), &rect);
        return FromDevice(rect);
    }
    return record.position;
}

std::wstring CQZ_BeautyDialogDesigner::GetSavedControlType(const QzDialogControlRecord& record) const
{
    return record.type == L"unknown" ? GetUnknownControlType(record.name) : record.type;
}
