// qz_skinimages OUTDIR
//
// Draws the images of the default skin. Every image is written as SVG text,
// which the controls draw afresh at any resolution, and as a PNG rendered
// from that same text at 96 DPI for readers without SVG support, so the two
// forms never drift apart.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The skin's palette: calm blue on cool greys.
namespace colour {
constexpr const char* kAccent = "#2f6fb5";
constexpr const char* kAccentHover = "#3b7cc4";
constexpr const char* kAccentPressed = "#245a94";
constexpr const char* kAccentDisabled = "#b7c6d8";
constexpr const char* kSurface = "#ffffff";
constexpr const char* kSurfaceHover = "#eef4fb";
constexpr const char* kSurfacePressed = "#dce7f4";
constexpr const char* kSurfaceDisabled = "#f0f2f5";
constexpr const char* kBorder = "#b4c0cd";
constexpr const char* kBorderStrong = "#8796a8";
constexpr const char* kBorderHover = "#7fa6d3";
constexpr const char* kBorderDisabled = "#d4dae1";
constexpr const char* kTrack = "#e3e8ee";
constexpr const char* kTrackBorder = "#c9d1da";
} // namespace colour

struct Image {
    QString name;
    int width;
    int height;
    QString svg;
};

QString Number(double value)
{
    return QString::number(value, 'g', 6);
}

QString Document(int width, int height, const QString& body)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                          "viewBox=\"0 0 %1 %2\">\n%3</svg>\n")
        .arg(width)
        .arg(height)
        .arg(body);
}

// A rounded box whose one-pixel border sits on whole pixels at 1x.
QString RoundedBox(int width, int height, double radius, const char* fill, const char* stroke)
{
    return QStringLiteral("  <rect x=\"0.5\" y=\"0.5\" width=\"%1\" height=\"%2\" rx=\"%3\" ry=\"%3\" "
                          "fill=\"%4\" stroke=\"%5\" stroke-width=\"1\"/>\n")
        .arg(width - 1)
        .arg(height - 1)
        .arg(Number(radius))
        .arg(QLatin1String(fill))
        .arg(QLatin1String(stroke));
}

// Push buttons: flat, rounded, wide enough to be cut into nine parts with
// 6-pixel borders.
Image Button(const QString& name, const char* fill, const char* stroke)
{
    return {name, 48, 24, Document(48, 24, RoundedBox(48, 24, 4, fill, stroke))};
}

// Check boxes: the box in its four states, and the mark drawn over it when
// checked, at the 14 pixels the skin places the box in.
constexpr int kBox = 14;

Image CheckBox(const QString& name, const char* fill, const char* stroke)
{
    return {name, kBox, kBox, Document(kBox, kBox, RoundedBox(kBox, kBox, 3, fill, stroke))};
}

Image CheckMark()
{
    const QString body =
        QStringLiteral("  <path d=\"M3.6 7.3 L6 9.7 L10.5 4.5\" fill=\"none\" stroke=\"%1\" "
                       "stroke-width=\"2\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n")
            .arg(QLatin1String(colour::kAccent));
    return {QStringLiteral("check_mark"), kBox, kBox, Document(kBox, kBox, body)};
}

// The progress bar is drawn stretched to the control (306 x 23 pixels at
// 96 DPI in every language), so track and fill are drawn at that size: a
// slim pill centred in the control's height, and the fill for the area
// the skin leaves inside the track (1, 7, 1, 7 pixels in).
constexpr int kMeterWidth = 306;
constexpr int kMeterHeight = 23;

Image ProgressTrack()
{
    const QString body =
        QStringLiteral("  <rect x=\"0.5\" y=\"6.5\" width=\"%1\" height=\"10\" rx=\"5\" ry=\"5\" "
                       "fill=\"%2\" stroke=\"%3\" stroke-width=\"1\"/>\n")
            .arg(kMeterWidth - 1)
            .arg(QLatin1String(colour::kTrack))
            .arg(QLatin1String(colour::kTrackBorder));
    return {QStringLiteral("progress_track"), kMeterWidth, kMeterHeight,
            Document(kMeterWidth, kMeterHeight, body)};
}

Image ProgressFill()
{
    const int width = kMeterWidth - 2;
    const int height = kMeterHeight - 14;
    const QString body =
        QStringLiteral(
            "  <defs><linearGradient id=\"g\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
            "<stop offset=\"0\" stop-color=\"#4d8bd0\"/><stop offset=\"1\" stop-color=\"%1\"/>"
            "</linearGradient></defs>\n"
            "  <rect x=\"0\" y=\"0\" width=\"%2\" height=\"%3\" rx=\"4.5\" ry=\"4.5\" fill=\"url(#g)\"/>\n")
            .arg(QLatin1String(colour::kAccent))
            .arg(width)
            .arg(height);
    return {QStringLiteral("progress_fill"), width, height, Document(width, height, body)};
}

// The activity spinner: twelve spokes whose brightness runs round, one
// frame per step, in a horizontal strip.
constexpr int kSpinnerFrames = 12;
constexpr int kSpinnerSize = 24;

QString SpinnerFrame(int frame, double originX)
{
    QString body = QStringLiteral("  <g transform=\"translate(%1 %2)\" stroke=\"%3\" stroke-width=\"2.2\" "
                                  "stroke-linecap=\"round\">\n")
                       .arg(Number(originX + kSpinnerSize / 2.0))
                       .arg(Number(kSpinnerSize / 2.0))
                       .arg(QLatin1String(colour::kAccent));
    for (int spoke = 0; spoke < kSpinnerFrames; ++spoke) {
        // The head spoke is opaque, the ones behind it fade out.
        const int age = (frame - spoke + kSpinnerFrames) % kSpinnerFrames;
        const double opacity = 1.0 - 0.8 * age / (kSpinnerFrames - 1);
        const double angle = spoke * 2.0 * M_PI / kSpinnerFrames - M_PI / 2.0;
        const double c = std::cos(angle), s = std::sin(angle);
        body += QStringLiteral("    <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke-opacity=\"%5\"/>\n")
                    .arg(Number(5.0 * c))
                    .arg(Number(5.0 * s))
                    .arg(Number(10.0 * c))
                    .arg(Number(10.0 * s))
                    .arg(Number(opacity));
    }
    return body + QStringLiteral("  </g>\n");
}

Image SpinnerStrip()
{
    QString body;
    for (int frame = 0; frame < kSpinnerFrames; ++frame)
        body += SpinnerFrame(frame, frame * kSpinnerSize);
    const int width = kSpinnerFrames * kSpinnerSize;
    return {QStringLiteral("activity_strip"), width, kSpinnerSize, Document(width, kSpinnerSize, body)};
}

std::vector<Image> AllImages()
{
    using namespace colour;
    return {
        Button(QStringLiteral("button_standard"), kSurface, kBorder),
        Button(QStringLiteral("button_hover"), kSurfaceHover, kBorderHover),
        Button(QStringLiteral("button_pressed"), kSurfacePressed, kAccent),
        Button(QStringLiteral("button_disabled"), kSurfaceDisabled, kBorderDisabled),
        Button(QStringLiteral("button_primary_standard"), kAccent, kAccentPressed),
        Button(QStringLiteral("button_primary_hover"), kAccentHover, kAccent),
        Button(QStringLiteral("button_primary_pressed"), kAccentPressed, kAccentPressed),
        Button(QStringLiteral("button_primary_disabled"), kAccentDisabled, kAccentDisabled),
        CheckBox(QStringLiteral("check_standard"), kSurface, kBorderStrong),
        CheckBox(QStringLiteral("check_hover"), kSurfaceHover, kAccent),
        CheckBox(QStringLiteral("check_pressed"), kSurfacePressed, kAccentPressed),
        CheckBox(QStringLiteral("check_disabled"), kSurfaceDisabled, kBorderDisabled),
        CheckMark(),
        ProgressTrack(),
        ProgressFill(),
        {QStringLiteral("edit_background"), 32, 32,
         Document(32, 32, RoundedBox(32, 32, 3, kSurface, kBorder))},
        SpinnerStrip(),
    };
}

bool WriteText(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size();
}

bool WritePng(const QString& path, QSvgRenderer& renderer, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, width, height));
    painter.end();
    return image.save(path, "PNG");
}

} // namespace

int main(int argc, char** argv)
{
    // Rendering needs no display; the offscreen platform is enough.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: qz_skinimages OUTDIR\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "qz_skinimages: cannot create %s\n", argv[1]);
        return 1;
    }
    int written = 0;
    for (const Image& image : AllImages()) {
        const QByteArray svg = image.svg.toUtf8();
        QSvgRenderer renderer(svg);
        if (!renderer.isValid()) {
            std::fprintf(stderr, "qz_skinimages: %s is not valid SVG\n", qPrintable(image.name));
            return 1;
        }
        const bool ok =
            WriteText(out.filePath(image.name + QStringLiteral(".svg")), image.svg) &&
            WritePng(out.filePath(image.name + QStringLiteral(".png")), renderer, image.width, image.height);
        if (!ok) {
            std::fprintf(stderr, "qz_skinimages: cannot write %s\n", qPrintable(image.name));
            return 1;
        }
        written += 2;
    }
    std::printf("qz_skinimages: %d files in %s\n", written, argv[1]);
    return 0;
}
