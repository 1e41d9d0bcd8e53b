// Time from DoModal to the first painted frame of a skinned dialog whose 20
// controls come from a definition file: cold (definition-file pool, template
// cache and INI text cache emptied before each run) and warm (all kept).
// Offscreen. Goal: under 50 ms warm.
#include "config/QZIniFileReader.h"
#include "gui/BeautyDialog.h"
#include "gui/ControlTemplateCache.h"
#include "gui/DefinitionFilePool.h"
#include "platform/FileNames.h"
#include "platform/window/WindowQt.h"
#include "platform/window/WindowSystem.h"
#include "rc/RcParser.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace qz::platform;
using Clock = std::chrono::steady_clock;

constexpr char kScript[] = R"rc(
LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_UK
100 DIALOGEX 0, 0, 320, 220
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Update available"
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    LTEXT           "A new version is available.",1001,7,7,306,10
    LTEXT           "Product:",1002,7,21,60,8
    LTEXT           "Example Product 2027",1003,70,21,243,8
    LTEXT           "Installed version:",1004,7,33,60,8
    LTEXT           "1.2.3.4",1005,70,33,243,8
    LTEXT           "New version:",1006,7,45,60,8
    LTEXT           "1.3.0.0",1007,70,45,243,8
    EDITTEXT        1009,14,70,292,52,ES_MULTILINE | ES_READONLY | WS_VSCROLL
    AUTOCHECKBOX    "Send anonymous usage data",1011,14,144,180,10
    AUTOCHECKBOX    "Check for updates every week",1012,14,156,180,10
    EDITTEXT        1015,14,166,180,12,ES_AUTOHSCROLL
    DEFPUSHBUTTON   "&Update",IDOK,201,199,52,14
    PUSHBUTTON      "Cancel",IDCANCEL,261,199,52,14
END
)rc";

constexpr char kTemplates[] = R"ini(
[general]
dibStandard = button.png
dibPressed = button_pressed.png
ink = 31, 41, 51
[button]
controlClass = CQZ_UniButton
options = QZB_OPT_INIT | QZB_OPT_TEXTCOLOR | QZB_OPT_PREGENERICSTRUCT
flags = QZB_TRANSPARENT
textColor = 255, 255, 255
genericDrawing.borders = 4, 4, 4, 4
[checkBox]
controlClass = CQZ_UniButton
baseTemplate = button
flags = QZB_TRANSPARENT | QZB_TEXT_LEFT
textColor = ink
[text]
controlClass = CQZ_Static
options = QZS_OPT_INIT | QZS_OPT_ACTIVECOLOR
flags = QZS_TRANSPARENT_BACKGRND
activeColor = ink
[heading]
controlClass = CQZ_Static
baseTemplate = text
optionsToAdd = QZS_OPT_SETFONT
font = MS Shell Dlg, -12 700 0 0 0 0 5
[field]
controlClass = CQZ_Edit
options = QZE_OPT_INIT | QZE_OPT_CUSTOMCOLORS
dialogColor = 255, 255, 255
[meter]
controlClass = CQZ_PeakMeterCtrl
options = QZPM_OPT_INIT
flags = QZP_HORIZONTAL | QZP_PROGRESS_INDICATION
[dialog]
controlClass = CQZ_BeautyDialog
options = QZBDLG_OPT_INIT
flags = QZBDLG_FLG_CUSTOMBKGND | QZBDLG_FLG_CLOSE_BUTTON
backgroundColor = 245, 247, 250
closeButtonTemplate = button
)ini";

// The definition: 13 items of the resource subclassed, 7 controls created.
std::string Definition()
{
    std::string text = "[dialog]\nname = Bench\ntext = Skinned benchmark\ntemplate = dialog\n"
                       "position = 0, 0, 480, 360\ncontrolTemplateFile = Templates.ini\n"
                       "dialogControlTemplateFile = Templates.ini\n"
                       "dialogIniFlags = QZBDD_FLAG_USE_DIALOG_CLIENT_POSITION | QZBDD_FLAG_HIDE_NOT_LISTED_CONTROLS\n";
    const char* const subclassed[][2] = {
        {"IDC_1001", "heading"}, {"IDC_1002", "text"},     {"IDC_1003", "text"},     {"IDC_1004", "text"},
        {"IDC_1005", "text"},    {"IDC_1006", "text"},     {"IDC_1007", "text"},     {"IDC_1009", "field"},
        {"IDC_1011", "checkBox"}, {"IDC_1012", "checkBox"}, {"IDC_1015", "field"},    {"IDOK", "button"},
        {"IDCANCEL", "button"},
    };
    int top = 12;
    for (const auto& [name, templateName] : subclassed) {
        const std::string type = std::string(templateName) == "field"  ? "CQZ_Edit"
                                 : std::string(templateName) == "button" || std::string(templateName) == "checkBox"
                                     ? "CQZ_UniButton"
                                     : "CQZ_Static";
        text += std::string("[") + name + "]\ntype = " + type + "\ntemplate = " + templateName +
                "\ncreate = subclass\nposition = 12, " + std::to_string(top) + ", 300, " + std::to_string(top + 20) +
                "\n";
        top += 22;
    }
    for (int i = 0; i < 7; ++i) {
        const bool meter = i == 6;
        text += "[IDC_NEW_" + std::to_string(i) + "]\ntype = " + (meter ? "CQZ_PeakMeterCtrl" : "CQZ_Static") +
                "\ntemplate = " + (meter ? "meter" : "text") + "\ncreate = create\nstyle = WS_CHILD | WS_VISIBLE\n" +
                "text = Created control " + std::to_string(i) + "\nposition = 320, " + std::to_string(12 + i * 24) +
                ", 468, " + std::to_string(32 + i * 24) + "\n";
    }
    text += "[ALIGNMENT1]\nok = IDOK, , 0, 0, QZGUI_RIGHT, QZGUI_BOTTOM, QZGUI_SIZEX | QZGUI_SIZEY, 0, 0, 12, 12\n"
            "cancel = IDCANCEL, IDOK, 0, QZGUI_TOP, QZGUI_LEFT, 0, QZGUI_SIZEX | QZGUI_SIZEY, 0, 0, 8, 0\n";
    return text;
}

const std::string& Folder();

void RemoveFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
}

const std::string& Folder()
{
    // Never destroyed, so the exit handler can still read it.
    static const std::string* folder = [] {
        char pattern[] = "/tmp/qz_beauty_bench_XXXXXX";
        if (!mkdtemp(pattern))
            std::abort();
        auto* made = new std::string(pattern);
        std::atexit(RemoveFolder);
        return made;
    }();
    return *folder;
}

// The skin the benchmark loads: templates, definition and two images.
void WriteSkin()
{
    static const bool written = [] {
        const std::string& made = Folder();
        std::ofstream(made + "/Templates.ini") << kTemplates;
        std::ofstream(made + "/Bench.ini") << Definition();
        QImage button(48, 20, QImage::Format_ARGB32);
        button.fill(qRgb(47, 111, 181));
        button.save(QString::fromStdString(made + "/button.png"));
        button.fill(qRgb(30, 80, 140));
        button.save(QString::fromStdString(made + "/button_pressed.png"));
        return true;
    }();
    (void)written;
}

const std::vector<std::uint8_t>& TemplateData()
{
    static const std::vector<std::uint8_t> data = [] {
        RcParseResult parsed = ParseRc(kScript, "beauty_dialog_bench.rc");
        if (parsed.error || parsed.resources.size() != 1)
            std::abort();
        return parsed.resources.front().data;
    }();
    return data;
}

class BenchDialog : public CQZ_BeautyDialog {
  public:
    BenchDialog() : CQZ_BeautyDialog(0, WideFileName(Folder() + "/Bench.ini"), 0) {}

    BOOL OnInitDialog() override
    {
        const BOOL result = CQZ_BeautyDialog::OnInitDialog();
        WidgetFromHandle(m_hWnd)->installEventFilter(&watch);
        return result;
    }

    // The ID names of the resource's items.
    void RegisterItems()
    {
        for (const int id : {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1009, 1011, 1012, 1015})
            RegisterControl(L"IDC_" + std::to_wstring(id), static_cast<std::uint32_t>(id), nullptr, 0);
        RegisterControl(L"IDOK", IDOK, nullptr, 0);
        RegisterControl(L"IDCANCEL", IDCANCEL, nullptr, 0);
    }

    // Ends the dialog after the first whole paint pass.
    class Watch : public QObject {
      public:
        explicit Watch(CDialog& dialog) : dialog_(dialog) {}
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && !seen_) {
                seen_ = true;
                QTimer::singleShot(0, watched, [this] {
                    painted = Clock::now();
                    dialog_.EndDialog(IDOK);
                });
            }
            return false;
        }
        Clock::time_point painted;

      private:
        CDialog& dialog_;
        bool seen_ = false;
    };
    Watch watch{*this};
};

// Seconds from DoModal to the first painted frame; negative on failure.
double ShowOnce(bool cold)
{
    if (cold) {
        CQZDefinitionFilePool::Instance().Clear();
        CQZControlTemplateCache::Instance().Clear();
        CQZIniFileReader::ClearCache(true);
    }
    BenchDialog dialog;
    dialog.RegisterItems();
    if (!dialog.InitModalIndirect(TemplateData()))
        return -1;
    const Clock::time_point start = Clock::now();
    if (dialog.DoModal() != IDOK || dialog.GetRecords().size() != 20)
        return -1;
    for (const QzDialogControlRecord& record : dialog.GetRecords()) {
        if (!record.created)
            return -1;
    }
    return std::chrono::duration<double>(dialog.watch.painted - start).count();
}

void Run(benchmark::State& state, bool cold)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!EnsureGuiApplication()) {
        state.SkipWithError("no GUI");
        return;
    }
    WriteSkin();
    if (ShowOnce(false) < 0) {
        state.SkipWithError("the skinned dialog did not load and paint");
        return;
    }
    for (auto _ : state) {
        const double seconds = ShowOnce(cold);
        if (seconds < 0) {
            state.SkipWithError("the skinned dialog did not load and paint");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["controls"] = 20;
}

void BM_SkinnedDialogCold(benchmark::State& state)
{
    Run(state, true);
}
BENCHMARK(BM_SkinnedDialogCold)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SkinnedDialogWarm(benchmark::State& state)
{
    Run(state, false);
}
BENCHMARK(BM_SkinnedDialogWarm)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// The application lives until exit, so fontconfig's caches stay allocated.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
