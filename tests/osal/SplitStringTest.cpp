#include "osal/SplitString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using QzOSAL::SplitString;

namespace {

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& separator)
{
    std::vector<std::wstring> list = {L"stale"};
    EXPECT_TRUE(SplitString(text, separator, list));
    return list;
}

using List = std::vector<std::wstring>;

}  // namespace

TEST(SplitStringTest, SplitsAtEachSeparator)
{
    EXPECT_EQ(Split(L"", L","), List{});
    // A longer separator: the search resumes one unit past its start.
    EXPECT_EQ(Split(L"a::b", L"::"), (List{L"a", L":b"}));
    EXPECT_EQ(Split(L"::a", L"::"), (List{L":a"}));
    EXPECT_EQ(Split(L"a:::b", L"::"), (List{L"a", L"", L":b"}));
    EXPECT_EQ(Split(L"ab", L"abc"), (List{L"ab"}));
}
