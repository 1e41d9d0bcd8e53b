// Languages read from right to left and scripts that need shaping: mirrored
// dialogs, progress figures that stay readable, and no letter drawn as a box.
#include "BaseDlgTestSupport.h"

#include "dialogs/BaseDlg.h"
#include "preview/DialogPreview.h"
#include "dialogs/DlgProgress.h"
#include "dialogs/Languages.h"
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
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace qz::platform;

namespace {

std::string Narrow(const std::wstring& text)
{
    return QString::fromStdWString(text).toStdString();
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
                EXPECT_EQ(WidgetFromHandle(shown.m_hWnd)->layoutDirection() == Qt::RightToLeft, rtl)
                    << Narrow(where);
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

} // namespace
