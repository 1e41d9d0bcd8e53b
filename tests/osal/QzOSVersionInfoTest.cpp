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
        EXPECT_EQ(info.GetServicePackVersion().ToString(), L"0.0.0.0");
        const QzOSAL::QzVersion& v = info.GetOSVersion();
        EXPECT_EQ(v.GetPart(2) + v.GetPart(3), 0u);
        EXPECT_EQ(QzOSVersionInfoWindows::IdentifyOS(v.GetPart(0), v.GetPart(1), info.IsWorkstation()), id)
            << v.ToString();
        EXPECT_EQ(info.IsWin9x(), id <= 3) << id;
        EXPECT_EQ(info.IsWin2000(), id == 6);
        EXPECT_EQ(info.IsWinXP(), id == 7);
        EXPECT_EQ(info.IsVista(), id == 9);
        EXPECT_EQ(info.IsWin7(), id == 11);
    }
    EXPECT_EQ(QzOSVersionInfoWindows(11).GetOSName(), L"Windows 7");
    EXPECT_EQ(QzOSVersionInfoWindows(11).GetOSVersion().ToString(), L"6.1.0.0");
    EXPECT_EQ(QzOSVersionInfoWindows(2).GetOSVersion().ToString(), L"4.10.0.0");

    for (unsigned id : {0u, 16u, 999u}) {
        const QzOSVersionInfoWindows info(id);
        EXPECT_EQ(info.GetOSId(), id);
        EXPECT_EQ(info.GetOSName(), L"");
        EXPECT_EQ(info.GetOSVersion().ToString(), L"0.0.0.0");
        EXPECT_FALSE(info.IsWorkstation() || info.IsWin9x() || info.IsWin2000() || info.IsWinXP() ||
                     info.IsVista() || info.IsWin7());
    }

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
    EXPECT_TRUE(seven.IsWin7());
    EXPECT_FALSE(seven.IsWorkstation());  // only the identifier constructor sets it
    EXPECT_EQ(seven.GetOSVersion().ToString(), L"6.1.0.0");
    EXPECT_EQ(seven.GetServicePackVersion().ToString(), L"3.1.0.0");
    EXPECT_EQ(QzOSVersionInfoWindows::GetEditionName(seven.GetEdition()), L"Ultimate");

    const QzOSVersionInfoWindows server(MakeRecord(6, 0, 3, 0, 0x25));
    EXPECT_EQ(server.GetOSId(), 10u);
    EXPECT_EQ(QzOSVersionInfoWindows::GetEditionName(server.GetEdition()), L"Server Datacenter Full without HyperV");

    EXPECT_EQ(QzOSVersionInfoWindows(MakeRecord(5, 1, 1, 0x0200)).GetEdition(), QzOSVersionInfoWindows::EditionHome);
    EXPECT_EQ(QzOSVersionInfoWindows(MakeRecord(5, 1, 1, 0x0100)).GetEdition(),
              QzOSVersionInfoWindows::EditionProfessional);
    // Editions are read on XP and major version 6 only.
    EXPECT_EQ(QzOSVersionInfoWindows(MakeRecord(5, 0, 1, 0x0200)).GetEdition(), 0u);
    EXPECT_EQ(QzOSVersionInfoWindows(MakeRecord(10, 0, 1, 0, 0x30)).GetEdition(), 0u);
    EXPECT_EQ(QzOSVersionInfoWindows(MakeRecord(6, 1, 1, 0, 0x04)).GetEdition(), 0u);  // no such edition name

    EXPECT_EQ(QzOSVersionInfoWindows::GetEditionName(QzOSVersionInfoWindows::EditionFromProductInfo(0xABCDABCD)),
              L"Unlicensed");
    EXPECT_EQ(QzOSVersionInfoWindows::GetEditionName(QzOSVersionInfoWindows::EditionFromProductInfo(0x30)),
              L"Professional");
    EXPECT_EQ(QzOSVersionInfoWindows::GetEditionName(0), L"");
    EXPECT_EQ(QzOSVersionInfoWindows::GetEditionName(22), L"");

    QzOSVersionInfoWindows copy(QzOSVersionInfoWindows(9));
    copy = seven;
    EXPECT_EQ(copy.GetOSId(), 11u);
    EXPECT_EQ(copy.GetEdition(), seven.GetEdition());
    EXPECT_EQ(copy.GetServicePackVersion(), seven.GetServicePackVersion());

    // Linux reports no release.
    QzOSVersionInfo::Record record = MakeRecord(6, 1, 1);
    EXPECT_FALSE(QzOSVersionInfo::QuerySystem(record));
    EXPECT_EQ(record.majorVersion, 0u);
    const QzOSVersionInfoWindows running;
    EXPECT_EQ(running.GetOSId(), 0u);
    EXPECT_EQ(running.GetEdition(), 0u);
    EXPECT_EQ(running.GetOSName(), L"");
    EXPECT_EQ(running.GetOSVersion().ToString(), L"0.0.0.0");
    EXPECT_EQ(QzOSVersionInfo().GetServicePackVersion().ToString(), L"0.0.0.0");
}
