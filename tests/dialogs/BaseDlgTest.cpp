// The dialog base: DPI, skin folder, template language, product name,
// controls shown and checked, and the main-area frame.
#include "BaseDlgTestSupport.h"

#include "dialogs/BaseDlg.h"
#include "gui/DpiState.h"
#include "gui/controls/UniButton.h"
#include "platform/RcResourceTable.h"
#include "rc/ResourceEncoder.h"
#include "support/RecordingHost.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <vector>

using namespace qz::platform;
using qz::test::RecordingHost;

namespace {

constexpr std::uint32_t kEnglishTemplate = 4100;      // 2057 only
constexpr std::uint32_t kGermanOnlyTemplate = 4101;   // 1031 only
constexpr std::uint32_t kTwoLanguageTemplate = 4102;  // 1031 and 2057
constexpr std::uint32_t kMissingTemplate = 4199;

constexpr int kFrame = 3000;
constexpr int kOption = 3001;
constexpr int kPlainCheck = 3002;
constexpr int kHeadline = 3003;
constexpr int kTwice = 3004;

DialogItemTemplate Item(int id, std::uint16_t cls, DWORD style, const wchar_t* text, short x, short y, short cx,
                        short cy)
{
    DialogItemTemplate item;
    item.id = static_cast<std::uint32_t>(id);
    item.windowClass = ResName::Ordinal(cls);
    item.style = WS_CHILD | WS_VISIBLE | style;
    item.text = ResName::Named(text);
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    return item;
}

std::vector<std::uint8_t> ProbeTemplate(const wchar_t* caption)
{
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    t.cx = 200;
    t.cy = 120;
    t.caption = caption;
    t.pointSize = 8;
    t.typeface = L"MS Shell Dlg";
    t.items.push_back(Item(kFrame, kClassButton, BS_GROUPBOX, L"", 5, 5, 190, 80));
    t.items.push_back(Item(kOption, kClassButton, BS_AUTOCHECKBOX | WS_TABSTOP, L"Option", 10, 15, 80, 10));
    t.items.push_back(Item(kPlainCheck, kClassButton, BS_AUTOCHECKBOX | WS_TABSTOP, L"Plain", 100, 15, 80, 10));
    t.items.push_back(Item(kHeadline, kClassStatic, SS_LEFT, L"There is an update for $TAVOR$.", 10, 30, 180, 10));
    t.items.push_back(Item(kTwice, kClassStatic, SS_LEFT, L"$TAVOR$ is new; get $TAVOR$ now.", 10, 45, 180, 10));
    t.items.push_back(Item(IDOK, kClassButton, BS_DEFPUSHBUTTON | WS_TABSTOP, L"OK", 140, 100, 50, 14));
    return EncodeDialogTemplate(t);
}

// The templates live as long as the program, as compiled resources do.
void AddProbeTemplates()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static std::deque<std::vector<std::uint8_t>> storage;
        auto add = [](std::uint32_t id, LANGID language, const wchar_t* caption) {
            storage.push_back(ProbeTemplate(caption));
            ModuleResources().Add(ResourceView{ResName::Ordinal(RT_DIALOG),
                                               ResName::Ordinal(static_cast<std::uint16_t>(id)), language,
                                               storage.back()});
        };
        add(kEnglishTemplate, 2057, L"English (UK)");
        add(kGermanOnlyTemplate, 1031, L"Deutsch");
        add(kTwoLanguageTemplate, 1031, L"Deutsch");
        add(kTwoLanguageTemplate, 2057, L"English (UK)");
    });
}

class ProbeDlg : public CBaseDlg, public CQZ_BeautyDialogDesignerListener {
  public:
    ProbeDlg(QzAutoUpdate::CUpdateConfiguration2* configuration, std::uint32_t templateId)
        : CBaseDlg(configuration, templateId, nullptr), templateId_(templateId)
    {
        AddDesignerListener(this);
    }
    ~ProbeDlg() override { RemoveDesignerListener(this); }

    BOOL OnInitDialog() override
    {
        CBaseDlg::OnInitDialog();
        if (!option.GetSafeHwnd()) {
            option.SubclassControl(qz::platform::GetDlgItem(m_hWnd, kOption));
        }
        ++initCount;
        return TRUE;
    }

    void OnDialogName(const std::wstring& name) override { dialogNames.push_back(name); }

    CQZ_UniButton option;
    int initCount = 0;
    RECT frameBefore{};
    std::vector<std::wstring> dialogNames;

  protected:
    void RegisterControls() override
    {
        RegisterControl(L"IDC_GENERALCONTROLS_FRAME_MAIN_AREA", kFrame, nullptr, 0);
        RegisterControl(L"IDC_OPTION", kOption, &option, 0);
        // Where the frame was before the base class stretched it.
        HWND frame = qz::platform::GetDlgItem(m_hWnd, kFrame);
        qz::platform::GetWindowRect(frame, &frameBefore);
        MapWindowRect(nullptr, m_hWnd, &frameBefore);
    }
    std::wstring GetDefinitionFileName() const override { return L"Probe.ini"; }
    std::uint32_t GetTemplateID() const override { return templateId_; }

  private:
    std::uint32_t templateId_;
};

ProbeDlg& Probe(CDialog& dialog)
{
    return static_cast<ProbeDlg&>(dialog);
}

class BaseDlgTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(qz::test::RequireDialogGui());
        AddProbeTemplates();
    }
    void TearDown() override { SetDisplayDpiOverride(0); }
};

TEST_F(BaseDlgTest, SkinFolderIsTheHostsOrTheDefaultUnderTheExecutable)
{
    const std::wstring exeFolder = QzOSAL::QzPath(QzOSAL::QzPath::kExecutableFolder).GetPath();
    ASSERT_FALSE(exeFolder.empty());
    const std::wstring testSkin = QZ_TEST_DATA_DIR L"/dialogs/skin/";

    ProbeDlg bare(nullptr, kEnglishTemplate);
    EXPECT_EQ(bare.GetSkinFolder().GetPath(), exeFolder);

    RecordingHost defaultSkin;
    defaultSkin.texts["GetSkinFolder"] = std::nullopt;
    ProbeDlg byDefault(&defaultSkin, kEnglishTemplate);
    EXPECT_EQ(byDefault.GetSkinFolder().GetPath(), exeFolder + L"Bitmaps/QzAutoUpdate/");

    RecordingHost ownSkin;
    ownSkin.texts["GetSkinFolder"] = testSkin;
    ProbeDlg hosted(&ownSkin, kEnglishTemplate);
    EXPECT_EQ(hosted.GetSkinFolder().GetPath(), testSkin);

    // The definition file is read from the "Dialogs" folder of that folder:
    // only the test skin holds Probe.ini.
    auto close = [](CDialog& d) { d.EndDialog(IDOK); };
    EXPECT_EQ(qz::test::RunModal(hosted, close), IDOK);
    EXPECT_EQ(hosted.dialogNames, std::vector<std::wstring>{L"ProbeFromTestSkin"});
    EXPECT_EQ(qz::test::RunModal(byDefault, close), IDOK);
    EXPECT_TRUE(byDefault.dialogNames.empty());
    // Without the trailing separator the folder is joined all the same.
    RecordingHost noSlash;
    noSlash.texts["GetSkinFolder"] = QZ_TEST_DATA_DIR L"/dialogs/skin";
    ProbeDlg joined(&noSlash, kEnglishTemplate);
    EXPECT_EQ(qz::test::RunModal(joined, close), IDOK);
    EXPECT_EQ(joined.dialogNames, std::vector<std::wstring>{L"ProbeFromTestSkin"});
}

TEST_F(BaseDlgTest, TemplateInTheCurrentLanguageThenEnglishThenAny)
{
    RecordingHost host;
    qz::test::ScopedCurrentConfiguration current(&host);
    auto captionOf = [&](std::uint32_t templateId) {
        ProbeDlg dlg(&host, templateId);
        std::wstring caption;
        const std::intptr_t result = qz::test::RunModal(dlg, [&](CDialog& d) {
            caption = GetWindowTextW(d.m_hWnd);
            d.EndDialog(5);
        });
        EXPECT_EQ(result, 5);
        return caption;
    };

    host.programLanguage = L"fr_FR";
    EXPECT_EQ(captionOf(kGermanOnlyTemplate), L"Deutsch");
    // English (United Kingdom) comes before a language with a lower ID.
    EXPECT_EQ(captionOf(kTwoLanguageTemplate), L"English (UK)");
    host.programLanguage = L"D";
    EXPECT_EQ(captionOf(kTwoLanguageTemplate), L"Deutsch");
    EXPECT_EQ(captionOf(kEnglishTemplate), L"English (UK)");

    ProbeDlg missing(&host, kMissingTemplate);
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_EQ(missing.initCount, 0);
    EXPECT_EQ(missing.GetSafeHwnd(), nullptr);
}

TEST_F(BaseDlgTest, ProductNameReplacesEveryPlaceholder)
{
    // The name is set apart as a directional isolate, so that its own
    // direction marks cannot reorder the sentence around it. A name that
    // holds the placeholder itself is put in once per place; without a
    // configuration the placeholder stays.
    const struct {
        const wchar_t* product;
        const wchar_t* headline;
        const wchar_t* twice;
    } cases[] = {
        {L"Demo", L"There is an update for \u2068Demo\u2069.", L"\u2068Demo\u2069 is new; get \u2068Demo\u2069 now."},
        {L"<$TAVOR$>", L"There is an update for \u2068<$TAVOR$>\u2069.",
         L"\u2068<$TAVOR$>\u2069 is new; get \u2068<$TAVOR$>\u2069 now."},
        // The texts mark mnemonics with '&': the name's own shows as itself.
        {L"R&D &&Co", L"There is an update for \u2068R&&D &&&&Co\u2069.",
         L"\u2068R&&D &&&&Co\u2069 is new; get \u2068R&&D &&&&Co\u2069 now."},
        {nullptr, L"There is an update for $TAVOR$.", L"$TAVOR$ is new; get $TAVOR$ now."}};
    for (const auto& c : cases) {
        RecordingHost host;
        host.texts["GetProductName"] = c.product ? c.product : L"";
        ProbeDlg dlg(c.product ? &host : nullptr, kEnglishTemplate);
        qz::test::RunModal(dlg, [&](CDialog& d) {
            ProbeDlg& p = Probe(d);
            p.ReplaceProductPlaceholder(p.GetDlgItem(kHeadline));
            p.ReplaceProductPlaceholder(p.GetDlgItem(kTwice));
            p.ReplaceProductPlaceholder(nullptr);
            EXPECT_EQ(p.GetDlgItemText(kHeadline), c.headline);
            EXPECT_EQ(p.GetDlgItemText(kTwice), c.twice);
            d.EndDialog(IDOK);
        });
    }
}

TEST_F(BaseDlgTest, ShowControlAndSetCheckTouchOnlyWhatTheyMay)
{
    ProbeDlg dlg(nullptr, kEnglishTemplate);
    qz::test::RunModal(dlg, [](CDialog& d) {
        ProbeDlg& p = Probe(d);
        HWND headline = qz::platform::GetDlgItem(d.m_hWnd, kHeadline);
        p.ShowControl(kHeadline, false);
        EXPECT_FALSE(IsWindowVisible(headline));
        p.ShowControl(kHeadline, true);
        EXPECT_TRUE(IsWindowVisible(headline));
        p.ShowControl(4711, false);

        p.SetCheck(kOption, true);
        EXPECT_TRUE(p.option.GetCheck());
        p.SetCheck(kOption, false);
        EXPECT_FALSE(p.option.GetCheck());
        // A button that is no skinned button keeps its state.
        p.SetCheck(kPlainCheck, true);
        EXPECT_EQ(IsDlgButtonChecked(d.m_hWnd, kPlainCheck), BST_UNCHECKED);
        p.SetCheck(4711, true);
        d.EndDialog(IDOK);
    });
}

TEST_F(BaseDlgTest, MainAreaFrameKeepsItsBottomMarginScaled)
{
    // The frame is found once a definition file has been applied.
    RecordingHost host;
    host.texts["GetSkinFolder"] = QZ_TEST_DATA_DIR L"/dialogs/skin/";
    for (int display : {96, 192}) {
        SetDisplayDpiOverride(display);
        ProbeDlg dlg(&host, kEnglishTemplate);
        qz::test::RunModal(dlg, [](CDialog& d) {
            ProbeDlg& p = Probe(d);
            RECT client;
            d.GetClientRect(&client);
            RECT frame;
            qz::platform::GetWindowRect(qz::platform::GetDlgItem(d.m_hWnd, kFrame), &frame);
            MapWindowRect(nullptr, d.m_hWnd, &frame);
            const RECT& before = p.frameBefore;
            ASSERT_GT(before.Height(), 0);
            EXPECT_EQ(frame.left, before.left);
            EXPECT_EQ(frame.top, before.top);
            EXPECT_EQ(frame.Width(), before.Width());
            EXPECT_EQ(frame.bottom, client.bottom - MulDiv(client.bottom - before.bottom, p.GetDpi(), 96));
            if (p.GetDpi() != 96) {
                EXPECT_NE(frame.bottom, before.bottom);
            }
            EXPECT_TRUE(CQZDpiState::IsScaling());
            EXPECT_EQ(CQZDpiState::GetDpiX(), p.GetDpi());
            EXPECT_EQ(CQZDpiState::GetDpiY(), p.GetDpi());
            d.EndDialog(IDOK);
        });
        EXPECT_EQ(dlg.GetDpi(), display == 96 ? 96 : 168);
    }
}

} // namespace
