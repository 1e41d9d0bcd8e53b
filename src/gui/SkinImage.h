// Images of a skin (BMP, PNG, JPEG, SVG) read once per process and kept, at
// the size a display resolution asks for. Skins are drawn for 96 DPI; at
// other resolutions raster images are resampled and SVG images are drawn
// afresh, so a control looks the same size everywhere.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class QImage;

class CQZSkinImage {
  public:
    /// The resolution skin images are made for.
    static constexpr int kDesignDpi = 96;

    /// The image in `path` for a display of `dpi` (its size times dpi / 96).
    /// Never null: a missing or undecodable file gives an empty image
    /// (isNull()) and one report to the GUI library's error log.
    static std::shared_ptr<const QImage> Load(const std::wstring& path, int dpi = kDesignDpi);

    /// The image in `path` drawn at exactly `width` x `height` pixels: SVG
    /// images are rendered at that size, raster images resampled. Empty as
    /// Load is for a bad file or a size of 0.
    static std::shared_ptr<const QImage> LoadSized(const std::wstring& path, int width, int height);

    /// Whether the file is read as SVG (by its content, else its extension).
    static bool IsSvg(const std::wstring& path);

    /// Number of cached images (each size counts once).
    static std::size_t GetCacheSize();
    /// Forgets every image and every reported failure, so that files that
    /// changed on disk are read again.
    static void ClearCache();
};
