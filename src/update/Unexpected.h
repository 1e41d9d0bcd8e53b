// Exceptions stop where the library's own threads and DoAction begin: none
// may unwind into a host that knows nothing of ours.
#pragma once

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <functional>

namespace qz::update {

/// Runs `body`. When it throws, tells the host's log `line`, a format whose
/// one %s receives the exception's text (as far as the host's Log itself
/// does not throw), and answers false.
bool RunLoggingExceptions(QzAutoUpdate::CUpdateConfiguration2* host, const wchar_t* line,
                          const std::function<void()>& body);

}  // namespace qz::update
