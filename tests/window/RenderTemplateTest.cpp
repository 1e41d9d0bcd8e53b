// Rendering a template to a PNG: the image is the dialog as DoModal would
// build it, and every failure is reported rather than written.
#include "WindowTestSupport.h"
#include "platform/FileNames.h"
#include "render/RenderTemplate.h"

#include <QFontMetrics>
#include <QImage>
#include <QWidget>

#include <filesystem>

namespace qz::platform::test {
namespace {

namespace fs = std::filesystem;

using RenderTemplateTest = WindowTest;

const std::string kRcPath = QZ_TEST_DATA_DIR "/window/window_test.rc";

std::string ReadRc()
{
    return ReadWholeFile(kRcPath).value_or("");
}

TEST_F(RenderTemplateTest, ImageIsTheDialogAtTheChosenDpi)
{
    const qz::test::TempFolder folder("render_test");
    const fs::path png = folder / "dialog.png";
    std::string error;
    RenderedDialog rendered;
    ASSERT_TRUE(RenderDialogTemplate(ReadRc(), kRcPath, IDD_TEST_DIALOG, kFallbackLanguage, 144, png.string(),
                                     error, &rendered))
        << error;
    QImage image(QString::fromStdString(png.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), rendered.width);
    EXPECT_EQ(image.height(), rendered.height);

    // The same template built by the window system at the same DPI: the
    // 8-point font is MulDiv(8, dpi, 72) pixels high, the base units are its
    // average letter width and its height, and 240 x 160 units fill the client.
    SetDisplayDpiOverride(144);
    RecordingDialog dlg(IDD_TEST_DIALOG);
    ASSERT_TRUE(dlg.Create());
    const QFont font = WidgetFromHandle(dlg.m_hWnd)->font();
    EXPECT_EQ(font.pixelSize(), MulDiv(8, 144, 72));
    const QFontMetrics metrics(font);
    const POINT base = GetDialogBaseUnits(dlg.m_hWnd);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(base.x, (metrics.horizontalAdvance(letters) / 26 + 1) / 2);
    EXPECT_EQ(base.y, metrics.height());
    RECT client{};
    GetClientRect(dlg.m_hWnd, &client);
    EXPECT_EQ(client.right, MulDiv(240, base.x, 4));
    EXPECT_EQ(client.bottom, MulDiv(160, base.y, 8));
    EXPECT_EQ(rendered.baseUnits, base);
    EXPECT_EQ(image.width(), client.right);
    EXPECT_EQ(image.height(), client.bottom);
    dlg.DestroyWindow();
    SetDisplayDpiOverride(0);

    // The text was painted: the image is not one flat colour.
    const QRgb first = image.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 3) {
        for (int x = 0; x < image.width() && !varied; x += 3) {
            varied = image.pixel(x, y) != first;
        }
    }
    EXPECT_TRUE(varied);
}

TEST_F(RenderTemplateTest, FailuresAreReportedAndWriteNothing)
{
    const qz::test::TempFolder dir("render_fail");
    const std::string png = (dir / "out.png").string();
    std::string error;

    EXPECT_FALSE(RenderDialogTemplate(ReadRc(), kRcPath, 99, kFallbackLanguage, 96, png, error));
    EXPECT_EQ(error, kRcPath + ": error: no dialog template 99");
    EXPECT_FALSE(RenderDialogTemplate(ReadRc(), kRcPath, 0x10000 + IDD_TEST_DIALOG, kFallbackLanguage, 96, png,
                                      error));

    error.clear();
    EXPECT_FALSE(RenderDialogTemplate("1 DIALOGEX 0, 0, 10, 10\nBEGIN\n", "broken.rc", 1, kFallbackLanguage, 96,
                                      png, error));
    EXPECT_EQ(error.rfind("broken.rc:", 0), 0u) << error;
    EXPECT_FALSE(fs::exists(png));

    EXPECT_FALSE(RenderDialogTemplate(ReadRc(), kRcPath, IDD_TEST_DIALOG, kFallbackLanguage, 96,
                                      (dir / "missing" / "out.png").string(), error));
    EXPECT_NE(error.find("cannot write PNG"), std::string::npos) << error;
    // A template larger than any picture is named as such, not as a disk fault.
    EXPECT_FALSE(RenderDialogTemplate("1 DIALOGEX 0, 0, 32767, 32767\nBEGIN\nEND\n", "huge.rc", 1,
                                      kFallbackLanguage, 192, png, error));
    EXPECT_NE(error.find(": error: the dialog is too large to draw"), std::string::npos) << error;
    // So is one without area, and one with more controls than are ever painted.
    EXPECT_FALSE(RenderDialogTemplate("1 DIALOGEX 0, 0, 0, 10\nBEGIN\nEND\n", "empty.rc", 1, kFallbackLanguage,
                                      96, png, error));
    EXPECT_NE(error.find(": error: the dialog has no area to draw (0 x "), std::string::npos) << error;
    std::string crowded = "1 DIALOGEX 0, 0, 100, 100\nBEGIN\n";
    for (int i = 0; i < 2001; ++i)
        crowded += "LTEXT \"x\", -1, 0, 0, 5, 5\n";
    EXPECT_FALSE(RenderDialogTemplate(crowded + "END\n", "crowded.rc", 1, kFallbackLanguage, 96, png, error));
    EXPECT_NE(error.find(": error: the dialog has too many controls to draw (2001; at most 2000)"),
              std::string::npos)
        << error;
    EXPECT_FALSE(fs::exists(png));

    // The DPI chosen for a rendering does not outlive it.
    HDC dc = CreateDCW(L"DISPLAY");
    const int screenDpi = GetDeviceCaps(dc, LOGPIXELSY);
    ASSERT_TRUE(RenderDialogTemplate(ReadRc(), kRcPath, IDD_PLAIN_DIALOG, kFallbackLanguage, screenDpi + 48,
                                     (dir / "other.png").string(), error))
        << error;
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), screenDpi);
    DeleteDC(dc);
}

} // namespace
} // namespace qz::platform::test
