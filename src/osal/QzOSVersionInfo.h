// The version numbers of the Windows release the library runs on, as the
// system reports them. On Linux there is no such release and both versions
// stay 0.0.0.0.
#pragma once

#include "osal/QzVersion.h"

#include <cstdint>

namespace QzOSAL {

/// The OS version (major.minor.0.0) and service-pack version
/// (major.minor.0.0) of the running Windows release.
class QzOSVersionInfo {
public:
    /// What the system says about its release: the fields of the extended
    /// version record that the detection reads, and the product kind that
    /// the product query gives on releases of major version 6.
    struct Record {
        std::uint32_t majorVersion = 0;
        std::uint32_t minorVersion = 0;
        std::uint16_t servicePackMajor = 0;
        std::uint16_t servicePackMinor = 0;
        std::uint16_t suiteMask = 0;
        /// 1 for a workstation, 2 for a domain controller, 3 for a server.
        std::uint8_t productType = 0;
        /// The product query's answer; 0 when the system has no such query.
        std::uint32_t productInfo = 0;
    };

    /// The record's product type of a workstation (client) release.
    static constexpr std::uint8_t kProductTypeWorkstation = 1;

    /// Asks the running system for its record. False, with `record` all
    /// zero, when it reports no Windows release, which is always so on Linux.
    static bool QuerySystem(Record& record);

    /// The running system's versions; both 0.0.0.0 when it reports none.
    QzOSVersionInfo();
    /// The versions of a record the caller obtained.
    explicit QzOSVersionInfo(const Record& record);
    QzOSVersionInfo(const QzOSVersionInfo& other) = default;
    QzOSVersionInfo& operator=(const QzOSVersionInfo& other) = default;
    virtual ~QzOSVersionInfo();

    /// major.minor.0.0 of the release.
    const QzVersion& GetOSVersion() const { return osVersion_; }
    /// major.minor.0.0 of the installed service pack.
    const QzVersion& GetServicePackVersion() const { return servicePackVersion_; }

protected:
    QzVersion osVersion_;
    QzVersion servicePackVersion_;
};

}  // namespace QzOSAL
