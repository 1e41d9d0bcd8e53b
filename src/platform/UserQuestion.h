// Yes/No questions to the user from code that knows nothing of windows.
//
// The window system installs the handler that shows a real message box; a
// process without one (no GUI, or a silent action) gets the answer No, so
// nothing the question guards happens without the user's consent.
#pragma once

#include <functional>
#include <string>

namespace qz::platform {

using YesNoHandler = std::function<bool(const std::wstring& question)>;

/// Asks `question`; true only when the user answered Yes.
bool AskYesNo(const std::wstring& question);

/// Installs the handler that asks; an empty one restores the answer No.
void SetYesNoHandler(YesNoHandler handler);

}  // namespace qz::platform
