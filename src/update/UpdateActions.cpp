// Actions 1 and 2: both run on a CUpdater that lives for the one call.
#include "update/Actions.h"
#include "update/Updater.h"

namespace qz::update {

std::uint32_t RunUpdateAction(QzAutoUpdate::CUpdateConfiguration2& configuration)
{
    CUpdater updater(&configuration);
    return updater.RunAction(QzAutoUpdate::kActionUpdate);
}

std::uint32_t RunCrmUploadAction(QzAutoUpdate::CUpdateConfiguration2& configuration)
{
    CUpdater updater(&configuration);
    return updater.RunAction(QzAutoUpdate::kActionCrmUpload);
}

}  // namespace qz::update
