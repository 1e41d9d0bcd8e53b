// Actions whose objects are not part of this build yet. They say so in the
// host's log and report failure rather than pretending to have run.
#include "update/Actions.h"

#include <string>

namespace qz::update {
namespace {
std::uint32_t NotAvailable(QzAutoUpdate::CUpdateConfiguration2& configuration, std::uint32_t action)
{
    const std::wstring line =
        L"DoAction(): action " + std::to_wstring(action) + L" is not available in this build.";
    configuration.Log(line.c_str());
    return QzAutoUpdate::kResultFailed;
}
}  // namespace

std::uint32_t RunUpdateAction(QzAutoUpdate::CUpdateConfiguration2& c) { return NotAvailable(c, 1); }
std::uint32_t RunCrmUploadAction(QzAutoUpdate::CUpdateConfiguration2& c) { return NotAvailable(c, 2); }

}  // namespace qz::update
