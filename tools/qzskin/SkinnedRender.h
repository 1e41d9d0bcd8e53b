// `qzskin render --ini`: a dialog template of a resource script built
// offscreen as a skinned dialog, with the definition file applied as the
// update dialogs apply theirs, and saved as a PNG.
#pragma once

#include <string>

#include "render/RenderTemplate.h"

/// Renders template `templateId` of `rcText` (the script at `rcPath`) in
/// `language` at `dpi`, skinned by the definition file `definitionPath`,
/// into `pngPath`. The control names of the script's included headers (and
/// IDOK, IDCANCEL) are registered with the designer, so that every section
/// named after a control of the template finds it. On failure `error` holds
/// one line "file: error: reason".
bool RenderSkinnedDialog(const std::string& rcText, const std::string& rcPath, qz::platform::UINT templateId,
                         qz::platform::LANGID language, int dpi, const std::wstring& definitionPath,
                         const std::string& pngPath, std::string& error,
                         qz::platform::RenderedDialog* rendered);
