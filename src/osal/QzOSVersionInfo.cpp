#include "osal/QzOSVersionInfo.h"

namespace QzOSAL {

bool QzOSVersionInfo::QuerySystem(Record& record)
{
    // A Linux process runs no Windows release, and a Windows compatibility
    // layer runs Windows programs, not this build: there is nobody to ask.
    record = Record{};
    return false;
}

QzOSVersionInfo::QzOSVersionInfo()
{
    Record record;
    if (QuerySystem(record))
        *this = QzOSVersionInfo(record);
}

QzOSVersionInfo::QzOSVersionInfo(const Record& record)
    : osVersion_(record.majorVersion, record.minorVersion, 0, 0),
      servicePackVersion_(record.servicePackMajor, record.servicePackMinor, 0, 0)
{
}

QzOSVersionInfo::~QzOSVersionInfo() = default;

}  // namespace QzOSAL
