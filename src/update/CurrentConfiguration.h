// The configuration of the running update call, for code that is not handed
// one (the string loader picks the dialogs' language from it).
#pragma once

#include <QzAutoUpdate/UpdateConfiguration2.h>

namespace qz::update {

/// The configuration of the CUpdater alive now, or null between calls.
QzAutoUpdate::CUpdateConfiguration2* GetCurrentConfiguration();

/// Set by every CUpdater on construction and cleared when it is destroyed.
void SetCurrentConfiguration(QzAutoUpdate::CUpdateConfiguration2* configuration);

}  // namespace qz::update
