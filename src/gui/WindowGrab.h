// A picture of a window as the user sees its client area: the window and its
// visible children painted offscreen, for previews of the skinned dialogs.
#pragma once

#include "platform/WinUser.h"

#include <memory>
#include <string>

class CQZWindowGrab {
  public:
    /// Paints `window` (client area and children) into an image; an empty
    /// grab for a stale handle.
    explicit CQZWindowGrab(qz::platform::HWND window);
    ~CQZWindowGrab();
    CQZWindowGrab(const CQZWindowGrab&) = delete;
    CQZWindowGrab& operator=(const CQZWindowGrab&) = delete;

    /// False when nothing could be painted.
    bool IsValid() const;
    /// Size of the picture in device pixels.
    int Width() const;
    int Height() const;
    /// Writes the picture as a PNG to `path` (replacing a file there); false
    /// when the grab is empty or the file cannot be written.
    bool SavePng(const std::wstring& path) const;

  private:
    struct Image;
    std::unique_ptr<Image> image_;
};
