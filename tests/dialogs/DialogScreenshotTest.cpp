// Every state of every update dialog, in every language at 96 to 288 DPI,
// with a short and a long product name, checked for what people would
// notice: a text cut off, two controls on top of each other, a control
// outside the dialog, an empty band where a control seems to be missing. A
// few of them are pictured for people to look at: into the build tree, or
// into docs/screenshots/ with QZ_UPDATE_SCREENSHOTS set.
#include "BaseDlgTestSupport.h"

#include "dialogs/BaseDlg.h"
#include "preview/DialogPreview.h"
#include "dialogs/res/resource.h"
#include "gui/controls/Static.h"
#include "gui/controls/UniButton.h"
#include "platform/window/WindowQt.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace qz::platform;

namespace {

// Room a skinned push button's text needs besides itself: the nine-part
// border on both sides (6 pixels each at 96 DPI).
constexpr int kButtonPadding = 12;
// Room a check box's text needs besides itself: the 14-pixel box, the gap
// after it and the text offset of the default skin (at 96 DPI).
constexpr int kCheckBoxIndicator = 20;

int Scaled(int pixels, int dpi)
{
    return (pixels * dpi + 95) / 96;
}

// The text as it is drawn: a single '&' marks a mnemonic and is not shown.
QString Drawn(const QString& text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

// Why a control's text does not fit, or empty when it does.
std::string TextFault(CWnd* control, QWidget* widget, int dpi)
{
    const QString text = QString::fromStdWString(control->GetWindowText());
    if (text.isEmpty())
        return {};
    const QFontMetrics metrics(widget->font());
    const QRect area = widget->rect();
    const auto report = [&](const char* kind, int needWidth, int needHeight) {
        std::ostringstream out;
        out << kind << " text \"" << Drawn(text).toStdString() << "\" needs " << needWidth << "x"
            << needHeight << " but has " << area.width() << "x" << area.height();
        return out.str();
    };

    auto* button = dynamic_cast<CQZ_UniButton*>(control);
    if (button || qobject_cast<QAbstractButton*>(widget)) {
        const bool box = button ? button->IsCheckBox() : qobject_cast<QCheckBox*>(widget) != nullptr;
        const int width =
            metrics.horizontalAdvance(Drawn(text)) + Scaled(box ? kCheckBoxIndicator : kButtonPadding, dpi);
        if (width > area.width() || metrics.height() > area.height())
            return report(box ? "check box" : "button", width, metrics.height());
        return {};
    }

    auto* label = qobject_cast<QLabel*>(widget);
    if (!label)
        return {}; // edits scroll, the browser and the meter carry no text of their own
    // An animated icon stands in for its text, which the skin puts out of sight.
    if (auto* skinned = dynamic_cast<CQZ_Static*>(control); skinned && skinned->GetFrameCount() > 1)
        return {};
    if (!label->wordWrap()) {
        const int width = metrics.horizontalAdvance(Drawn(text));
        if (width > area.width() || metrics.height() > area.height())
            return report("static", width, metrics.height());
        return {};
    }
    // A word longer than the line makes the bounding rectangle wider.
    const QRect needed = metrics.boundingRect(QRect(0, 0, area.width(), 100000),
                                              Qt::TextWordWrap | Qt::TextHideMnemonic, text);
    if (needed.width() > area.width() || needed.height() > area.height())
        return report("wrapped static", needed.width(), needed.height());
    return {};
}

// Every fault of the dialog's visible controls, one line each, naming the
// control's ID.
std::vector<std::string> LayoutFaults(CBaseDlg& dialog)
{
    std::vector<std::string> faults;
    QWidget* client = WidgetFromHandle(dialog.m_hWnd);
    if (!client)
        return {"the dialog has no window"};
    struct Shown {
        int id;
        QRect rect;
    };
    std::vector<Shown> shown;
    for (HWND child : GetChildWindows(dialog.m_hWnd)) {
        QWidget* widget = WidgetFromHandle(child);
        if (!widget || !IsWindowVisible(child))
            continue;
        const int id = GetDlgCtrlID(child);
        const QRect rect = widget->geometry();
        const std::string name = std::to_string(id);
        if (!client->rect().contains(rect))
            faults.push_back("control " + name + " lies outside the client area");
        for (const Shown& other : shown) {
            if (other.rect.intersects(rect))
                faults.push_back("controls " + std::to_string(other.id) + " and " + name + " overlap");
        }
        shown.push_back({id, rect});
        if (std::string fault = TextFault(CWnd::FromHandle(child), widget, dialog.GetDpi()); !fault.empty())
            faults.push_back("control " + name + ": " + fault);
    }
    return faults;
}

std::string Narrow(const std::wstring& text)
{
    return QString::fromStdWString(text).toStdString();
}

// The gallery in docs/ is refreshed only on request (QZ_UPDATE_SCREENSHOTS
// set): a test run must not change the source tree; the waiting states'
// animation would differ at every run.
std::filesystem::path ScreenshotFolder()
{
    if (std::getenv("QZ_UPDATE_SCREENSHOTS") != nullptr)
        return std::filesystem::path(QZ_SKIN_DIR).parent_path() / "docs" / "screenshots";
    // Beside the test program, not where it was started (the source tree).
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "screenshots";
}

// A product name of 64 characters, as long as a headline must hold.
const wchar_t kLongProductName[] = L"QzDemo Professional Studio Editions for Architects and Engineers";
static_assert(sizeof(kLongProductName) / sizeof(wchar_t) - 1 == 64);

// The gallery: every state in four languages at 96 and 168 DPI, and the
// states with the long name in a few languages whose texts run long.
bool Pictured(const std::wstring& language, int dpi, bool longName)
{
    if (longName)
        return dpi == 96 && (language == L"en-GB" || language == L"fr-FR" || language == L"el-GR");
    return (dpi == 96 || dpi == 168) &&
           (language == L"en-GB" || language == L"de-DE" || language == L"ja-JP" || language == L"ru-RU" ||
            language == L"ar-SA" || language == L"he-IL" || language == L"hi-IN" || language == L"th-TH");
}

// A vertical gap between two visible controls, wider than the dialog's
// margins allow, that no visible control fills: something looks missing.
std::vector<std::string> EmptyBands(CBaseDlg& dialog)
{
    RECT margin{0, 0, 0, 20};
    MapDialogRect(dialog.m_hWnd, &margin);
    std::vector<std::pair<int, int>> spans; // top, bottom of each visible control
    for (HWND child : GetChildWindows(dialog.m_hWnd)) {
        QWidget* widget = WidgetFromHandle(child);
        if (widget && IsWindowVisible(child))
            spans.emplace_back(widget->geometry().top(), widget->geometry().bottom() + 1);
    }
    std::sort(spans.begin(), spans.end());
    std::vector<std::string> faults;
    int reached = spans.empty() ? 0 : spans.front().second;
    for (const auto& [top, bottom] : spans) {
        if (top - reached > margin.bottom)
            faults.push_back("an empty band of " + std::to_string(top - reached) + " pixels below y " +
                             std::to_string(reached));
        reached = std::max(reached, bottom);
    }
    return faults;
}

using Variant = std::tuple<const wchar_t*, int>;

class DialogScreenshotTest : public ::testing::TestWithParam<Variant> {
  protected:
    void SetUp() override { ASSERT_TRUE(qz::test::RequireDialogGui()); }

    void Check(const std::wstring& dialog, const std::wstring& state, const std::wstring& language, int dpi,
               bool longName)
    {
        const std::string name = Narrow(dialog + L"_" + state + L"_" + language) + "_" + std::to_string(dpi) +
                                 "dpi" + (longName ? "_longname" : "");
        const std::filesystem::path file = ScreenshotFolder() / (name + ".png");
        const bool pictured = Pictured(language, dpi, longName);
        std::vector<std::string> faults;
        int dialogDpi = 0;
        CDialogPreview preview(dialog, state, language, dpi);
        preview.SetSkinFolder(L"" QZ_SKIN_DIR);
        if (longName)
            preview.SetProductName(kLongProductName);
        preview.SetInspector([&](CBaseDlg& shown) {
            faults = LayoutFaults(shown);
            dialogDpi = shown.GetDpi();
            if (dialog == L"update" && state == L"available") {
                for (std::string& band : EmptyBands(shown))
                    faults.push_back(std::move(band));
            }
        });
        std::wstring error;
        if (pictured) {
            std::filesystem::create_directories(ScreenshotFolder());
            std::filesystem::remove(file);
        }
        ASSERT_TRUE(preview.Render(pictured ? file.wstring() : std::wstring(), error))
            << name << ": " << Narrow(error);
        if (pictured) {
            EXPECT_TRUE(std::filesystem::exists(file)) << name;
        }
        EXPECT_GT(preview.GetWidth(), Scaled(300, dialogDpi)) << name;
        EXPECT_GT(preview.GetHeight(), Scaled(150, dialogDpi)) << name;
        for (const std::string& fault : faults)
            ADD_FAILURE() << name << ": " << fault;
    }
};

TEST_P(DialogScreenshotTest, EveryStateFits)
{
    const auto [language, dpi] = GetParam();
    for (const std::wstring& dialog : CDialogPreview::Dialogs()) {
        for (const std::wstring& state : CDialogPreview::States(dialog))
            Check(dialog, state, language, dpi, false);
    }
    // The states whose texts carry the product name.
    for (const auto& [dialog, state] : {std::pair<const wchar_t*, const wchar_t*>{L"update", L"available"},
                                        {L"update", L"nopatch"},
                                        {L"install", L"question"}})
        Check(dialog, state, language, dpi, true);
}

// A state that does not exist is named, with the states that do.
TEST(DialogPreview, AnUnknownStateIsRefusedWithTheStatesThereAre)
{
    CDialogPreview preview(L"progress", L"done", L"en-GB", 96);
    std::wstring error;
    EXPECT_FALSE(preview.Render(std::wstring(), error));
    EXPECT_EQ(error, L"the progress dialog has no state \"done\"; its states: crm downloading checkfailed");
}

std::string VariantName(const ::testing::TestParamInfo<Variant>& info)
{
    std::string name = Narrow(std::get<0>(info.param));
    name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
    return name + "_" + std::to_string(std::get<1>(info.param)) + "dpi";
}

// The first 22 languages at every resolution they were laid out for.
INSTANTIATE_TEST_SUITE_P(
    LanguagesAndResolutions, DialogScreenshotTest,
    ::testing::Combine(::testing::Values(L"en-GB", L"cs-CZ", L"da-DK", L"de-DE", L"el-GR", L"es-ES", L"fi-FI",
                                         L"fr-FR", L"fr-CA", L"hu-HU", L"it-IT", L"ja-JP", L"ko-KR", L"nl-NL",
                                         L"pl-PL", L"pt-BR", L"pt-PT", L"ru-RU", L"sv-SE", L"tr-TR", L"zh-CN",
                                         L"zh-TW"),
                       ::testing::Values(96, 168, 192, 240, 288)),
    VariantName);

// The later ones, mirrored and complex scripts among them, at the lowest,
// the capped and a resolution above the cap.
INSTANTIATE_TEST_SUITE_P(
    MoreLanguages, DialogScreenshotTest,
    ::testing::Combine(::testing::Values(L"ar-SA", L"he-IL", L"fa-IR", L"hi-IN", L"th-TH", L"bn-BD", L"ta-IN",
                                         L"vi-VN", L"id-ID", L"ms-MY", L"uk-UA", L"bg-BG", L"kk-KZ", L"ro-RO",
                                         L"hr-HR", L"sr-Latn-RS", L"sk-SK", L"sl-SI", L"ca-ES", L"lt-LT", L"lv-LV",
                                         L"et-EE", L"eu-ES", L"gl-ES", L"is-IS", L"sq-AL"),
                       ::testing::Values(96, 168, 240)),
    VariantName);

} // namespace
