#include <gtest/gtest.h>

#include <fstream>

#include <QApplication>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QWidget>

#include "gui/ControlTemplateFile.h"
#include "gui/GuiErrorLog.h"
#include "gui/SkinImage.h"
#include "gui/controls/Edit.h"
#include "gui/controls/PeakMeterCtrl.h"
#include "gui/controls/Static.h"
#include "gui/controls/UniButton.h"
#include "platform/FileNames.h"
#include "platform/window/WindowQt.h"
#include "support/TempFolder.h"

using namespace qz::platform;

namespace {

const QColor kBorder(90, 0, 0);
const QColor kStandard(200, 0, 0);
const QColor kPressed(0, 200, 0);
const QColor kHilite(0, 0, 200);
const QColor kDisabled(128, 128, 128);
const QColor kMarker(0, 0, 0);
const QColor kField(240, 230, 140);
const QColor kTrack(255, 255, 255);
const QColor kFill(0, 160, 80);
const QColor kFrames[] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 0)};

// The parent window, recording the notifications its controls send.
class Parent : public CWnd {
  public:
    QWidget* GetWidget() const { return WidgetFromHandle(m_hWnd); }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_COMMAND)
            commands.push_back(wParam);
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    std::vector<WPARAM> commands;
};

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget, QPoint at)
{
    SendMouse(widget, QEvent::MouseButtonPress, at);
    SendMouse(widget, QEvent::MouseButtonRelease, at);
}

QColor PixelOf(CQZ_SkinnedControl& control, QPoint at)
{
    return control.GetWidget()->grab().toImage().pixelColor(at);
}

class PaintCounter : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

class SkinnedControlsTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(EnsureGuiApplication()); }

    void SetUp() override
    {
        CQZGuiErrorLog::SetObserver([this](const std::wstring& text) { reports_.push_back(text); });
        QImage standard(24, 24, QImage::Format_ARGB32);
        standard.fill(kBorder);
        QPainter(&standard).fillRect(4, 4, 16, 16, kStandard);
        Save(standard, "standard.png");
        for (const auto& [name, width, height, colour] :
             {std::tuple{"pressed.png", 24, 24, kPressed}, {"hilite.png", 24, 24, kHilite},
              {"disabled.png", 24, 24, kDisabled}, {"marker.png", 16, 16, kMarker}, {"field.png", 16, 16, kField},
              {"track.png", 20, 10, kTrack}, {"fill.png", 20, 10, kFill}})
            Save(Solid(width, height, colour), name);
        QImage frames(64, 16, QImage::Format_ARGB32);
        for (int i = 0; i < 4; ++i)
            QPainter(&frames).fillRect(16 * i, 0, 16, 16, kFrames[i]);
        Save(frames, "frames.png");
        file_ = CQZControlTemplateFile::Load(WideFileName(QZ_TEST_DATA_DIR "/gui/controls"), L"Controls.ini",
                                             {WideFileName(folder_)});
        ASSERT_TRUE(file_);
        parent_.SubclassWindow(CreateWindowExW(0, L"", L"", WS_VISIBLE, 0, 0, 400, 300, nullptr, 0));
        ASSERT_TRUE(parent_.m_hWnd);
    }

    void TearDown() override
    {
        parent_.DestroyWindow();
        SetDisplayDpiOverride(0);
        CQZSkinImage::ClearCache();
        CQZGuiErrorLog::SetObserver({});
    }

    static QImage Solid(int width, int height, QColor color)
    {
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(color);
        return image;
    }
    void Save(const QImage& image, const std::string& name, const char* format = "PNG") const
    {
        ASSERT_TRUE(image.save(QString::fromStdString(folder_ + "/" + name), format));
    }
    std::wstring PathOf(const std::string& name) const { return WideFileName(folder_ + "/" + name); }
    const CQZControlTemplate* T(const wchar_t* name) const { return file_->GetTemplate(name); }

    qz::test::TempFolder temp_{"qz_skinned_controls"};
    const std::string folder_ = temp_.string();
    std::vector<std::wstring> reports_;
    std::shared_ptr<CQZControlTemplateFile> file_;
    Parent parent_;
};

TEST_F(SkinnedControlsTest, CreatedControlsOwnTheirWindowSubclassedOnesDoNot)
{
    HWND created = nullptr;
    {
        CQZ_UniButton button;
        ASSERT_TRUE(button.CreateControl(parent_.m_hWnd, 100, L"OK", WS_VISIBLE | WS_TABSTOP, 0,
                                         RECT{10, 20, 90, 50}));
        created = button.m_hWnd;
        EXPECT_EQ(GetDlgItem(parent_.m_hWnd, 100), created);
        EXPECT_EQ(CWnd::FromHandle(created), &button);
        EXPECT_EQ(button.GetWidget()->geometry(), QRect(10, 20, 80, 30));
        EXPECT_FALSE(button.CreateControl(parent_.m_hWnd, 101, L"", 0, 0, RECT{})) << "one window per object";
    }
    EXPECT_FALSE(IsWindow(created));

    HWND item =
        CreateWindowExW(0, L"Static", L"text", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, parent_.m_hWnd, 102);
    {
        CQZ_Static label;
        ASSERT_TRUE(label.SubclassControl(item));
        EXPECT_EQ(CWnd::FromHandle(item), &label);
        CQZ_Static second;
        EXPECT_FALSE(second.SubclassControl(item));
        EXPECT_FALSE(second.SubclassControl(nullptr));
    }
    EXPECT_TRUE(IsWindow(item));
    EXPECT_NE(CWnd::FromHandle(item), nullptr);
}

TEST_F(SkinnedControlsTest, CheckStateIsTheWindowsCheckState)
{
    CQZ_UniButton check;
    ASSERT_TRUE(check.CreateControl(parent_.m_hWnd, 110, L"Send data", WS_VISIBLE | BS_AUTOCHECKBOX, 0,
                                    RECT{0, 0, 150, 16}));
    check.ApplyTemplate(T(L"CheckBox"));
    EXPECT_TRUE(check.IsCheckBox());
    check.SetCheck(true);
    EXPECT_EQ(IsDlgButtonChecked(parent_.m_hWnd, 110), BST_CHECKED);
    EXPECT_EQ(PixelOf(check, QPoint(8, 8)), kMarker);
    CheckDlgButton(parent_.m_hWnd, 110, BST_UNCHECKED);
    EXPECT_FALSE(check.GetCheck());
    EXPECT_NE(PixelOf(check, QPoint(8, 8)), kMarker);

    Click(check.GetWidget(), QPoint(5, 8));
    EXPECT_TRUE(check.GetCheck());
    ASSERT_EQ(parent_.commands.size(), 1u);
    EXPECT_EQ(parent_.commands[0], MAKEWPARAM(110, BN_CLICKED));

    // A push button toggles when its template makes it a status button.
    CQZ_UniButton plain, status;
    ASSERT_TRUE(plain.CreateControl(parent_.m_hWnd, 111, L"A", WS_VISIBLE, 0, RECT{0, 20, 80, 50}));
    ASSERT_TRUE(status.CreateControl(parent_.m_hWnd, 112, L"B", WS_VISIBLE, 0, RECT{0, 60, 80, 90}));
    plain.ApplyTemplate(T(L"Button"));
    status.ApplyTemplate(T(L"StatusButton"));
    EXPECT_FALSE(plain.IsCheckBox());
    EXPECT_TRUE(status.IsCheckBox());
    Click(plain.GetWidget(), QPoint(40, 15));
    Click(status.GetWidget(), QPoint(40, 15));
    EXPECT_FALSE(plain.GetCheck());
    EXPECT_TRUE(status.GetCheck());
    EXPECT_EQ(IsDlgButtonChecked(parent_.m_hWnd, 112), BST_CHECKED);
    EXPECT_EQ(PixelOf(status, QPoint(10, 15)), kPressed) << "a checked status button looks pressed";
    status.SetCheck(false, false);
    EXPECT_EQ(IsDlgButtonChecked(parent_.m_hWnd, 112), BST_UNCHECKED);
}

TEST_F(SkinnedControlsTest, ButtonPaintsTheImageOfItsState)
{
    CQZ_UniButton button;
    ASSERT_TRUE(button.CreateControl(parent_.m_hWnd, 120, L"", WS_VISIBLE, 0, RECT{0, 0, 80, 30}));
    QWidget* widget = button.GetWidget();
    EXPECT_NE(PixelOf(button, QPoint(40, 15)), kStandard) << "no template: the standard look";
    button.ApplyTemplate(T(L"Button"));
    EXPECT_EQ(PixelOf(button, QPoint(40, 15)), kStandard);
    EXPECT_EQ(PixelOf(button, QPoint(2, 15)), kBorder) << "the border keeps its width";
    EXPECT_EQ(PixelOf(button, QPoint(5, 15)), kStandard);

    QEnterEvent enter(QPointF(40, 15), QPointF(40, 15), widget->mapToGlobal(QPointF(40, 15)));
    QCoreApplication::sendEvent(widget, &enter);
    EXPECT_TRUE(button.IsHovered());
    EXPECT_EQ(PixelOf(button, QPoint(40, 15)), kHilite);
    SendMouse(widget, QEvent::MouseButtonPress, QPoint(40, 15));
    EXPECT_EQ(PixelOf(button, QPoint(40, 15)), kPressed) << "pressedButtonDib names the general dibPressed";
    SendMouse(widget, QEvent::MouseButtonRelease, QPoint(40, 15));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &leave);
    EXPECT_EQ(PixelOf(button, QPoint(40, 15)), kStandard);
    button.EnableWindow(false);
    EXPECT_EQ(PixelOf(button, QPoint(40, 15)), kDisabled);

    // A state the template leaves out takes the file's default for it once
    // the control knows the file.
    CQZ_UniButton bare;
    ASSERT_TRUE(bare.CreateControl(parent_.m_hWnd, 121, L"", WS_VISIBLE, 0, RECT{0, 40, 80, 70}));
    bare.ApplyTemplate(T(L"Bare"));
    EXPECT_EQ(PixelOf(bare, QPoint(40, 15)), kHilite);
    SendMouse(bare.GetWidget(), QEvent::MouseButtonPress, QPoint(40, 15));
    EXPECT_EQ(PixelOf(bare, QPoint(40, 15)), kStandard) << "\"dibStandard\" stands in";
    bare.SetTemplateFile(file_);
    EXPECT_EQ(PixelOf(bare, QPoint(40, 15)), kPressed);
    SendMouse(bare.GetWidget(), QEvent::MouseButtonRelease, QPoint(40, 15));

    // The focus frame appears once the keyboard has moved the focus.
    auto framed = [&bare] {
        const QImage picture = bare.GetWidget()->grab().toImage();
        for (int y = 3; y < 27; ++y)
            if (picture.pixelColor(3, y) != kHilite)
                return true;
        return false;
    };
    bare.GetWidget()->window()->activateWindow();
    QApplication::setActiveWindow(bare.GetWidget()->window());
    bare.GetWidget()->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(bare.GetWidget()->hasFocus());
    EXPECT_FALSE(framed());
    for (int key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(QApplication::focusWidget(), &press);
    }
    ASSERT_TRUE(bare.GetWidget()->hasFocus());
    EXPECT_TRUE(framed());
}

TEST_F(SkinnedControlsTest, AnimatedIconAdvancesOnItsTimerAndStopsAtTheFirstFrame)
{
    CQZ_Static busy;
    ASSERT_TRUE(busy.CreateControl(parent_.m_hWnd, 130, L"", WS_VISIBLE, 0, RECT{0, 0, 100, 16}));
    EXPECT_EQ(busy.GetFrameInterval(), CQZ_Static::kDefaultFrameInterval);
    busy.ApplyTemplate(T(L"Busy"));
    EXPECT_EQ(busy.GetFrameCount(), 4);
    EXPECT_EQ(busy.GetFrameInterval(), 40u);
    EXPECT_FALSE(busy.IsAnimating());

    busy.StartAnimation();
    EXPECT_TRUE(busy.IsAnimating());
    EXPECT_EQ(busy.GetFrameIndex(), 0);
    EXPECT_EQ(PixelOf(busy, QPoint(8, 8)), kFrames[0]);
    busy.SendMessage(WM_TIMER, 1, 0);
    EXPECT_EQ(busy.GetFrameIndex(), 0) << "other timers are not the animation's";
    for (int i = 1; i <= 4; ++i) {
        busy.SendMessage(WM_TIMER, CQZ_Static::kAnimationTimerId, 0);
        EXPECT_EQ(busy.GetFrameIndex(), i % 4);
        EXPECT_EQ(PixelOf(busy, QPoint(8, 8)), kFrames[i % 4]);
    }
    // The real timer of the window system drives it too.
    const QDeadlineTimer deadline(5000);
    while (busy.GetFrameIndex() == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_NE(busy.GetFrameIndex(), 0);

    busy.StopAnimation();
    EXPECT_FALSE(busy.IsAnimating());
    EXPECT_EQ(busy.GetFrameIndex(), 0);
    EXPECT_EQ(PixelOf(busy, QPoint(8, 8)), kFrames[0]);
    EXPECT_FALSE(KillTimer(busy.m_hWnd, CQZ_Static::kAnimationTimerId)) << "the timer is gone already";

    // An SVG strip, found beside the template's other images, wins.
    std::ofstream(folder_ + "/frames.svg") << "<svg xmlns='http://www.w3.org/2000/svg' width='32' height='16'>"
                                              "<rect width='16' height='16' fill='#ff00ff'/>"
                                              "<rect x='16' width='16' height='16' fill='#00ffff'/></svg>";
    busy.ApplyTemplate(T(L"SvgBusy"));
    EXPECT_EQ(busy.GetFrameCount(), 2);
    EXPECT_EQ(PixelOf(busy, QPoint(8, 8)), QColor(255, 0, 255));
    busy.SendMessage(WM_TIMER, CQZ_Static::kAnimationTimerId, 0);
    EXPECT_EQ(PixelOf(busy, QPoint(8, 8)), QColor(0, 255, 255));
}

TEST_F(SkinnedControlsTest, StaticAndEditTakeTextColoursAndBackgrounds)
{
    CQZ_Static label;
    ASSERT_TRUE(label.CreateControl(parent_.m_hWnd, 140, L"MMMM", WS_VISIBLE, 0, RECT{0, 0, 120, 30}));
    label.ApplyTemplate(T(L"Label"));
    label.SetWindowText(L"HHHH");
    EXPECT_EQ(label.GetWindowText(), L"HHHH");
    EXPECT_EQ(label.GetWidget()->font().pixelSize(), 12);
    const QImage picture = label.GetWidget()->grab().toImage();
    EXPECT_EQ(picture.pixelColor(118, 28), QColor(10, 20, 30));
    bool textInColour = false;
    for (int i = 0; i < picture.width() * picture.height(); ++i) {
        const QColor c = picture.pixelColor(i % picture.width(), i / picture.width());
        textInColour |= c.red() > 200 && c.green() > 200 && c.blue() < 60;
    }
    EXPECT_TRUE(textInColour);

    CQZ_Edit line, notes;
    ASSERT_TRUE(line.CreateControl(parent_.m_hWnd, 141, L"", WS_VISIBLE, 0, RECT{0, 40, 120, 64}));
    ASSERT_TRUE(notes.CreateControl(parent_.m_hWnd, 142, L"a\r\nb", WS_VISIBLE | ES_MULTILINE | ES_READONLY,
                                    0, RECT{0, 70, 120, 130}));
    line.ApplyTemplate(T(L"Field"));
    notes.ApplyTemplate(T(L"Field"));
    line.SetWindowText(L"text");
    EXPECT_EQ(line.GetWindowText(), L"text");
    EXPECT_EQ(PixelOf(line, QPoint(115, 20)), kField);
    auto* multiLine = qobject_cast<QPlainTextEdit*>(notes.GetWidget());
    ASSERT_NE(multiLine, nullptr);
    EXPECT_TRUE(multiLine->isReadOnly());
    EXPECT_EQ(PixelOf(notes, QPoint(100, 50)), kField);
}

TEST_F(SkinnedControlsTest, MeterFillsFromItsImagesAndRepaintsOnlyWhenTheFillChanges)
{
    CQZ_PeakMeterCtrl meter;
    ASSERT_TRUE(meter.CreateControl(parent_.m_hWnd, 150, L"", WS_VISIBLE, 0, RECT{0, 0, 104, 20}));
    meter.ApplyTemplate(T(L"Meter"));
    meter.SetMaximum(200);
    EXPECT_EQ(meter.GetFillLength(), 0);
    EXPECT_EQ(PixelOf(meter, QPoint(10, 10)), kTrack);
    meter.SetValue(100);
    EXPECT_EQ(meter.GetFillLength(), 50);
    EXPECT_EQ(PixelOf(meter, QPoint(51, 10)), kFill);
    EXPECT_EQ(PixelOf(meter, QPoint(53, 10)), kTrack);
    EXPECT_EQ(PixelOf(meter, QPoint(51, 1)), kTrack) << "the placement keeps a margin";
    meter.SetValue(500);
    EXPECT_EQ(meter.GetValue(), 200.0);
    EXPECT_EQ(PixelOf(meter, QPoint(101, 10)), kFill);
    meter.SetValue(-3);
    EXPECT_EQ(meter.GetValue(), 0.0);
    meter.SetMaximum(0);
    EXPECT_EQ(meter.GetMaximum(), 1.0);

    meter.SetMaximum(1000);
    meter.SetValue(500);
    PaintCounter counter;
    meter.GetWidget()->installEventFilter(&counter);
    // The window's first exposure comes in its own time; wait it out.
    for (int before = -1; before != counter.paints;) {
        before = counter.paints;
        QCoreApplication::processEvents();
    }
    counter.paints = 0;
    meter.SetValue(500.5);
    meter.SetValue(501);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0) << "the same fill is not drawn again";
    meter.SetValue(700);
    QCoreApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
}

TEST_F(SkinnedControlsTest, ControlsFollowTheDisplayResolution)
{
    SetDisplayDpiOverride(168);
    CQZ_UniButton button;
    CQZ_Static label, caption;
    ASSERT_TRUE(button.CreateControl(parent_.m_hWnd, 160, L"", WS_VISIBLE, 0, RECT{0, 0, 140, 52}));
    ASSERT_TRUE(label.CreateControl(parent_.m_hWnd, 161, L"x", WS_VISIBLE, 0, RECT{0, 60, 140, 100}));
    ASSERT_TRUE(caption.CreateControl(parent_.m_hWnd, 162, L"x", WS_VISIBLE, 0, RECT{0, 100, 140, 140}));
    button.ApplyTemplate(T(L"Button"));
    label.ApplyTemplate(T(L"Label"));
    caption.ApplyTemplate(T(L"Caption"));
    EXPECT_EQ(PixelOf(button, QPoint(5, 26)), kBorder) << "4 pixels of border at 96 DPI are 7 at 168";
    EXPECT_EQ(PixelOf(button, QPoint(20, 26)), kStandard);
    EXPECT_EQ(label.GetWidget()->font().pixelSize(), 21);
    EXPECT_EQ(caption.GetWidget()->font().pixelSize(), 18);
    EXPECT_EQ(caption.GetWidget()->font().weight(), QFont::Bold);
    // What the template leaves open follows the dialog.
    QFont dialogFont = parent_.GetWidget()->font();
    dialogFont.setFamily(QStringLiteral("DejaVu Serif"));
    parent_.GetWidget()->setFont(dialogFont);
    EXPECT_EQ(label.GetWidget()->font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(label.GetWidget()->font().pixelSize(), 21);

    SetDisplayDpiOverride(96);
    EXPECT_EQ(PixelOf(button, QPoint(5, 26)), kStandard);
    label.GetWidget()->grab();
    EXPECT_EQ(label.GetWidget()->font().pixelSize(), 12);
}

TEST_F(SkinnedControlsTest, ImageLoaderReadsEveryFormatAndReportsBadFilesOnce)
{
    for (const auto& [name, format] : {std::pair{"image.bmp", "BMP"}, {"image.png", "PNG"}, {"image.jpg", "JPG"}})
        Save(Solid(20, 10, kFill), name, format);
    std::ofstream(folder_ + "/image.svg") << "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='10'>"
                                             "<rect width='20' height='10' fill='#00a050'/></svg>";
    for (const char* name : {"image.bmp", "image.png", "image.jpg", "image.svg"}) {
        const auto at96 = CQZSkinImage::Load(PathOf(name));
        const auto at168 = CQZSkinImage::Load(PathOf(name), 168);
        EXPECT_EQ(at96->size(), QSize(20, 10)) << name;
        EXPECT_EQ(at168->size(), QSize(35, 18)) << name;
        EXPECT_NEAR(at168->pixelColor(17, 9).green(), 160, 6) << name;
        EXPECT_EQ(CQZSkinImage::Load(PathOf(name)), at96) << "cached";
    }
    EXPECT_TRUE(CQZSkinImage::IsSvg(PathOf("image.svg")));
    EXPECT_FALSE(CQZSkinImage::IsSvg(PathOf("image.png")));
    EXPECT_EQ(CQZSkinImage::LoadSized(PathOf("image.svg"), 40, 40)->size(), QSize(40, 40));
    EXPECT_TRUE(reports_.empty());

    std::ofstream(folder_ + "/broken.png") << "\x89PNG not really";
    std::ofstream(folder_ + "/broken.svg") << "<svg unclosed";
    for (const char* name : {"broken.png", "broken.svg", "missing.bmp"}) {
        reports_.clear();
        EXPECT_TRUE(CQZSkinImage::Load(PathOf(name))->isNull()) << name;
        EXPECT_TRUE(CQZSkinImage::Load(PathOf(name), 168)->isNull()) << name;
        EXPECT_TRUE(CQZSkinImage::LoadSized(PathOf(name), 8, 8)->isNull()) << name;
        ASSERT_EQ(reports_.size(), 1u) << name;
        EXPECT_NE(reports_[0].find(PathOf(name)), std::wstring::npos);
    }
}

} // namespace
