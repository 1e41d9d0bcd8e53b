// Renders one dialog template of a resource script the way the window system
// builds it, offscreen, into a PNG: for the skin author's tools, which show
// what a template looks like at a chosen language and DPI without a display.
#pragma once

#include "platform/RcResourceTable.h"
#include "platform/WinUser.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

/// Sees the text of every quoted include a script reads.
using RcIncludeObserver = std::function<void(const std::string& text)>;

/// The binary RT_DIALOG `templateId` of `rcText` (the script at `rcPath`;
/// quoted includes are read relative to its folder, angled ones are the
/// parser's own), found with the Windows language search from `language`.
/// Empty, with `error` set, when the script does not parse or lacks it.
std::optional<std::vector<std::uint8_t>> FindDialogTemplate(const std::string& rcText, const std::string& rcPath,
                                                            UINT templateId, LANGID language, std::string& error,
                                                            const RcIncludeObserver& onInclude = {});

/// Makes sure a GUI exists for rendering, offscreen when none runs and no
/// platform is chosen; false, with `error` naming `rcPath`, when none can be
/// had.
bool EnsureRenderingGui(const std::string& rcPath, std::string& error);

/// Shows the created dialog, saves what it paints to `pngPath` and destroys
/// its window.
bool SaveDialogPicture(HWND dialog, const std::string& pngPath, std::string& error, RenderedDialog* rendered);

} // namespace qz::platform
