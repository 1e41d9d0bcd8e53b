// Time from DoModal to the first painted frame of a dialog with 20 controls
// built from a template, offscreen, with the window system warm (fonts,
// styles and the application made by an earlier run). Goal: under 30 ms.
#include "platform/window/Dialog.h"
#include "platform/window/WindowQt.h"
#include "platform/window/WindowSystem.h"
#include "rc/RcParser.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

using namespace qz::platform;
using Clock = std::chrono::steady_clock;

// Twenty controls of the kinds the update dialogs use.
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
    GROUPBOX        "What is new",1008,7,58,306,70
    EDITTEXT        1009,14,70,292,52,ES_MULTILINE | ES_READONLY | WS_VSCROLL
    GROUPBOX        "Options",1010,7,132,306,48
    AUTOCHECKBOX    "Send anonymous usage data",1011,14,144,180,10
    AUTOCHECKBOX    "Check for updates every week",1012,14,156,180,10
    AUTORADIOBUTTON "Install now",1013,200,144,100,10,WS_GROUP
    AUTORADIOBUTTON "Install on exit",1014,200,156,100,10
    EDITTEXT        1015,14,166,180,12,ES_AUTOHSCROLL
    CONTROL         "",1016,"msctls_progress32",PBS_SMOOTH | WS_BORDER,7,184,306,10
    PUSHBUTTON      "&Details...",1017,7,199,60,14
    PUSHBUTTON      "&Later",1018,145,199,52,14
    DEFPUSHBUTTON   "&Update",IDOK,201,199,52,14
    PUSHBUTTON      "Cancel",IDCANCEL,261,199,52,14
END
)rc";

// Ends the dialog once its first frame is painted and keeps that moment. The
// dialog paints before its children in the same pass; a zero timer runs after
// the whole pass (children and flush) is done.
class FirstFrameWatch : public QObject {
  public:
    explicit FirstFrameWatch(CDialog& dialog) : dialog_(dialog) {}

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

class BenchDialog : public CDialog {
  public:
    BOOL OnInitDialog() override
    {
        const BOOL result = CDialog::OnInitDialog();
        WidgetFromHandle(m_hWnd)->installEventFilter(&watch);
        controls = GetChildWindows(m_hWnd).size();
        return result;
    }

    FirstFrameWatch watch{*this};
    std::size_t controls = 0;
};

const std::vector<std::uint8_t>& TemplateData()
{
    static const std::vector<std::uint8_t> data = [] {
        RcParseResult parsed = ParseRc(kScript, "dialog_bench.rc");
        if (parsed.error || parsed.resources.size() != 1) {
            std::abort();
        }
        return parsed.resources.front().data;
    }();
    return data;
}

// Seconds from DoModal to the first painted frame; negative on failure.
double ShowOnce()
{
    BenchDialog dialog;
    if (!dialog.InitModalIndirect(TemplateData())) {
        return -1;
    }
    const Clock::time_point start = Clock::now();
    if (dialog.DoModal() != IDOK || dialog.controls != 20) {
        return -1;
    }
    return std::chrono::duration<double>(dialog.watch.painted - start).count();
}

void BM_DoModalToFirstFrame(benchmark::State& state)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (!EnsureGuiApplication() || ShowOnce() < 0) {
        state.SkipWithError("no GUI, or the dialog did not paint");
        return;
    }
    for (auto _ : state) {
        const double seconds = ShowOnce();
        if (seconds < 0) {
            state.SkipWithError("the dialog did not paint");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["controls"] = 20;
}
BENCHMARK(BM_DoModalToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// The application lives until exit, so fontconfig's caches stay allocated.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
