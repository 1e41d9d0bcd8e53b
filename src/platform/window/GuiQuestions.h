// Yes/No questions of code below the dialogs, answered by the user in a
// message box.
#pragma once

namespace qz::platform {

/// Makes AskYesNo show a Yes/No message box (question icon, owned by the
/// active dialog) when a QApplication runs and the question comes from its
/// thread; from any other thread, or without a GUI, the answer stays No and
/// nothing is shown. Touches no Qt itself, so it may run at load time.
void InstallGuiQuestions();

} // namespace qz::platform
