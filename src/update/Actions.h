// The actions that DoAction dispatches to, one entry per action code.
#pragma once

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <cstdint>
#include <span>

namespace qz::update {

using ActionHandler = std::uint32_t (*)(QzAutoUpdate::CUpdateConfiguration2& configuration);

struct ActionEntry {
    std::uint32_t action;
    ActionHandler run;
};

/// Action 1: the update workflow (interactive, or check-only without dialogs).
std::uint32_t RunUpdateAction(QzAutoUpdate::CUpdateConfiguration2& configuration);
/// Action 2: upload of the host's CRM data file.
std::uint32_t RunCrmUploadAction(QzAutoUpdate::CUpdateConfiguration2& configuration);
/// Action 3: silent availability check.
std::uint32_t RunCheckAction(QzAutoUpdate::CUpdateConfiguration2& configuration);
/// Action 4: silent download.
std::uint32_t RunDownloadAction(QzAutoUpdate::CUpdateConfiguration2& configuration);

/// The dispatch table of DoAction.
std::span<const ActionEntry> ActionTable();

/// Runs one action: the steps of the export without the module-state switch.
std::uint32_t DispatchAction(QzAutoUpdate::CUpdateConfiguration2* configuration,
                             std::uint32_t action);

}  // namespace qz::update
