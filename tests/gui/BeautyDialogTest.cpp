#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include "BeautyDialogTestSupport.h"
#include "config/QZIniFileReader.h"
#include "gui/DefinitionFilePool.h"
#include "gui/LayoutManager.h"
#include "gui/controls/UniButton.h"
#include "platform/FileNames.h"
#include "platform/window/WindowQt.h"
#include "platform/window/WindowSystem.h"

using namespace qz::platform;

namespace {

const wchar_t* const kMain = L"BeautyTest.ini";

bool HasStyle(HWND hwnd, DWORD style)
{
    return (static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & style) == style;
}

// `text` with the first `from` in it replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST_F(BeautyDialogTest, ControlsAreScaledPlacedAndFollowTheDialogAsItGrows)
{
    for (const int dpi : {96, 168}) {
        SCOPED_TRACE(dpi);
        UseDpi(dpi);
        BeautyTestDialog dialog(wideFolder_, kMain);
        RECT footnote{10, 146, 130, 154};
        HWND okBefore = nullptr;
        RECT cancelBefore{};
        dialog.beforeLoad = [&](BeautyTestDialog& d) {
            MapDialogRect(d.m_hWnd, &footnote);
            okBefore = GetDlgItem(d.m_hWnd, IDOK);
            cancelBefore = d.ItemRect(IDCANCEL);
        };
        ASSERT_TRUE(dialog.Create());
        EXPECT_TRUE(dialog.loaded);

        RECT client;
        dialog.GetClientRect(&client);
        EXPECT_EQ(client, (RECT{0, 0, Scale(420, dpi), Scale(260, dpi)}));
        // Subclassed and created controls alike, and what the layout placed.
        EXPECT_EQ(dialog.ItemRect(IDC_TXT_TITLE), Scale(RECT{16, 12, 360, 36}, dpi));
        const HWND toggle = dialog.FindControl(L"IDC_BTN_TOGGLE")->GetSafeHwnd();
        EXPECT_EQ(dialog.ItemRect(GetDlgCtrlID(toggle)), Scale(RECT{28, 160, 128, 184}, dpi));
        const RECT ok = dialog.ItemRect(IDOK);
        EXPECT_EQ(ok.right, client.right - Scale(16, dpi));
        EXPECT_EQ(ok.bottom, client.bottom - Scale(14, dpi));
        EXPECT_EQ(ok.Height(), Scale(246, dpi) - Scale(220, dpi));
        // No position: the resource's place.
        EXPECT_EQ(dialog.ItemRect(IDC_TXT_FOOTNOTE), footnote);
        // The dialog's hook gets the file's rectangle, unscaled.
        ASSERT_EQ(dialog.customRects.size(), 1u);
        EXPECT_EQ(dialog.customRects[0], (RECT{16, 214, 230, 232}));
        EXPECT_EQ(dialog.ItemRect(IDC_CUSTOM), Scale(RECT{16, 214, 230, 232}, dpi));

        // Items are subclassed in place. Without a position IDCANCEL keeps the
        // resource's size; the layout puts it beside IDOK.
        EXPECT_EQ(GetDlgItem(dialog.m_hWnd, IDOK), okBefore);
        EXPECT_EQ(CWnd::FromHandle(okBefore), dialog.FindControl(L"IDOK"));
        const RECT cancel = dialog.ItemRect(IDCANCEL);
        EXPECT_EQ(cancel.Width(), cancelBefore.Width());
        EXPECT_EQ(cancel.right, ok.left - Scale(8, dpi));
        EXPECT_EQ(cancel.top, ok.top);
        // The group box is subclassed as it is, and moved.
        EXPECT_EQ(dynamic_cast<CQZ_SkinnedControl*>(CWnd::FromHandle(GetDlgItem(dialog.m_hWnd, IDC_FRAME))),
                  nullptr);
        EXPECT_EQ(dialog.ItemRect(IDC_FRAME).top, Scale(112, dpi));

        const RECT edit = dialog.ItemRect(IDC_EDIT_NAME);
        const RECT frame = dialog.ItemRect(IDC_FRAME);
        const RECT title = dialog.ItemRect(IDC_TXT_TITLE);
        RECT window;
        dialog.GetWindowRect(&window);
        dialog.SetWindowPos(nullptr, 0, 0, window.Width() + 100, window.Height() + 60,
                            SWP_NOMOVE | SWP_NOZORDER);
        dialog.GetClientRect(&client);
        EXPECT_EQ(dialog.ItemRect(IDOK), (RECT{ok.left + 100, ok.top + 60, ok.right + 100, ok.bottom + 60}));
        const RECT movedCancel = dialog.ItemRect(IDCANCEL);
        EXPECT_EQ(movedCancel.right, ok.left + 100 - Scale(8, dpi));
        EXPECT_EQ(movedCancel.top, ok.top + 60);
        EXPECT_EQ(dialog.ItemRect(IDC_EDIT_NAME), (RECT{edit.left, edit.top, edit.right + 100, edit.bottom}));
        const RECT grown = dialog.ItemRect(IDC_FRAME);
        EXPECT_EQ(grown, (RECT{frame.left, frame.top, frame.right + 100, frame.bottom + 60}));
        EXPECT_EQ(dialog.ItemRect(IDC_TXT_TITLE), title);
        // Half way across the frame, its width kept.
        const RECT push = dialog.ItemRect(static_cast<int>(dialog.GetControlId(L"IDC_BTN_PUSH")));
        EXPECT_EQ(push.left, grown.left + grown.Width() / 2);
        EXPECT_EQ(push.Width(), Scale(310, dpi) - Scale(210, dpi));
        EXPECT_EQ(dialog.ItemRect(static_cast<int>(dialog.GetCloseButtonId())).right,
                  client.right - Scale(6, dpi));
        dialog.DestroyWindow();
    }

    // A dialog template that refuses DPI adaption keeps the file's pixels.
    Write("Fixed.ini", "[dialog]\ntemplate = fixedDialog\ndialogControlTemplateFile = BeautyDialogs.ini\n"
                       "controlTemplateFile = BeautyControls.ini\n[IDC_TXT_TITLE]\ntype = CQZ_Static\n"
                       "template = text\nposition = 16, 12, 360, 36\ncreate = subclass\n");
    BeautyTestDialog fixed(wideFolder_, L"Fixed.ini");
    ASSERT_TRUE(fixed.Create());
    EXPECT_FALSE(fixed.AdaptsToDpi());
    EXPECT_EQ(fixed.ItemRect(IDC_TXT_TITLE), (RECT{16, 12, 360, 36}));

    // A size change that comes from Qt (the user's drag) moves them too.
    BeautyTestDialog shown(wideFolder_, kMain);
    RECT before{};
    RECT after{};
    QTimer::singleShot(0, [&] {
        QWidget* widget = WidgetFromHandle(shown.m_hWnd);
        before = shown.ItemRect(IDOK);
        widget->setFixedSize(widget->width() + 40, widget->height() + 20);
        after = shown.ItemRect(IDOK);
        shown.EndDialog(IDOK);
    });
    EXPECT_EQ(shown.DoModal(), IDOK);
    EXPECT_EQ(after, (RECT{before.left + 40, before.top + 20, before.right + 40, before.bottom + 20}));
}

TEST_F(BeautyDialogTest, RegistryAnswersByExactNameAndFindsWhatTheDesignerMade)
{
    BeautyTestDialog registry(wideFolder_, kMain);
    EXPECT_FALSE(registry.RegisterControl(L"IDC_NONE", CQZ_BeautyDialogDesigner::kNoControlId, nullptr, 0));
    EXPECT_TRUE(registry.RegisterControl(L"IDC_X", 5, nullptr, 7));
    EXPECT_FALSE(registry.RegisterControl(L"IDC_X", 6, nullptr, 0));
    EXPECT_TRUE(registry.RegisterControl(L"idc_x", 6, nullptr, 0));
    EXPECT_TRUE(registry.RegisterControl(L"IDC_Y", 5, nullptr, 0));
    EXPECT_EQ(registry.GetControlId(L"IDC_X"), 5u);
    EXPECT_EQ(registry.GetControlId(L"Idc_X"), CQZ_BeautyDialogDesigner::kNoControlId);
    EXPECT_STREQ(registry.GetControlName(5), L"IDC_X");
    EXPECT_EQ(registry.GetControlName(99), nullptr);
    EXPECT_EQ(registry.GetControlUserValue(L"IDC_X"), 7u);
    EXPECT_EQ(registry.GetControlUserValue(L"IDC_Y"), 0u);
    EXPECT_FALSE(registry.UnregisterControl(L"IDC_X", 6));
    EXPECT_TRUE(registry.UnregisterControl(L"IDC_X", 5));
    EXPECT_STREQ(registry.GetControlName(5), L"IDC_Y");
    // No window yet: nothing to find.
    EXPECT_EQ(registry.FindControl(L"IDC_Y"), nullptr);

    BeautyTestDialog dialog(wideFolder_, kMain);
    dialog.extraNames = {{L"IDC_BTN_PUSH", 1500}};
    std::vector<HWND> before;
    dialog.beforeLoad = [&](BeautyTestDialog& d) { before = GetChildWindows(d.m_hWnd); };
    ASSERT_TRUE(dialog.Create());

    EXPECT_EQ(dialog.FindControl(L"IDC_TXT_TITLE"), &dialog.title);
    EXPECT_EQ(dialog.title.GetSafeHwnd(), GetDlgItem(dialog.m_hWnd, IDC_TXT_TITLE));
    auto* ok = dynamic_cast<CQZ_UniButton*>(dialog.FindControl(L"IDOK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->GetSafeHwnd(), GetDlgItem(dialog.m_hWnd, IDOK));
    EXPECT_EQ(dialog.FindControl(L"IDC_NOWHERE"), nullptr);

    // Created controls get free IDs from 101 on, each its own.
    std::vector<std::uint32_t> ids;
    for (const wchar_t* name : {L"IDC_TXT_INFO", L"IDC_BTN_TOGGLE", L"IDC_LIST", L"IDC_TXT_ANIMATED"}) {
        const std::uint32_t id = dialog.GetControlId(name);
        EXPECT_GE(id, CQZ_BeautyDialogDesigner::kFirstFreeControlId) << name;
        EXPECT_LT(id, CQZ_BeautyDialogDesigner::kLastFreeControlId) << name;
        for (const HWND child : before)
            EXPECT_NE(static_cast<std::uint32_t>(GetDlgCtrlID(child)), id) << name;
        EXPECT_EQ(std::count(ids.begin(), ids.end(), id), 0) << name;
        ids.push_back(id);
        ASSERT_NE(dialog.FindControl(name), nullptr) << name;
        EXPECT_EQ(dialog.GetControlName(id), std::wstring(name));
    }
    // A name the dialog registered keeps the dialog's ID.
    EXPECT_EQ(dialog.GetControlId(L"IDC_BTN_PUSH"), 1500u);
    EXPECT_NE(dynamic_cast<CQZ_UniButton*>(CWnd::FromHandle(GetDlgItem(dialog.m_hWnd, 1500))), nullptr);
    // The custom control is registered with the dialog's window object.
    EXPECT_EQ(dialog.GetControlId(L"IDC_CUSTOM"), static_cast<std::uint32_t>(IDC_CUSTOM));
    EXPECT_EQ(dialog.FindControl(L"IDC_CUSTOM"), CWnd::FromHandle(GetDlgItem(dialog.m_hWnd, IDC_CUSTOM)));
}

class RecordingListener : public CQZ_BeautyDialogDesignerListener {
  public:
    void OnDialogName(const std::wstring& name) override { events.push_back(L"name " + name); }
    void OnLoadEnded(bool ok) override { events.push_back(ok ? L"ended" : L"failed"); }
    std::vector<std::wstring> events;
};

TEST_F(BeautyDialogTest, BuiltControlsShowTheirTemplatesAndUnlistedOnesAreHidden)
{
    BeautyTestDialog dialog(wideFolder_, kMain);
    RecordingListener listener;
    dialog.AddDesignerListener(&listener);
    ASSERT_TRUE(dialog.Create());
    EXPECT_FALSE(HasStyle(GetDlgItem(dialog.m_hWnd, IDC_UNLISTED), WS_VISIBLE));
    EXPECT_TRUE(HasStyle(GetDlgItem(dialog.m_hWnd, IDC_EDIT_NAME), WS_VISIBLE));
    EXPECT_TRUE(HasStyle(GetDlgItem(dialog.m_hWnd, IDOK), WS_VISIBLE));
    ASSERT_NE(dialog.GetCloseButtonId(), 0u);
    EXPECT_TRUE(HasStyle(GetDlgItem(dialog.m_hWnd, static_cast<int>(dialog.GetCloseButtonId())), WS_VISIBLE));
    EXPECT_EQ(listener.events, (std::vector<std::wstring>{L"name BeautyTest", L"ended"}));
    // "toggle" inherits QZB_STATUS; "pushFromToggle" replaces the flag word.
    auto* toggle = dynamic_cast<CQZ_UniButton*>(dialog.FindControl(L"IDC_BTN_TOGGLE"));
    auto* push = dynamic_cast<CQZ_UniButton*>(dialog.FindControl(L"IDC_BTN_PUSH"));
    ASSERT_NE(toggle, nullptr);
    ASSERT_NE(push, nullptr);
    EXPECT_TRUE(toggle->IsCheckBox());
    EXPECT_FALSE(push->IsCheckBox());
    // The frame interval comes through two levels of bases; where the
    // option word drops the key, the file's own value is not read.
    for (const wchar_t* name : {L"IDC_TXT_INFO", L"IDC_TXT_TITLE", L"IDC_TXT_ANIMATED"}) {
        const auto* text = dynamic_cast<CQZ_Static*>(dialog.FindControl(name));
        ASSERT_NE(text, nullptr) << name;
        EXPECT_EQ(text->GetFrameInterval(), 80u) << name;
    }
    // The dialog's own template: caption, flags, background.
    EXPECT_EQ(dialog.GetWindowText(), L"Skinned test dialog");
    EXPECT_NE(dialog.GetDialogFlags() & CQZ_BeautyDialog::QZBDLG_FLG_CLOSE_BUTTON, 0u);
    EXPECT_NE(GetWindowLongW(dialog.m_hWnd, GWL_EXSTYLE) & static_cast<long>(WS_EX_APPWINDOW), 0);
    EXPECT_EQ(dialog.GetBackgroundColor(), 236 + 242 * 256 + 250 * 65536);
    EXPECT_TRUE(dialog.HasBackgroundImage());
    // The header band of the background image is drawn, not the colour under it.
    EXPECT_LT(qBlue(WidgetFromHandle(dialog.m_hWnd)->grab().toImage().pixel(2, 2)), 200);

    const CWnd* info = dialog.FindControl(L"IDC_TXT_INFO");
    EXPECT_EQ(info->GetWindowText(), L"Every control here comes from the definition file and its templates.");
    EXPECT_TRUE(HasStyle(info->GetSafeHwnd(), WS_VISIBLE));
    // A list box has no skinned object: a plain window of its class.
    const CWnd* list = dialog.FindControl(L"IDC_LIST");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(dynamic_cast<const CQZ_SkinnedControl*>(list), nullptr);
    EXPECT_FALSE(HasStyle(list->GetSafeHwnd(), WS_VISIBLE));

    // The custom hooks: one create call for the unknown type, one lookup.
    EXPECT_EQ(dialog.customCalls, std::vector<std::wstring>{L"IDC_CUSTOM:CQZ_WebView"});
    EXPECT_EQ(dialog.lookups, std::vector<std::wstring>{L"IDC_LOOKUP"});
    for (const QzDialogControlRecord& record : dialog.GetRecords()) {
        EXPECT_TRUE(record.created) << record.name;
        if (record.name == L"IDC_LOOKUP") {
            EXPECT_EQ(record.window, dialog.FindControl(L"IDC_CUSTOM"));
        }
    }
}

TEST_F(BeautyDialogTest, FileFlagsShowUnlistedControlsAndSetTheZOrder)
{
    Write("Shown.ini",
          Replaced(ReadBytes(Path("BeautyTest.ini")), "QZBDD_FLAG_HIDE_NOT_LISTED_CONTROLS | ", ""));
    BeautyTestDialog shown(wideFolder_, L"Shown.ini");
    ASSERT_TRUE(shown.Create());
    EXPECT_TRUE(HasStyle(GetDlgItem(shown.m_hWnd, IDC_UNLISTED), WS_VISIBLE));

    // With the file's Z order its controls come first, in file order.
    Write("ZOrder.ini", "[dialog]\ncontrolTemplateFile = BeautyControls.ini\ndialogIniFlags = QZBDD_FLAG_USE_INI_Z_ORDER\n"
                        "[IDCANCEL]\ntype = CQZ_UniButton\ntemplate = button\ncreate = subclass\n"
                        "[IDC_FRAME]\ntype = CQZ_ColorFrame\ntemplate = frame\ncreate = subclass\n");
    BeautyTestDialog ordered(wideFolder_, L"ZOrder.ini");
    ASSERT_TRUE(ordered.Create());
    const std::vector<HWND> children = GetChildWindows(ordered.m_hWnd);
    ASSERT_GE(children.size(), 2u);
    EXPECT_EQ(GetDlgCtrlID(children[0]), IDCANCEL);
    EXPECT_EQ(GetDlgCtrlID(children[1]), IDC_FRAME);
}

TEST_F(BeautyDialogTest, SavingWritesTheFileBackByteForByte)
{
    const std::string original = ReadBytes(Path("BeautyTest.ini"));
    for (const int dpi : {96, 168}) {
        SCOPED_TRACE(dpi);
        UseDpi(dpi);
        BeautyTestDialog dialog(wideFolder_, kMain);
        ASSERT_TRUE(dialog.Create());
        std::wstring path, backup;
        ASSERT_TRUE(dialog.Save(path, backup));
        EXPECT_EQ(ReadBytes(path), original);
        EXPECT_EQ(ReadBytes(backup), original);
        std::filesystem::remove(NativeFileName(backup));
        // The pool let go of the old text; the next save needs a new load.
        EXPECT_FALSE(CQZDefinitionFilePool::Instance().Contains(path));
        EXPECT_FALSE(dialog.Save(path, backup));
        dialog.DestroyWindow();
    }

    // The edit's current place is written, and the dialog names the type
    // of its "unknown" control.
    UseDpi(168);
    BeautyTestDialog dialog(wideFolder_, kMain);
    dialog.unknownType = L"CQZ_Static";
    ASSERT_TRUE(dialog.Create());
    const RECT edit = dialog.ItemRect(IDC_EDIT_NAME);
    SetWindowPos(GetDlgItem(dialog.m_hWnd, IDC_EDIT_NAME), nullptr, edit.left + Scale(10, 168), edit.top,
                 edit.Width(), edit.Height(), SWP_NOZORDER);
    std::wstring path, backup;
    ASSERT_TRUE(dialog.Save(path, backup));
    const std::string moved = Replaced(original, "position        =             16, 80, 404, 104\n",
                                       "position        =             26, 80, 414, 104\n");
    EXPECT_EQ(ReadBytes(path), Replaced(moved, "[IDC_LOOKUP]\n\ntype            =             unknown\n",
                                        "[IDC_LOOKUP]\n\ntype            =             CQZ_Static\n"));
}

TEST_F(BeautyDialogTest, BadFilesStillGiveADialog)
{
    // No file at all: the resource's layout.
    BeautyTestDialog missing(wideFolder_, L"Missing.ini");
    ASSERT_TRUE(missing.Create());
    EXPECT_FALSE(missing.loaded);
    EXPECT_TRUE(Reported(L"Missing.ini"));
    EXPECT_TRUE(HasStyle(GetDlgItem(missing.m_hWnd, IDC_UNLISTED), WS_VISIBLE));

    Write("Bad.ini", "[dialog]\ncontrolTemplateFile = BeautyControls.ini\n"
                     "dialogControlTemplateFile = BeautyDialogs.ini\ntemplate = cycleA\n"
                     "position = 0, 0, 99999999, 99999999\n"
                     "[IDC_ALIEN]\ntype = CQZ_Nothing\ntemplate = text\nstyle = WS_CHILD\nposition = 1,1,9,9\n"
                     "create = create\n"
                     "[IDC_HALF_STYLE]\ntype = CQZ_Static\ntemplate = text\nstyle = WS_CHILD | WS_NOT_A_STYLE\n"
                     "position = 1,1,9,9\ncreate = create\n"
                     "[IDC_NO_STYLE]\ntype = CQZ_Static\ntemplate = text\nstyle = NOT_A_STYLE\n"
                     "position = 1,1,9,9\ncreate = create\n"
                     "[IDC_NO_TEMPLATE]\ntype = CQZ_Static\ntemplate = noSuchTemplate\nstyle = WS_CHILD\n"
                     "position = 1,1,9,9\ncreate = create\n"
                     "[IDC_HUGE]\ntype = CQZ_Static\ntemplate = text\nstyle = WS_CHILD\n"
                     "position = 0, 0, 2000000000, 2000000000\ncreate = create\n"
                     "[IDC_NOBODY]\ntype = CQZ_Static\ntemplate = text\ncreate = subclass\n"
                     "[IDC_EDIT_NAME]\ntype = CQZ_Edit\ntemplate = field\nposition = -2000000000, 5, 9, 9\n"
                     "create = subclass\n"
                     "[ALIGNMENT1]\na = IDOK\nb = IDOK,,QZGUI_LEFT|QZGUI_RIGHT,0,0,0,0,0,0,0,0\n"
                     "c = IDOK,,0,QZGUI_PERCENT_WIDTH,0,0,0,0,0,0,0\n"
                     "d = IDOK,,0,0,0,0,QZGUI_LEFT,0,0,0,0\ne = IDOK,,QZGUI_LEFT,0,0,0,0,1,2,3\n");
    BeautyTestDialog bad(wideFolder_, L"Bad.ini");
    RECT templateSize{};
    bad.beforeLoad = [&](BeautyTestDialog& d) { d.GetClientRect(&templateSize); };
    ASSERT_TRUE(bad.Create());
    EXPECT_TRUE(bad.loaded);
    RECT client;
    bad.GetClientRect(&client);
    EXPECT_EQ(client, templateSize);
    for (const wchar_t* report :
         {L"dialog position ignored", L"names itself through its bases", L"IDC_HUGE is out of range",
          L"no template noSuchTemplate for IDC_NO_TEMPLATE", L"IDC_EDIT_NAME is out of range", L"a=IDOK",
          L"b=IDOK", L"c=IDOK", L"d=IDOK", L"e=IDOK"})
        EXPECT_TRUE(Reported(report)) << report;
    EXPECT_EQ(bad.customCalls, std::vector<std::wstring>{L"IDC_ALIEN:CQZ_Nothing"});
    EXPECT_TRUE(bad.GetLayoutManager()->GetRules().empty());
    for (const QzDialogControlRecord& record : bad.GetRecords())
        EXPECT_EQ(record.created, record.name == L"IDC_HALF_STYLE") << record.name;

    // A definition file naming itself as its template file: no templates.
    Write("Self.ini", "[dialog]\ncontrolTemplateFile = Self.ini\n"
                      "[IDC_TXT_TITLE]\ntype = CQZ_Static\ntemplate = IDC_TXT_TITLE\ncreate = subclass\n");
    BeautyTestDialog self(wideFolder_, L"Self.ini");
    ASSERT_TRUE(self.Create());
    EXPECT_TRUE(self.loaded);
    EXPECT_FALSE(self.GetRecords().at(0).created);
    EXPECT_TRUE(Reported(L"unknown class"));

    // Background images that are not there or are no images.
    for (const char* name : {"brokenImageDialog", "missingImageDialog"}) {
        Write("Image.ini", std::string("[dialog]\ndialogControlTemplateFile = BeautyDialogs.ini\ntemplate = ") +
                               name + "\n");
        CQZDefinitionFilePool::Instance().Drop(Path("Image.ini"));
        BeautyTestDialog image(wideFolder_, L"Image.ini");
        ASSERT_TRUE(image.Create());
        EXPECT_TRUE(image.loaded);
        EXPECT_FALSE(image.HasBackgroundImage());
    }
    EXPECT_TRUE(Reported(L"cannot read the background image"));
    EXPECT_TRUE(Reported(L"no background image"));

    // Only a dialog with a window can be designed (the type already
    // rules out a window that is no skinned dialog).
    BeautyTestDialog unshown(wideFolder_, kMain);
    EXPECT_FALSE(missing.Load(wideFolder_, kMain, &unshown));
    EXPECT_FALSE(missing.Load(wideFolder_, kMain, nullptr));
}

TEST_F(BeautyDialogTest, PoolClosesLeastRecentlyUsedReadersButNotLockedOnes)
{
    CQZDefinitionFilePool& pool = CQZDefinitionFilePool::Instance();
    EXPECT_EQ(pool.GetLimit(), CQZDefinitionFilePool::kDefaultLimit);
    std::vector<std::wstring> paths;
    for (int i = 0; i < 6; ++i) {
        Write("Pool" + std::to_string(i) + ".ini", "[dialog]\nname = pool" + std::to_string(i) + "\n");
        paths.push_back(Path("Pool" + std::to_string(i) + ".ini"));
    }
    pool.SetLimit(5);
    for (int i = 0; i < 5; ++i)
        ASSERT_NE(pool.Acquire(paths[i]), nullptr);
    EXPECT_EQ(pool.GetSize(), 5u);
    // Locked under another spelling: names are compared without case.
    pool.Lock(Path("POOL0.INI"));
    const auto again = pool.Acquire(paths[1]);
    EXPECT_EQ(again, pool.Acquire(paths[1]));
    ASSERT_NE(pool.Acquire(paths[5]), nullptr);
    EXPECT_EQ(pool.GetSize(), 4u);
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(pool.Contains(paths[i]), i != 2 && i != 3) << i;
    pool.Unlock(paths[0]);

    // A file changed on disk is read again; a missing one gives nothing.
    Write("Pool1.ini", "[dialog]\nname = changed text\n");
    std::wstring name;
    const auto changed = pool.Acquire(paths[1]);
    ASSERT_NE(changed, nullptr);
    changed->GetString(L"dialog", L"name", L"", name);
    EXPECT_EQ(name, L"changed text");
    EXPECT_EQ(pool.Acquire(Path("Nowhere.ini")), nullptr);
    pool.SetLimit(CQZDefinitionFilePool::kDefaultLimit);
}

TEST_F(BeautyDialogTest, RunTimeFlagsGovernKeysAndClosing)
{
    Write("Keys.ini", Replaced(ReadBytes(Path("BeautyTest.ini")), "= testDialog", "= keysDialog"));
    BeautyTestDialog keys(wideFolder_, L"Keys.ini");
    bool stillOpen = false;
    std::wstring editText;
    QTimer::singleShot(0, [&] {
        QWidget* widget = WidgetFromHandle(keys.m_hWnd);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(widget, &escape);
        QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(WidgetFromHandle(GetDlgItem(keys.m_hWnd, IDC_EDIT_NAME)), &letter);
        // A static does not take keys: the dialog sees it go by once.
        QKeyEvent other(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
        QApplication::sendEvent(WidgetFromHandle(GetDlgItem(keys.m_hWnd, IDC_TXT_FOOTNOTE)), &other);
        // The close button's click goes the way of the close box: refused too.
        SendMessage(keys.m_hWnd, WM_COMMAND, MAKEWPARAM(keys.GetCloseButtonId(), BN_CLICKED), 0);
        stillOpen = IsWindowVisible(keys.m_hWnd);
        editText = GetDlgItemTextW(keys.m_hWnd, IDC_EDIT_NAME);
        keys.EndDialog(5);
    });
    EXPECT_EQ(keys.DoModal(), 5);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(keys.keys, (std::vector<std::uint32_t>{VK_ESCAPE, 'A', 'B'}));
    EXPECT_EQ(editText, L"Designer");

    // Without those flags the close button cancels.
    BeautyTestDialog closing(wideFolder_, kMain);
    QTimer::singleShot(0, [&] {
        SendMessage(closing.m_hWnd, WM_COMMAND, MAKEWPARAM(closing.GetCloseButtonId(), BN_CLICKED), 0);
    });
    EXPECT_EQ(closing.DoModal(), IDCANCEL);
    EXPECT_TRUE(closing.keys.empty());

    // ReportError: a box with both texts, then the end with 2.
    BeautyTestDialog reporting(wideFolder_, kMain);
    std::vector<std::wstring> boxes;
    SetMessageBoxResponder([&](const std::wstring& message, const std::wstring&, UINT) {
        boxes.push_back(message);
        return IDOK;
    });
    std::vector<bool> answers;
    QTimer::singleShot(0, [&] {
        answers.push_back(reporting.ReportError(1, 3, L"never ", L"shown"));
        answers.push_back(reporting.ReportError(0, 1, L"Cannot ", L"go on"));
        answers.push_back(reporting.ReportError(0, 2, L"Ending", L""));
    });
    EXPECT_EQ(reporting.DoModal(), 2);
    SetMessageBoxResponder({});
    EXPECT_EQ(answers, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(boxes, std::vector<std::wstring>{L"Cannot go on"});
    EXPECT_TRUE(Reported(L"Ending"));
}

} // namespace
