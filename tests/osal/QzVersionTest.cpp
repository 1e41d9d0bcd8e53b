#include "osal/QzVersion.h"

#include <gtest/gtest.h>

using QzOSAL::QzVersion;

TEST(QzVersionTest, ParsesLeniently)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"01.002.3.4", L"1.2.3.4"}, {L"5.4", L"5.4.0.0"}, {nullptr, L"0.0.0.0"}, {L"1.2.3.4.5", L"1.2.3.4"},
        // Empty pieces: a leading separator is skipped, inner ones count as 0,
        // a trailing one makes nothing.
        {L".1.2.3.4", L"1.2.3.4"}, {L"1..3.4", L"1.0.3.4"}, {L"1.2.", L"1.2.0.0"}, {L"..5", L"0.5.0.0"},
        // Each piece as wcstoul reads it in base 10 with a 32-bit result.
        {L"\t+7. 8", L"7.8.0.0"}, {L"7beta.2rc1", L"7.2.0.0"}, {L"-2.-4294967295", L"4294967294.1.0.0"},
        {L"-4294967296.-99999999999", L"4294967295.4294967295.0.0"},
        {L"99999999999.4294967295.4294967296", L"4294967295.4294967295.4294967295.0"},
        {L"0x10.1e3", L"0.1.0.0"}, {L"- 5", L"0.0.0.0"},
    };
    for (const auto& [text, printed] : cases)
        EXPECT_EQ(QzVersion(text).ToString(), printed) << (text ? text : L"null");

    // Parsing replaces the whole value.
    QzVersion v(1, 2, 3, 4);
    v.FromString(L"7");
    EXPECT_EQ(v, QzVersion(7, 0, 0, 0));
}

TEST(QzVersionTest, OrdersNumericallyComponentByComponent)
{
    const QzVersion a(1, 2, 3, 4);
    EXPECT_TRUE(a == QzVersion(L"1.2.3.4") && a <= a && a >= a);
    EXPECT_FALSE(a != QzVersion(L"1.2.3.4") || a < a || a > a);

    // Each pair is strictly ordered: lower first.
    const QzVersion pairs[][2] = {
        {QzVersion(1, 2, 3, 4), QzVersion(1, 2, 3, 5)},
        {QzVersion(1, 9, 0, 0), QzVersion(1, 10, 0, 0)},
        {QzVersion(1, 99, 99, 99), QzVersion(2, 0, 0, 0)},
        {QzVersion(1, 2, 9, 9), QzVersion(1, 3, 0, 0)},
        {QzVersion(1, 2, 3, 9), QzVersion(1, 2, 4, 0)},
        {QzVersion(2147483647u, 0, 0, 0), QzVersion(2147483648u, 0, 0, 0)},
    };
    for (const auto& p : pairs) {
        const QzVersion& lo = p[0];
        const QzVersion& hi = p[1];
        SCOPED_TRACE(testing::Message() << lo.ToString() << L" < " << hi.ToString());
        EXPECT_TRUE(hi > lo && hi >= lo && lo < hi && lo <= hi && lo != hi);
        EXPECT_FALSE(hi < lo || hi <= lo || lo > hi || lo >= hi || lo == hi);
    }
}
