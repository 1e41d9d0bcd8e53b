// Languages read from right to left and scripts that need shaping: mirrored
// dialogs, progress figures that stay readable, and no letter drawn as a box.
#include "BaseDlgTestSupport.h"

#include "dialogs/BaseDlg.h"
#include "preview/DialogPreview.h"
#include "dialogs/DlgProgress.h"
#include "dialogs/Languages.h"
#include "dialogs/res/resource.h"
#include "gui/controls/PeakMeterCtrl.h"
#include "platform/window/WindowQt.h"
#include "support/RecordingHost.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGlyphRun>
#include <QImage>
#include <QRawFont>
#include <QTextLayout>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <sys/wait.h>

using namespace qz::platform;

namespace {

std::string Narrow(const std::wstring& text)
{
    return QString::fromStdWString(text).toStdString();
}

// Visible controls of a shown dialog by ID: where Qt draws them, and where
// the dialog's own code believes they are (client coordinates).
struct Placed {
    QRect drawn;
    RECT logical;
};

std::map<int, Placed> PlacedControls(CBaseDlg& dialog)
{
    std::map<int, Placed> controls;
    for (HWND child : GetChildWindows(dialog.m_hWnd)) {
        QWidget* widget = WidgetFromHandle(child);
        if (!widget || !IsWindowVisible(child))
            continue;
        RECT rect{};
        GetWindowRect(child, &rect);
        dialog.ScreenToClient(&rect);
        controls[GetDlgCtrlID(child)] = {widget->geometry(), rect};
    }
    return controls;
}

std::map<int, Placed> Render(const wchar_t* dialog, const wchar_t* state, const wchar_t* language, int& width)
{
    std::map<int, Placed> controls;
    CDialogPreview preview(dialog, state, language, 96);
    preview.SetSkinFolder(L"" QZ_SKIN_DIR);
    preview.SetInspector([&](CBaseDlg& shown) {
        controls = PlacedControls(shown);
        width = WidgetFromHandle(shown.m_hWnd)->width();
        EXPECT_EQ(WidgetFromHandle(shown.m_hWnd)->layoutDirection() == Qt::RightToLeft,
                  qz::dialogs::IsRightToLeft(qz::dialogs::LanguageIdFromTag(language)));
    });
    std::wstring error;
    EXPECT_TRUE(preview.Render(L"", error)) << Narrow(error);
    return controls;
}

// A mirrored dialog is the left-to-right one seen in a mirror: the dialog's
// code sees the same places, Qt draws each at x' = width - x - w, so the
// buttons come in the reverse order. The Hebrew templates keep the English
// coordinates, so the English dialog is the one to mirror.
TEST(RightToLeft, MirroredDialogsAreTheLeftToRightOnesInAMirror)
{
    ASSERT_TRUE(qz::test::RequireDialogGui());
    for (const auto& [dialog, state] : {std::pair<const wchar_t*, const wchar_t*>{L"install", L"question"},
                                        {L"update", L"available"},
                                        {L"progress", L"downloading"}}) {
        SCOPED_TRACE(Narrow(std::wstring(dialog) + L"/" + state));
        int widthLtr = 0;
        int widthRtl = 0;
        const std::map<int, Placed> ltr = Render(dialog, state, L"en-GB", widthLtr);
        const std::map<int, Placed> rtl = Render(dialog, state, L"he-IL", widthRtl);
        ASSERT_FALSE(ltr.empty());
        ASSERT_EQ(widthLtr, widthRtl);
        for (const auto& [id, placed] : rtl) {
            SCOPED_TRACE(id);
            EXPECT_EQ(placed.drawn.left(), widthRtl - placed.logical.right);
            EXPECT_EQ(placed.drawn.width(), placed.logical.right - placed.logical.left);
            const auto english = ltr.find(id);
            ASSERT_NE(english, ltr.end());
            // A control not fitted to its text keeps the English place.
            if (placed.drawn.width() == english->second.drawn.width()) {
                EXPECT_EQ(placed.logical.left, english->second.drawn.left());
            }
        }
        // Two buttons side by side trade places.
        std::vector<int> buttons;
        for (int id : {IDOK, IDC_BTN_LATER, IDCANCEL, IDC_BTN_SHOW_CRM, IDC_BTN_WHATS_NEW})
            if (ltr.count(id) && rtl.count(id))
                buttons.push_back(id);
        for (std::size_t i = 0; i + 1 < buttons.size(); ++i) {
            const int a = buttons[i];
            const int b = buttons[i + 1];
            if (ltr.at(a).drawn.top() != ltr.at(b).drawn.top())
                continue;
            EXPECT_EQ(ltr.at(a).drawn.left() < ltr.at(b).drawn.left(), rtl.at(a).drawn.left() > rtl.at(b).drawn.left())
                << a << " and " << b;
        }
    }
}

// Where `change` alters what a control draws, in the control's pixels: the
// free columns left and right of the columns that differ.
std::pair<int, int> ChangedColumns(QWidget* widget, const std::function<void()>& change,
                                   const std::function<void()>& undo)
{
    const QImage before = widget->grab().toImage();
    change();
    const QImage after = widget->grab().toImage();
    undo();
    int left = before.width();
    int right = -1;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return {left, before.width() - 1 - right};
}

// A text shorter than its control starts at the edge the language reads
// from, and so does the progress meter's fill: in a mirrored dialog both
// hug the right edge.
TEST(RightToLeft, TextsAndMeterStartAtTheRight)
{
    ASSERT_TRUE(qz::test::RequireDialogGui());
    for (const wchar_t* language : {L"en-GB", L"he-IL", L"ar-SA"}) {
        const bool rtl = qz::dialogs::IsRightToLeft(qz::dialogs::LanguageIdFromTag(language));
        int texts = 0;
        int meters = 0;
        for (const auto& [dialog, state] : {std::pair<const wchar_t*, const wchar_t*>{L"install", L"question"},
                                            {L"update", L"available"},
                                            {L"progress", L"downloading"}}) {
            const std::wstring where = std::wstring(language) + L" " + dialog;
            CDialogPreview preview(dialog, state, language, 96);
            preview.SetSkinFolder(L"" QZ_SKIN_DIR);
            preview.SetInspector([&](CBaseDlg& shown) {
                for (HWND child : GetChildWindows(shown.m_hWnd)) {
                    QWidget* widget = WidgetFromHandle(child);
                    if (!widget || !IsWindowVisible(child))
                        continue;
                    std::pair<int, int> free;
                    if (auto* meter = dynamic_cast<CQZ_PeakMeterCtrl*>(CWnd::FromHandle(child))) {
                        const double value = meter->GetValue();
                        free = ChangedColumns(widget, [&] { meter->SetValue(0); }, [&] { meter->SetValue(value); });
                        ++meters;
                    } else {
                        const std::wstring text = GetWindowTextW(child);
                        // Buttons centre their texts.
                        if (text.empty() ||
                            (qobject_cast<QAbstractButton*>(widget) && !qobject_cast<QCheckBox*>(widget)))
                            continue;
                        free = ChangedColumns(
                            widget, [&] { SetWindowTextW(child, L""); }, [&] { SetWindowTextW(child, text); });
                        if (free.first + free.second < widget->width() / 4)
                            continue; // fills its line
                        ++texts;
                    }
                    EXPECT_EQ(rtl, free.second < free.first)
                        << Narrow(where) << " control " << GetDlgCtrlID(child) << ": " << free.first
                        << " px free on the left, " << free.second << " on the right";
                }
            });
            std::wstring error;
            ASSERT_TRUE(preview.Render(L"", error)) << Narrow(error);
        }
        EXPECT_GE(texts, 4) << Narrow(language);
        EXPECT_EQ(meters, 1) << Narrow(language);
    }
}

// The progress line laid out as a mirrored label lays it out: right to left.
// Each figure must read whole, and the received size comes first in the
// reading direction, right of the total.
TEST(RightToLeft, ProgressFiguresStayReadable)
{
    ASSERT_TRUE(qz::test::RequireDialogGui());
    qz::test::RecordingHost host;
    qz::test::ScopedCurrentConfiguration current(&host);
    for (const wchar_t* language : {L"he_IL", L"ar_SA", L"fa_IR"}) {
        SCOPED_TRACE(Narrow(language));
        host.programLanguage = language;
        const QString text = QString::fromStdWString(CDlgProgress::FormatProgress(12 << 20, 27 << 20, 45));
        QTextLayout layout(text);
        QTextOption option;
        option.setTextDirection(Qt::RightToLeft);
        layout.setTextOption(option);
        layout.beginLayout();
        layout.createLine().setLineWidth(100000);
        layout.endLayout();
        // Where the glyphs of '1' (received), '7' (total), '4' and '5'
        // (percentage) and every 'M' are drawn, left to right.
        std::map<char, std::vector<qreal>> x;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            const QList<quint32> wanted = run.rawFont().glyphIndexesForString(QStringLiteral("1745M"));
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype g = 0; g < glyphs.size(); ++g) {
                for (qsizetype w = 0; w < wanted.size(); ++w) {
                    if (wanted[w] != 0 && glyphs[g] == wanted[w])
                        x["1745M"[w]].push_back(positions[g].x());
                }
            }
        }
        ASSERT_EQ(x['1'].size(), 1u) << text.toStdString();
        ASSERT_EQ(x['7'].size(), 1u);
        ASSERT_EQ(x['4'].size(), 1u);
        ASSERT_EQ(x['5'].size(), 1u);
        EXPECT_LT(x['4'][0], x['5'][0]) << "45 reads 54";
        EXPECT_GT(x['1'][0], x['7'][0]) << "the received size is not read first: " << text.toStdString();
        // A Latin unit stands right of its number: exactly one "MB" lies
        // right of the received figure, that figure's own.
        if (!x['M'].empty()) {
            const auto right = std::count_if(x['M'].begin(), x['M'].end(), [&](qreal m) { return m > x['1'][0]; });
            EXPECT_EQ(right, 1) << text.toStdString();
        }
    }
}

// Letters drawn without a glyph in `text` laid out in `font`, after Qt has
// fallen back through every font the system has for each script: a .notdef
// glyph (index 0) in a real font, or any glyph of the box engine Qt uses when
// no font has the script at all. The box engine claims every character and
// numbers its glyphs 1, but it is no font file: it has no cmap table.
int MissingGlyphs(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    int missing = 0;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QList<quint32> glyphs = run.glyphIndexes();
        if (run.rawFont().fontTable("cmap").isEmpty())
            missing += static_cast<int>(glyphs.size());
        else
            missing += static_cast<int>(std::count(glyphs.begin(), glyphs.end(), 0u));
    }
    return missing;
}

// The languages to check: all, or those QZ_TEST_LANGUAGES names (comma-separated).
std::vector<std::wstring> LanguagesToCheck()
{
    std::vector<std::wstring> tags;
    const char* only = std::getenv("QZ_TEST_LANGUAGES");
    if (only && *only) {
        for (const QString& tag : QString::fromUtf8(only).split(u','))
            tags.push_back(tag.toStdWString());
        return tags;
    }
    for (const qz::dialogs::DialogLanguage& language : qz::dialogs::DialogLanguages())
        tags.push_back(QString::fromUtf8(language.tag).toStdWString());
    return tags;
}

TEST(GlyphCoverage, EveryLanguageDrawsEveryLetter)
{
    ASSERT_TRUE(qz::test::RequireDialogGui());
    for (const std::wstring& language : LanguagesToCheck()) {
        for (const std::wstring& dialog : CDialogPreview::Dialogs()) {
            for (const std::wstring& state : CDialogPreview::States(dialog)) {
                CDialogPreview preview(dialog, state, language, 96);
                preview.SetSkinFolder(L"" QZ_SKIN_DIR);
                int texts = 0;
                preview.SetInspector([&](CBaseDlg& shown) {
                    for (HWND child : GetChildWindows(shown.m_hWnd)) {
                        QWidget* widget = WidgetFromHandle(child);
                        const QString text = QString::fromStdWString(GetWindowTextW(child));
                        if (!widget || !IsWindowVisible(child) || text.isEmpty())
                            continue;
                        ++texts;
                        if (const int missing = MissingGlyphs(text, widget->font()))
                            ADD_FAILURE() << Narrow(language) << " " << Narrow(dialog) << "/" << Narrow(state)
                                          << ": control " << GetDlgCtrlID(child) << " draws " << missing
                                          << " missing glyphs in \"" << text.toStdString() << "\"";
                    }
                    const QString caption = QString::fromStdWString(shown.GetWindowText());
                    if (const int missing = MissingGlyphs(caption, WidgetFromHandle(shown.m_hWnd)->font()))
                        ADD_FAILURE() << Narrow(language) << " caption draws " << missing << " missing glyphs";
                });
                std::wstring error;
                ASSERT_TRUE(preview.Render(L"", error)) << Narrow(error);
                EXPECT_GT(texts, 0) << Narrow(language + L" " + dialog + L"/" + state);
            }
        }
    }
}

// The check above sees a missing font: a private-use letter no font has is
// counted, and the same test, in a process whose fontconfig has no Devanagari
// font, fails for Hindi and for Hindi alone.
TEST(GlyphCoverage, MissingFontIsReported)
{
    ASSERT_TRUE(qz::test::RequireDialogGui());
    EXPECT_EQ(MissingGlyphs(QStringLiteral("a\uE000b"), QFont()), 1);
    EXPECT_EQ(MissingGlyphs(QStringLiteral("ab"), QFont()), 0);

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qz_fonts_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path config = folder / "fonts.conf";
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                             "<fontconfig>\n  <dir>/usr/share/fonts</dir>\n  <cachedir>"
                          << (folder / "cache").string()
                          << "</cachedir>\n  <selectfont><rejectfont><glob>*/Lohit-Devanagari*</glob>"
                             "</rejectfont></selectfont>\n</fontconfig>\n";
    const std::string command = "FONTCONFIG_FILE=" + config.string() +
                                " QZ_TEST_LANGUAGES=hi-IN,th-TH QT_QPA_PLATFORM=offscreen /proc/" +
                                std::to_string(::getpid()) +
                                "/exe --gtest_filter=GlyphCoverage.EveryLanguageDrawsEveryLetter 2>&1";
    std::string output;
    FILE* child = ::popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, child))
        output.append(buffer, n);
    const int status = ::pclose(child);
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << output;
    EXPECT_NE(output.find("hi-IN update/available: control"), std::string::npos) << output;
    EXPECT_NE(output.find("missing glyphs"), std::string::npos) << output;
    EXPECT_EQ(output.find("th-TH "), std::string::npos) << output;
}

} // namespace
