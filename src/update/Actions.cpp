#include "update/Actions.h"

#include "platform/FileNames.h"
#include "platform/WinFormat.h"

#include <array>
#include <exception>
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
        // Nothing may leave the export but a result code: an exception
        // would unwind through a host that knows nothing of ours.
        std::wstring what;
        try {
            return entry.run(*configuration);
        } catch (const std::exception& e) {
            what = qz::platform::WideFileName(e.what());
        } catch (...) {
            what = L"unknown";
        }
        try {
            configuration->Log(
                qz::platform::FormatW(L"DoAction(): action %u ended by an unexpected error (%s).", action, what.c_str())
                    .c_str());
        } catch (...) {
        }
        return QzAutoUpdate::kResultFailed;
    }
    return QzAutoUpdate::kResultUnknownAction;
}

}  // namespace qz::update
