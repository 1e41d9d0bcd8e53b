// Dialog units as the Windows dialog manager converts them: the dialog
// font's average character width (of the 52 letters A-Z a-z) and its text
// height are the base units; x units are quarters of the width, y units
// eighths of the height.
#pragma once

#include "platform/RcDialogTemplate.h"
#include "platform/WinUser.h"

#include <QFont>

namespace qz::platform {

/// The template's font (DS_SETFONT; otherwise 8 points of the dialog
/// family) at `dpi`: its pixel height is MulDiv(points, dpi, 72).
QFont DialogFont(const DialogTemplate& dialogTemplate, int dpi);

/// The base units of a font in pixels: x = (width of A-Z a-z / 26 + 1) / 2,
/// y = text height.
POINT DialogBaseUnits(const QFont& font);

} // namespace qz::platform
