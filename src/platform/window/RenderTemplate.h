// Renders one dialog template of a resource script the way the window system
// builds it, offscreen, into a PNG: for the skin author's tools, which show
// what a template looks like at a chosen language and DPI without a display.
#pragma once

#include "platform/RcResourceTable.h"
#include "platform/window/WinUser.h"

#include <string>

namespace qz::platform {

/// What a rendering produced, for the caller's report and checks.
struct RenderedDialog {
    /// Size of the PNG in pixels (the dialog's client area).
    int width = 0;
    int height = 0;
    /// The dialog base units of the template's font at the chosen DPI.
    POINT baseUnits{};
};

/// Parses `rcText` (the script at `rcPath`; quoted includes are read relative
/// to its folder), looks up RT_DIALOG `templateId` with the Windows language
/// search from `language`, builds the dialog at `dpi` dots per inch (0 keeps
/// the screen's) and saves what it paints to `pngPath`. Creates an offscreen
/// application when none runs and no platform is chosen. A DPI given here
/// overrides every DPI query while the dialog is built and is cleared after.
/// On failure `error` holds one line in the form "file: error: reason".
bool RenderDialogTemplate(const std::string& rcText, const std::string& rcPath, UINT templateId,
                          LANGID language, int dpi, const std::string& pngPath, std::string& error,
                          RenderedDialog* rendered = nullptr);

} // namespace qz::platform
