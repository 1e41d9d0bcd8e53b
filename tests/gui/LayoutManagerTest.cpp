#include <gtest/gtest.h>

#include <cwchar>

#include "gui/LayoutManager.h"

using qz::platform::RECT;
using L = CQZLayoutManager;

namespace {

QzLayoutRule Rule(const std::wstring& text)
{
    QzLayoutRule rule;
    EXPECT_TRUE(L::ParseRule(text, rule)) << std::string(text.begin(), text.end());
    return rule;
}

TEST(LayoutManagerTest, RulesAreReadOnlyWithFlagsTheirEdgesCanTake)
{
    QzLayoutRule rule;
    ASSERT_TRUE(L::ParseRule(L" IDOK ,\tIDC_REF, QZGUI_LEFT, QZGUI_BOTTOM, QZGUI_PERCENT_WIDTH, QZGUI_PERCENT_HEIGHT,"
                             L" QZGUI_SIZEX | QZGUI_CENTERY, 1, -2, 3, 4",
                             rule));
    EXPECT_EQ(rule.control, L"IDOK");
    EXPECT_EQ(rule.reference, L"IDC_REF");
    EXPECT_EQ(rule.left, L::QZGUI_LEFT);
    EXPECT_EQ(rule.top, L::QZGUI_BOTTOM);
    EXPECT_EQ(rule.right, L::QZGUI_PERCENT_WIDTH);
    EXPECT_EQ(rule.bottom, L::QZGUI_PERCENT_HEIGHT);
    EXPECT_EQ(rule.sizing, L::QZGUI_SIZEX | L::QZGUI_CENTERY);
    EXPECT_EQ(rule.values[0], 1);
    EXPECT_EQ(rule.values[1], -2);
    EXPECT_EQ(rule.values[3], 4);
    // Unknown names count as nothing; an empty reference is allowed.
    EXPECT_TRUE(L::ParseRule(L"A,,QZGUI_NOPE,0,0,0,0,0,0,0,0", rule));
    EXPECT_EQ(rule.left, 0u);

    const wchar_t* const bad[] = {
        L"A,,0,0,0,0,0,0,0,0",                        // ten fields
        L"A,,0,0,0,0,0,0,0,0,",                       // an empty number
        L",,0,0,0,0,0,0,0,0,0",                       // no control
        L"A,,QZGUI_TOP,0,0,0,0,0,0,0,0",              // vertical flag on a horizontal edge
        L"A,,QZGUI_LEFT|QZGUI_RIGHT,0,0,0,0,0,0,0,0", // 3
        L"A,,0,0,QZGUI_PERCENT_HEIGHT,0,0,0,0,0,0",
        L"A,,0,QZGUI_LEFT,0,0,0,0,0,0,0",
        L"A,,0,QZGUI_PERCENT_WIDTH,0,0,0,0,0,0,0",
        L"A,,0,0,0,QZGUI_TOP|QZGUI_BOTTOM,0,0,0,0,0",
        L"A,,0,0,0,0,QZGUI_LEFT,0,0,0,0", // sizing without a sizing bit
    };
    for (const wchar_t* text : bad)
        EXPECT_FALSE(L::ParseRule(text, rule)) << std::string(text, text + std::wcslen(text));
}

TEST(LayoutManagerTest, EdgesFollowTheirReferenceEdgesWithMargins)
{
    const RECT dialog{0, 0, 500, 300};
    const RECT control{10, 20, 110, 50};
    // Right and bottom margins count inwards; the size is kept.
    EXPECT_EQ(L::Place(control, dialog, Rule(L"A,,0,0,QZGUI_RIGHT,QZGUI_BOTTOM,QZGUI_SIZEX|QZGUI_SIZEY,0,0,16,14")),
              (RECT{384, 256, 484, 286}));
    // Without SIZEX the other edge stays: the control stretches.
    EXPECT_EQ(L::Place(control, dialog, Rule(L"A,,0,0,QZGUI_RIGHT,0,0,0,0,16,0")), (RECT{10, 20, 484, 50}));
    EXPECT_EQ(L::Place(control, dialog, Rule(L"A,,QZGUI_LEFT,QZGUI_TOP,0,0,0,5,6,0,0")), (RECT{5, 6, 110, 50}));
    // Both edges ruled with SIZEX: the left one wins.
    EXPECT_EQ(L::Place(control, dialog, Rule(L"A,,QZGUI_LEFT,0,QZGUI_RIGHT,0,QZGUI_SIZEX,30,0,0,0")),
              (RECT{30, 20, 130, 50}));
    // Beside a sibling: after its right edge, before its left edge.
    const RECT sibling{200, 100, 260, 124};
    EXPECT_EQ(L::Place(control, sibling, Rule(L"A,B,QZGUI_RIGHT,QZGUI_TOP,0,0,QZGUI_SIZEX|QZGUI_SIZEY,8,0,0,0")),
              (RECT{268, 100, 368, 130}));
    EXPECT_EQ(L::Place(control, sibling, Rule(L"A,B,0,0,QZGUI_LEFT,QZGUI_TOP,QZGUI_SIZEX|QZGUI_SIZEY,0,0,8,0")),
              (RECT{92, 70, 192, 100}));
    // Shares of the reference, not scaled by DPI.
    EXPECT_EQ(L::Place(control, dialog,
                       Rule(L"A,,QZGUI_PERCENT_WIDTH,QZGUI_PERCENT_HEIGHT,QZGUI_PERCENT_WIDTH,0,QZGUI_SIZEY,25,50,75,0"), 192,
                       192),
              (RECT{125, 150, 375, 180}));
    // Centred, moved by a - c.
    EXPECT_EQ(L::Place(control, dialog, Rule(L"A,,QZGUI_LEFT,0,0,0,QZGUI_CENTER,10,0,4,0")),
              (RECT{206, 135, 306, 165}));
    // Margins scale with the DPI, rounding as MulDiv does.
    EXPECT_EQ(L::Place(control, dialog, Rule(L"A,,0,0,QZGUI_RIGHT,QZGUI_BOTTOM,QZGUI_SIZEX|QZGUI_SIZEY,0,0,16,14"),
                       168, 144),
              (RECT{372, 249, 472, 279}));
    // An edge ruled past the other never gives a negative size.
    EXPECT_EQ(L::Place(control, dialog, Rule(L"A,,QZGUI_RIGHT,0,0,0,0,0,0,0,0")), (RECT{500, 20, 500, 50}));
}

} // namespace
