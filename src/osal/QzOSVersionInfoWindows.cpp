#include "osal/QzOSVersionInfoWindows.h"

#include <array>

namespace QzOSAL {
namespace {

struct Release {
    unsigned id;
    const wchar_t* name;
    std::uint32_t major;
    std::uint32_t minor;
    bool workstation;  // a client release
};

constexpr std::array<Release, 15> kReleases = {{
    {1, L"Windows 95", 4, 0, false},
    {2, L"Windows 98", 4, 10, false},
    {3, L"Windows ME", 4, 90, false},
    {4, L"Windows NT 3.51", 3, 51, true},
    {5, L"Windows NT 4", 4, 0, true},
    {6, L"Windows 2000", 5, 0, true},
    {7, L"Windows XP", 5, 1, true},
    {8, L"Windows Server 2003", 5, 2, false},
    {9, L"Windows Vista", 6, 0, true},
    {10, L"Windows Server 2008", 6, 0, false},
    {11, L"Windows 7", 6, 1, true},
    {12, L"Windows Server 2008 R2", 6, 1, false},
    {13, L"Windows 8.0", 6, 2, true},
    {14, L"Windows 8.1", 6, 3, true},
    {15, L"Windows 10", 10, 0, true},
}};

const Release* FindRelease(unsigned id)
{
    return id >= 1 && id <= kReleases.size() ? &kReleases[id - 1] : nullptr;
}

// Indexed by edition number.
constexpr std::array<const wchar_t*, 22> kEditionNames = {
    L"",
    L"Professional",
    L"Home",
    L"Business",
    L"HPC Edition",
    L"Server Datacenter Full",
    L"Server Datacenter Full without HyperV",
    L"Server Datacenter Core",
    L"Server Datacenter Core without HyperV",
    L"Server Enterprise",
    L"Home Basic",
    L"Home Premium",
    L"HYPERV Server",
    L"Home Server",
    L"Server Medium Business",
    L"Server Small Business",
    L"Server Standard",
    L"Starter",
    L"Server Storage",
    L"Ultimate",
    L"Server Webserver",
    L"Unlicensed",
};

// The suite-mask bit of the home ("personal") edition of Windows XP.
constexpr std::uint16_t kSuitePersonal = 0x0200;

}  // namespace

QzOSVersionInfoWindows::QzOSVersionInfoWindows()
{
    Record record;
    QuerySystem(record);
    *this = QzOSVersionInfoWindows(record);
}

QzOSVersionInfoWindows::QzOSVersionInfoWindows(const Record& record) : QzOSVersionInfo(record)
{
    osId_ = IdentifyOS(record.majorVersion, record.minorVersion,
                       record.productType == kProductTypeWorkstation);
    if (record.majorVersion == 5 && record.minorVersion == 1)
        edition_ = (record.suiteMask & kSuitePersonal) ? EditionHome : EditionProfessional;
    else if (record.majorVersion == 6)
        edition_ = EditionFromProductInfo(record.productInfo);
}

QzOSVersionInfoWindows::QzOSVersionInfoWindows(unsigned osId) : QzOSVersionInfo(Record{}), osId_(osId)
{
    if (const Release* release = FindRelease(osId)) {
        osVersion_ = QzVersion(release->major, release->minor, 0, 0);
        workstation_ = release->workstation;
    }
}

QzOSVersionInfoWindows::~QzOSVersionInfoWindows() = default;

std::wstring QzOSVersionInfoWindows::GetOSName() const
{
    const Release* release = FindRelease(osId_);
    return release ? release->name : L"";
}

unsigned QzOSVersionInfoWindows::IdentifyOS(std::uint32_t major, std::uint32_t minor, bool workstation)
{
    switch (major) {
    case 3:
        return minor == 51 ? OSWindowsNT351 : OSUnknown;
    case 4:
        if (minor == 0)
            return workstation ? OSWindowsNT4 : OSWindows95;
        if (minor == 10 && !workstation)
            return OSWindows98;
        if (minor == 90 && !workstation)
            return OSWindowsME;
        return OSUnknown;
    case 5:
        if (minor == 0)
            return OSWindows2000;
        if (minor == 1)
            return OSWindowsXP;
        if (minor == 2)
            return OSWindowsServer2003;
        return OSUnknown;
    case 6:
        if (minor == 0)
            return workstation ? OSWindowsVista : OSWindowsServer2008;
        if (minor == 1)
            return workstation ? OSWindows7 : OSWindowsServer2008R2;
        if (minor == 2 && workstation)
            return OSWindows8;
        if (minor == 3 && workstation)
            return OSWindows81;
        return OSUnknown;
    case 10:
        if (minor != 0)
            return OSNewer;
        return workstation ? OSWindows10 : OSUnknown;
    default:
        return major > 10 ? OSNewer : OSUnknown;
    }
}

unsigned QzOSVersionInfoWindows::EditionFromProductInfo(std::uint32_t productInfo)
{
    // Product kinds as the product query numbers them.
    switch (productInfo) {
    case 0x01: case 0x1C:  // ultimate, ultimate N
        return EditionUltimate;
    case 0x02: case 0x05:  // home basic, home basic N
        return EditionHomeBasic;
    case 0x03: case 0x1A:  // home premium, home premium N
        return EditionHomePremium;
    case 0x06: case 0x10:  // business, business N
        return EditionBusiness;
    case 0x07: case 0x0D: case 0x24: case 0x28:  // standard server: full, core, and both without Hyper-V
        return EditionServerStandard;
    case 0x08:
        return EditionDatacenterFull;
    case 0x25:
        return EditionDatacenterFullWithoutHyperV;
    case 0x0C:
        return EditionDatacenterCore;
    case 0x27:
        return EditionDatacenterCoreWithoutHyperV;
    case 0x09: case 0x18: case 0x19: case 0x23:  // small business server and its variants
        return EditionServerSmallBusiness;
    case 0x0A: case 0x0E: case 0x0F: case 0x26: case 0x29:  // enterprise server and its variants
        return EditionServerEnterprise;
    case 0x0B:
        return EditionStarter;
    case 0x11: case 0x1D:  // web server, web server core
        return EditionServerWebserver;
    case 0x12:  // cluster (HPC) server
        return EditionHPC;
    case 0x13: case 0x22:  // home server, home premium server
        return EditionHomeServer;
    case 0x14: case 0x15: case 0x16: case 0x17:  // storage server: express, standard, workgroup, enterprise
        return EditionServerStorage;
    case 0x1E: case 0x1F: case 0x20:  // medium business server: management, security, messaging
        return EditionServerMediumBusiness;
    case 0x2A:
        return EditionHyperVServer;
    case 0x30: case 0x31:  // professional, professional N
        return EditionProfessional;
    case 0xABCDABCD:
        return EditionUnlicensed;
    default:
        return EditionUnknown;
    }
}

std::wstring QzOSVersionInfoWindows::GetEditionName(unsigned edition)
{
    return edition < kEditionNames.size() ? kEditionNames[edition] : L"";
}

}  // namespace QzOSAL
