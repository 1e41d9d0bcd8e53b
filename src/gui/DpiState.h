// The GUI library's DPI scaling, one setting for the process: when on,
// positions in definition files are 96-DPI units scaled by dpi / 96. The
// update dialogs switch it on before they are skinned; previews and tests
// set it for a chosen DPI and put it back.
#pragma once

class CQZDpiState {
  public:
    /// A DPI of zero or less counts as 96.
    static void Set(bool scaling, int dpiX, int dpiY);
    static bool IsScaling();
    static int GetDpiX();
    static int GetDpiY();
};
