#include "gui/WindowGrab.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include "platform/FileNames.h"
#include "platform/window/WindowQt.h"

struct CQZWindowGrab::Image {
    QImage pixels;
};

CQZWindowGrab::CQZWindowGrab(qz::platform::HWND window) : image_(std::make_unique<Image>())
{
    QWidget* widget = qz::platform::WidgetFromHandle(window);
    if (!widget)
        return;
    // A pixmap of a high-DPI screen counts logical pixels; the preview
    // wants the pixels the dialog was laid out in.
    QPixmap pixmap = widget->grab();
    pixmap.setDevicePixelRatio(1.0);
    image_->pixels = pixmap.toImage();
}

CQZWindowGrab::~CQZWindowGrab() = default;

bool CQZWindowGrab::IsValid() const
{
    return !image_->pixels.isNull();
}

int CQZWindowGrab::Width() const
{
    return image_->pixels.width();
}

int CQZWindowGrab::Height() const
{
    return image_->pixels.height();
}

bool CQZWindowGrab::SavePng(const std::wstring& path) const
{
    if (!IsValid())
        return false;
    // The library's file-name rule, so that any name the caller can spell
    // reaches the same file.
    const QString name = QFile::decodeName(QByteArray::fromStdString(qz::platform::NativeFileName(path)));
    return image_->pixels.save(name, "PNG");
}
