#include <gtest/gtest.h>

#include <string>

#include "gui/SymbolicConstants.h"

namespace {

const CQZSymbolicConstants& Table()
{
    return CQZSymbolicConstants::Instance();
}

} // namespace

TEST(SymbolicConstants, NamesMapToTheirValues)
{
    EXPECT_EQ(Table().Lookup(L"0"), 0u);
    // The odd ones the skins rely on: masks, combined words, values two
    // names share.
    const std::pair<const wchar_t*, std::uint32_t> samples[] = {
        {L"QZSB_OPT_STATICLESS", 256}, {L"QZSB_OPT_STATICMORE", 256}, {L"QZB_HANDLE_KEYS", 0xc0000000},
        {L"QZCB_DEFAULT_BUTTONFLAGS", 0xe8100008}, {L"QZB_DIB_INVALID", 0xFFFFFFFF}, {L"QZM_DEFAULT_FLAGS", 17},
        {L"QZBDLG_FLG_ALL_MENU_BUTTONS", 480}, {L"QZGUI_CENTER", 1536}, {L"WS_POPUPWINDOW", 0x80880000}};
    for (const auto& [name, value] : samples)
        EXPECT_EQ(Table().Lookup(name), value) << std::string(name, name + std::wcslen(name));

    // Exact text: no case folding, no blanks.
    EXPECT_FALSE(Table().Lookup(L"ws_child").has_value());
    EXPECT_FALSE(Table().Lookup(L"WS_CHILD ").has_value());
}

TEST(SymbolicConstants, FlagTextsJoinKnownNamesAndSkipTheRest)
{
    for (const wchar_t* text : {L"WS_CHILD | WS_VISIBLE", L"  WS_CH ILD\t|WS_VIS\tIBLE | ",
                                L"WS_CHILD|NO_SUCH_NAME|WS_VISIBLE", L"WS_CHILD||WS_VISIBLE"})
        EXPECT_EQ(Table().ParseFlags(text), 0x50000000u) << text;

    std::uint32_t value = 99;
    EXPECT_TRUE(Table().ParseFlagText(L"0", value));
    EXPECT_EQ(value, 0u);
    // Numbers other than the name "0" are no names.
    EXPECT_FALSE(Table().ParseFlagText(L"5 | 0x10", value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(Table().ParseFlagText(L"", value));
    EXPECT_FALSE(Table().ParseFlagText(L"UNKNOWN|ALSO_UNKNOWN", value));
    EXPECT_TRUE(Table().ParseFlagText(L"UNKNOWN|QZB_OPT_INIT", value));
    EXPECT_EQ(value, 1024u);

    // Only the first 511 characters count: a name cut at the end is lost.
    std::wstring longText(500, L' ');
    longText += L"WS_CHILD|WS_VISIBLE";
    EXPECT_EQ(Table().ParseFlags(longText), 0x40000000u);
    EXPECT_EQ(Table().ParseFlags(std::wstring(100000, L'|') + L"WS_CHILD"), 0u);
}

TEST(SymbolicConstants, FormatsFlagWordsBackIntoNames)
{
    const std::uint32_t value = Table().ParseFlags(L"QZBDLG_FLG_CLOSE_BUTTON|QZBDLG_FLG_HANDLE_KEYS");
    const std::wstring text = Table().FormatFlags(value, L"QZBDLG_FLG_");
    EXPECT_EQ(Table().ParseFlags(text), value);
    EXPECT_EQ(Table().FormatFlags(0, L"WS_"), L"0");
    // A mask name stands for its bits.
    EXPECT_EQ(Table().FormatFlags(0xc0000000, L"QZB_HANDLE_"), L"QZB_HANDLE_KEYS");
}
