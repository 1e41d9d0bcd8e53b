#include "update/Actions.h"

#include <array>

using QzAutoUpdate::CUpdateConfiguration2;

namespace qz::update {

std::span<const ActionEntry> ActionTable()
{
    static constexpr std::array<ActionEntry, 4> table{{
        {QzAutoUpdate::kActionUpdate, &RunUpdateAction},
        {QzAutoUpdate::kActionCrmUpload, &RunCrmUploadAction},
        {QzAutoUpdate::kActionCheck, &RunCheckAction},
        {QzAutoUpdate::kActionDownload, &RunDownloadAction},
    }};
    return table;
}

std::uint32_t DispatchAction(CUpdateConfiguration2* configuration, std::uint32_t action)
{
    if (configuration == nullptr || action == 0)
        return QzAutoUpdate::kResultNoConfiguration;
    for (const ActionEntry& entry : ActionTable()) {
        if (entry.action == action)
            return entry.run(*configuration);
    }
    return QzAutoUpdate::kResultUnknownAction;
}

}  // namespace qz::update
