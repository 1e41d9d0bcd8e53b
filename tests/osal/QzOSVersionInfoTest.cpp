#include "osal/QzOSVersionInfoWindows.h"

#include <gtest/gtest.h>

using QzOSAL::QzOSVersionInfo;
using QzOSAL::QzOSVersionInfoWindows;

namespace {

QzOSVersionInfo::Record MakeRecord(std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                                   std::uint16_t suiteMask = 0, std::uint32_t productInfo = 0)
{
    QzOSVersionInfo::Record record;
    record.majorVersion = major;
    record.minorVersion = minor;
    record.servicePackMajor = 3;
    record.servicePackMinor = 1;
    record.productType = productType;
    record.suiteMask = suiteMask;
    record.productInfo = productInfo;
    return record;
}

}  // namespace

TEST(QzOSVersionInfo, EveryReleaseIsIdentifiedFromItsOwnVersion)
{
    // The version the constructor sets leads detection back to the same release.
    for (unsigned id = 1; id <= 15; ++id) {
        const QzOSVersionInfoWindows info(id);
        EXPECT_NE(info.GetOSName(), L"") << id;
        const QzOSAL::QzVersion& v = info.GetOSVersion();
        EXPECT_EQ(QzOSVersionInfoWindows::IdentifyOS(v.GetPart(0), v.GetPart(1), info.IsWorkstation()), id)
            << v.ToString();
        EXPECT_EQ(info.IsWin9x(), id <= 3) << id;
        EXPECT_EQ(info.IsWinXP(), id == 7);
        EXPECT_EQ(info.IsWin7(), id == 11);
    }
    EXPECT_EQ(QzOSVersionInfoWindows(11).GetOSVersion().ToString(), L"6.1.0.0");
    EXPECT_EQ(QzOSVersionInfoWindows(2).GetOSVersion().ToString(), L"4.10.0.0");
    EXPECT_EQ(QzOSVersionInfoWindows(16).GetOSName(), L"");

    // Outside the table: newer than the last release is 999, anything else 0.
    struct Case {
        std::uint32_t major, minor;
        bool workstation;
        unsigned id;
    };
    const Case cases[] = {
        {10, 1, true, 999}, {11, 0, false, 999}, {10, 0, false, 0}, {4, 10, true, 0},
        {6, 4, true, 0},    {5, 3, true, 0},     {3, 50, true, 0},  {0, 0, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QzOSVersionInfoWindows::IdentifyOS(c.major, c.minor, c.workstation), c.id)
            << c.major << "." << c.minor << (c.workstation ? " workstation" : "");
}

TEST(QzOSVersionInfo, DetectionFromARecordOrTheRunningSystem)
{
    const QzOSVersionInfoWindows seven(MakeRecord(6, 1, QzOSVersionInfo::kProductTypeWorkstation, 0, 0x01));
    EXPECT_EQ(seven.GetOSId(), 11u);
    EXPECT_EQ(seven.GetServicePackVersion().ToString(), L"3.1.0.0");
    EXPECT_EQ(QzOSVersionInfoWindows::GetEditionName(seven.GetEdition()), L"Ultimate");
    EXPECT_EQ(QzOSVersionInfoWindows(MakeRecord(6, 0, 3, 0, 0x25)).GetOSId(), 10u);  // a server
    EXPECT_EQ(QzOSVersionInfoWindows(MakeRecord(5, 1, 1, 0x0200)).GetEdition(), QzOSVersionInfoWindows::EditionHome);
    // Editions are read on XP and major version 6 only.
    EXPECT_EQ(QzOSVersionInfoWindows(MakeRecord(5, 0, 1, 0x0200)).GetEdition(), 0u);
    EXPECT_EQ(QzOSVersionInfoWindows(MakeRecord(10, 0, 1, 0, 0x30)).GetEdition(), 0u);

    // Linux reports no release.
    QzOSVersionInfo::Record record = MakeRecord(6, 1, 1);
    EXPECT_FALSE(QzOSVersionInfo::QuerySystem(record));
    const QzOSVersionInfoWindows running;
    EXPECT_EQ(running.GetOSId(), 0u);
    EXPECT_EQ(running.GetOSVersion().ToString(), L"0.0.0.0");
}
