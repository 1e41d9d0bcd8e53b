// Look-up of the compiled test resources with the Windows language search,
// and strings through blocks of 16.
#include "platform/RcResourceTable.h"
#include "platform/WinUser.h"
#include "rc/ResourceEncoder.h"

#include "../data/window/window_test_ids.h"

#include <gtest/gtest.h>

namespace qz::platform {
namespace {

const ResourceView* FindDialog(int id, LANGID lang)
{
    return FindResourceEx(ResName::Ordinal(RT_DIALOG), ResName::Ordinal(static_cast<std::uint16_t>(id)),
                          lang);
}

TEST(ResourceLookupTest, LanguageFallbackOrder)
{
    // Exact language.
    ASSERT_NE(FindDialog(IDD_TEST_DIALOG, 2057), nullptr);
    EXPECT_EQ(FindDialog(IDD_TEST_DIALOG, 2057)->language, 2057);
    // Primary language with the neutral sub-language before English (UK).
    EXPECT_EQ(FindDialog(IDD_NEUTRAL_FRENCH, 3084)->language, MAKELANGID(0x0C, 0));
    EXPECT_EQ(DecodeDialogTemplate(FindDialog(IDD_NEUTRAL_FRENCH, 1036)->data)->caption,
              L"Fran\u00E7ais neutre");
    // Another language: English (United Kingdom).
    EXPECT_EQ(FindDialog(IDD_NEUTRAL_FRENCH, 1031)->language, 2057);
    // Present only in German: any language, also for English requests.
    EXPECT_EQ(FindDialog(IDD_GERMAN_ONLY, 1036)->language, 1031);
    EXPECT_EQ(FindDialog(IDD_GERMAN_ONLY, 2057)->language, 1031);
    EXPECT_EQ(FindDialog(4242, 2057), nullptr);
    EXPECT_EQ(
        ModuleResources().FindExact(ResName::Ordinal(RT_DIALOG), ResName::Ordinal(IDD_GERMAN_ONLY), 2057),
        nullptr);
}

TEST(ResourceLookupTest, StringsComeFromBlocksOfSixteen)
{
    EXPECT_EQ(LoadResourceString(IDS_FIRST, 2057), L"First");
    EXPECT_EQ(LoadResourceString(IDS_SECOND, 2057), L"Second \u2013 \u00FCn\u00EFc\u00F6d\u00E9 \U0001D11E");
    EXPECT_EQ(LoadResourceString(IDS_QUOTES, 2057), L"Say \"hello\"\tand\\n");
    EXPECT_EQ(LoadResourceString(IDS_EMPTY, 2057), L"");
    EXPECT_EQ(LoadResourceString(IDS_LAST_IN_BLOCK, 2057), L"Last of the block");
    EXPECT_EQ(LoadResourceString(IDS_FIRST, 1031), L"Erster");
    EXPECT_EQ(LoadResourceString(IDS_FIRST, 1036), L"First");
    // The German block exists, so its empty entry is the answer; a block
    // missing in German falls back as a whole.
    EXPECT_EQ(LoadResourceString(IDS_LAST_IN_BLOCK, 1031), L"");
    EXPECT_EQ(LoadResourceString(IDS_ONLY_UK, 1031), L"Only in English");
    EXPECT_EQ(LoadResourceString(500, 2057), std::nullopt);

    // The block holds IDs 16 to 31: 16 length-prefixed UTF-16 entries.
    const ResourceView* block =
        FindResourceEx(ResName::Ordinal(RT_STRING), ResName::Ordinal(IDS_FIRST / 16 + 1), 2057);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->data[0], 5); // "First"
    EXPECT_EQ(block->data[1], 0);
    EXPECT_EQ(block->data[2], 'F');
    EXPECT_EQ(StringFromBlock(block->data, 15), L"Last of the block");
    EXPECT_EQ(StringFromBlock(block->data, 16), std::nullopt);
    EXPECT_EQ(StringFromBlock(block->data.first(block->data.size() - 2), 15), std::nullopt);

    std::array<std::wstring, 16> entries;
    entries[3] = L"x\U0001F600";
    std::vector<std::uint8_t> encoded = EncodeStringBlock(entries);
    EXPECT_EQ(encoded.size(), 16u * 2 + 3 * 2);
    EXPECT_EQ(StringFromBlock(encoded, 3), L"x\U0001F600");
    EXPECT_EQ(StringFromBlock(encoded, 4), L"");
}

} // namespace
} // namespace qz::platform
