#include "gui/SkinImage.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>

#include "gui/GuiErrorLog.h"
#include "platform/FileNames.h"
#include "platform/WinUser.h"

namespace {

struct Cache {
    std::mutex lock;
    std::map<std::wstring, std::shared_ptr<const QImage>> images;
    std::set<std::wstring> reported;
};

Cache& TheCache()
{
    static Cache cache;
    return cache;
}

QString QtFileName(const std::wstring& path)
{
    return QString::fromStdString(qz::platform::NativeFileName(path));
}

bool HasSvgExtension(const std::wstring& path)
{
    const auto dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos)
        return false;
    std::wstring ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return ext == L"svg" || ext == L"svgz";
}

std::shared_ptr<const QImage> Empty()
{
    static const auto empty = std::make_shared<const QImage>();
    return empty;
}

// Reports a file once, however many sizes are asked of it.
void ReportOnce(Cache& cache, const std::wstring& path, const std::wstring& why)
{
    if (cache.reported.insert(path).second)
        CQZGuiErrorLog::Report(L"CQZSkinImage: " + why + L" " + path);
}

QImage DecodeRaster(const std::wstring& path, QString* error)
{
    QImageReader reader(QtFileName(path));
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) {
        *error = reader.errorString();
        return image;
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage RenderSvg(QSvgRenderer& renderer, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

int Scaled(int value, int dpi)
{
    return std::max(1, qz::platform::MulDiv(value, dpi, CQZSkinImage::kDesignDpi));
}

// Decodes `path` at `dpi`, or at exactly `size` when that is valid.
std::shared_ptr<const QImage> Decode(Cache& cache, const std::wstring& path, int dpi, QSize size)
{
    if (!QFile::exists(QtFileName(path))) {
        ReportOnce(cache, path, L"image not found:");
        return Empty();
    }
    QImage image;
    if (CQZSkinImage::IsSvg(path)) {
        QSvgRenderer renderer(QtFileName(path));
        const QSize natural = renderer.defaultSize();
        if (!renderer.isValid() || natural.isEmpty()) {
            ReportOnce(cache, path, L"cannot read SVG image");
            return Empty();
        }
        image = RenderSvg(renderer, size.isValid()
                                        ? size
                                        : QSize(Scaled(natural.width(), dpi), Scaled(natural.height(), dpi)));
    } else {
        QString error;
        image = DecodeRaster(path, &error);
        if (image.isNull()) {
            ReportOnce(cache, path, L"cannot read image (" + error.toStdWString() + L")");
            return Empty();
        }
        if (!size.isValid() && dpi != CQZSkinImage::kDesignDpi)
            size = QSize(Scaled(image.width(), dpi), Scaled(image.height(), dpi));
        if (size.isValid() && size != image.size())
            image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return std::make_shared<const QImage>(std::move(image));
}

std::shared_ptr<const QImage> Lookup(const std::wstring& path, const std::wstring& key, int dpi, QSize size)
{
    if (path.empty())
        return Empty();
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    const auto it = cache.images.find(key);
    if (it != cache.images.end())
        return it->second;
    auto image = Decode(cache, path, dpi, size);
    // Failures are kept too: a bad file is read and reported once.
    cache.images.emplace(key, image);
    return image;
}

} // namespace

std::shared_ptr<const QImage> CQZSkinImage::Load(const std::wstring& path, int dpi)
{
    if (dpi <= 0)
        dpi = kDesignDpi;
    return Lookup(path, path + L"|dpi" + std::to_wstring(dpi), dpi, QSize());
}

std::shared_ptr<const QImage> CQZSkinImage::LoadSized(const std::wstring& path, int width, int height)
{
    if (width <= 0 || height <= 0)
        return Empty();
    return Lookup(path, path + L"|" + std::to_wstring(width) + L"x" + std::to_wstring(height), kDesignDpi,
                  QSize(width, height));
}

bool CQZSkinImage::IsSvg(const std::wstring& path)
{
    QFile file(QtFileName(path));
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(64);
        // Raster signatures win over a misleading extension.
        if (head.startsWith("BM") || head.startsWith("\x89PNG") || head.startsWith("\xFF\xD8"))
            return false;
        if (head.startsWith("\x1F\x8B")) // gzip: only SVG is stored that way
            return true;
        const QByteArray trimmed = head.trimmed();
        if (trimmed.startsWith("<?xml") || trimmed.startsWith("<svg"))
            return true;
    }
    return HasSvgExtension(path);
}

std::size_t CQZSkinImage::GetCacheSize()
{
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    return cache.images.size();
}

void CQZSkinImage::ClearCache()
{
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> guard(cache.lock);
    cache.images.clear();
    cache.reported.clear();
}
