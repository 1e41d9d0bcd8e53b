#include "update/Actions.h"

#include "platform/WinFormat.h"
#include "update/Unexpected.h"

#include <array>
#include <string>

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
        if (entry.action != action)
            continue;
        // Nothing may leave the export but a result code.
        std::uint32_t result = QzAutoUpdate::kResultFailed;
        const std::wstring line =
            qz::platform::FormatW(L"DoAction(): action %u ended by an unexpected error (%%s).", action);
        RunLoggingExceptions(configuration, line.c_str(), [&] { result = entry.run(*configuration); });
        return result;
    }
    return QzAutoUpdate::kResultUnknownAction;
}

}  // namespace qz::update
