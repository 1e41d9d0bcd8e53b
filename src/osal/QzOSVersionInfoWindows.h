// Which Windows release the library runs on, as a small identifier that the
// GUI code switches behaviour on, with the edition where it is known.
#pragma once

#include "osal/QzOSVersionInfo.h"

#include <cstdint>
#include <string>

namespace QzOSAL {

/// The OS versions plus an identifier of the release and its edition.
class QzOSVersionInfoWindows : public QzOSVersionInfo {
public:
    /// Release identifiers; any version not listed is 0, and anything newer
    /// than Windows 10 is 999.
    enum OSId : unsigned {
        OSUnknown = 0,
        OSWindows95 = 1,
        OSWindows98 = 2,
        OSWindowsME = 3,
        OSWindowsNT351 = 4,
        OSWindowsNT4 = 5,
        OSWindows2000 = 6,
        OSWindowsXP = 7,
        OSWindowsServer2003 = 8,
        OSWindowsVista = 9,
        OSWindowsServer2008 = 10,
        OSWindows7 = 11,
        OSWindowsServer2008R2 = 12,
        OSWindows8 = 13,
        OSWindows81 = 14,
        OSWindows10 = 15,
        OSNewer = 999,
    };

    /// Edition numbers; 0 when the edition was not determined.
    enum Edition : unsigned {
        EditionUnknown = 0,
        EditionProfessional = 1,
        EditionHome = 2,
        EditionBusiness,
        EditionHPC,
        EditionDatacenterFull,
        EditionDatacenterFullWithoutHyperV,
        EditionDatacenterCore,
        EditionDatacenterCoreWithoutHyperV,
        EditionServerEnterprise,
        EditionHomeBasic,
        EditionHomePremium,
        EditionHyperVServer,
        EditionHomeServer,
        EditionServerMediumBusiness,
        EditionServerSmallBusiness,
        EditionServerStandard,
        EditionStarter,
        EditionServerStorage,
        EditionUltimate,
        EditionServerWebserver,
        EditionUnlicensed,
    };

    /// Detects the running system (on Linux: identifier 0, versions 0.0.0.0).
    QzOSVersionInfoWindows();
    /// Detects from a record the caller obtained.
    explicit QzOSVersionInfoWindows(const Record& record);
    /// The release `osId` of the table: its major and minor version and
    /// whether it is a client release. Other identifiers only set the
    /// identifier. Asks the system nothing; the service pack stays 0.0.0.0.
    explicit QzOSVersionInfoWindows(unsigned osId);
    QzOSVersionInfoWindows(const QzOSVersionInfoWindows& other) = default;
    QzOSVersionInfoWindows& operator=(const QzOSVersionInfoWindows& other) = default;
    ~QzOSVersionInfoWindows() override;

    /// The release identifier.
    unsigned GetOSId() const { return osId_; }
    /// The edition number, 0 when not determined.
    unsigned GetEdition() const { return edition_; }
    /// Whether the object was made for a client release by identifier;
    /// detection leaves it false.
    bool IsWorkstation() const { return workstation_; }

    /// Windows 95, 98 or ME.
    bool IsWin9x() const { return osId_ >= OSWindows95 && osId_ <= OSWindowsME; }
    bool IsWin2000() const { return osId_ == OSWindows2000; }
    bool IsWinXP() const { return osId_ == OSWindowsXP; }
    bool IsVista() const { return osId_ == OSWindowsVista; }
    bool IsWin7() const { return osId_ == OSWindows7; }

    /// The release's name, such as "Windows 7"; empty for 0 and 999.
    std::wstring GetOSName() const;

    /// The identifier of version major.minor, on a workstation or not.
    static unsigned IdentifyOS(std::uint32_t major, std::uint32_t minor, bool workstation);
    /// The edition of a product kind that the product query reports.
    static unsigned EditionFromProductInfo(std::uint32_t productInfo);
    /// The name of an edition number, such as "Home Premium"; empty for 0.
    static std::wstring GetEditionName(unsigned edition);

private:
    bool workstation_ = false;
    unsigned edition_ = EditionUnknown;
    unsigned osId_ = OSUnknown;
};

}  // namespace QzOSAL
