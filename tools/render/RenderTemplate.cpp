#include "render/RenderTemplate.h"

#include "platform/FileNames.h"
#include "platform/window/Dialog.h"
#include "platform/window/WindowQt.h"
#include "rc/RcParser.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace qz::platform {

namespace {

namespace fs = std::filesystem;

// Clears the DPI override however the rendering ends.
struct DpiOverride {
    explicit DpiOverride(int dpi) : active(dpi > 0)
    {
        if (active) {
            SetDisplayDpiOverride(dpi);
        }
    }
    ~DpiOverride()
    {
        if (active) {
            SetDisplayDpiOverride(0);
        }
    }
    bool active;
};

} // namespace

std::optional<std::vector<std::uint8_t>> FindDialogTemplate(const std::string& rcText, const std::string& rcPath,
                                                            UINT templateId, LANGID language, std::string& error,
                                                            const RcIncludeObserver& onInclude)
{
    RcParseResult parsed =
        ParseRc(rcText, rcPath,
                [&onInclude](const std::string& name, bool angled, const std::string& from, std::string& resolved) {
                    // <...> names system headers whose constants the parser knows.
                    if (angled) {
                        return std::optional<std::string>();
                    }
                    fs::path p = fs::path(from).parent_path() / name;
                    resolved = p.string();
                    std::optional<std::string> text = ReadWholeFile(p.string());
                    if (text && onInclude) {
                        onInclude(*text);
                    }
                    return text;
                });
    if (parsed.error) {
        error = parsed.error->ToString();
        return std::nullopt;
    }
    ResourceTable table;
    for (const RcResource& r : parsed.resources) {
        table.Add({r.type, r.id, r.language, r.data});
    }
    const ResourceView* res =
        templateId > 0xFFFF ? nullptr
                            : table.Find(ResName::Ordinal(RT_DIALOG),
                                         ResName::Ordinal(static_cast<std::uint16_t>(templateId)), language);
    if (!res) {
        error = rcPath + ": error: no dialog template " + std::to_string(templateId);
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(res->data.begin(), res->data.end());
}

bool EnsureRenderingGui(const std::string& rcPath, std::string& error)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (!EnsureGuiApplication()) {
        error = rcPath + ": error: no GUI available";
        return false;
    }
    return true;
}

bool SaveDialogPicture(HWND dialog, const std::string& pngPath, std::string& error, RenderedDialog* rendered)
{
    QWidget* widget = WidgetFromHandle(dialog);
    const QSize size = widget->size();
    // Qt paints sibling widgets by recursion, one stack frame each: some
    // 30,000 overflow the stack. Real dialogs have a few dozen controls.
    constexpr qsizetype kMaxControls = 2000;
    const qsizetype controls = widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size();
    const auto refuse = [&](const std::string& why) {
        DestroyWindow(dialog);
        error = pngPath + ": error: " + why;
        return false;
    };
    const std::string pixels = std::to_string(size.width()) + " x " + std::to_string(size.height()) + " pixels";
    if (size.isEmpty()) {
        return refuse("the dialog has no area to draw (" + pixels + ")");
    }
    // Showing allocates the picture: 256 MiB of 32-bit pixels is far past any
    // real dialog, and past it the allocation may fail or, worse, succeed.
    if (static_cast<qint64>(size.width()) * size.height() > qint64{64} * 1024 * 1024) {
        return refuse("the dialog is too large to draw (" + pixels + ")");
    }
    if (controls > kMaxControls) {
        return refuse("the dialog has too many controls to draw (" + std::to_string(controls) + "; at most " +
                      std::to_string(kMaxControls) + ")");
    }
    widget->show();
    QApplication::processEvents();
    const QPixmap pixmap = widget->grab();
    const POINT baseUnits = GetDialogBaseUnits(dialog);
    DestroyWindow(dialog);
    if (!pixmap.save(QString::fromStdString(pngPath), "PNG")) {
        error = pngPath + ": error: cannot write PNG";
        return false;
    }
    if (rendered) {
        rendered->width = pixmap.width();
        rendered->height = pixmap.height();
        rendered->baseUnits = baseUnits;
    }
    return true;
}

bool RenderDialogTemplate(const std::string& rcText, const std::string& rcPath, UINT templateId,
                          LANGID language, int dpi, const std::string& pngPath, std::string& error,
                          RenderedDialog* rendered)
{
    const std::optional<std::vector<std::uint8_t>> data =
        FindDialogTemplate(rcText, rcPath, templateId, language, error);
    if (!data || !EnsureRenderingGui(rcPath, error)) {
        return false;
    }
    DpiOverride dpiOverride(dpi);
    CDialog dialog;
    if (!dialog.InitModalIndirect(*data) || !dialog.Create()) {
        error = rcPath + ": error: template " + std::to_string(templateId) + " cannot be built";
        return false;
    }
    return SaveDialogPicture(dialog.m_hWnd, pngPath, error, rendered);
}

} // namespace qz::platform
