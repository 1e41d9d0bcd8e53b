// Actions 3 and 4: the patch service without any dialog.
#include "patchservice/PatchOnline.h"
#include "update/Actions.h"

namespace qz::update {

std::uint32_t RunCheckAction(QzAutoUpdate::CUpdateConfiguration2& configuration)
{
    CPatchOnline online(&configuration);
    return online.IsAvailable(true);
}

std::uint32_t RunDownloadAction(QzAutoUpdate::CUpdateConfiguration2& configuration)
{
    CPatchOnline online(&configuration);
    return online.Download(true);
}

}  // namespace qz::update
