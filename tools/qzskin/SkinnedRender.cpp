#include "SkinnedRender.h"

#include <QApplication>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <utility>
#include <vector>

#include "gui/BeautyDialog.h"
#include "gui/DpiState.h"
#include "platform/FileNames.h"
#include "platform/window/WindowQt.h"
#include "platform/window/WindowSystem.h"
#include "rc/RcParser.h"

using namespace qz::platform;

namespace {

namespace fs = std::filesystem;

using ControlNames = std::vector<std::pair<std::wstring, std::uint32_t>>;

// "#define NAME number" lines of a header, as resource.h writes its IDs.
void CollectDefines(const std::string& text, ControlNames& names)
{
    static const std::regex define(
        R"(^[ \t]*#[ \t]*define[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]+(0[xX][0-9A-Fa-f]+|[0-9]+)\b)",
        std::regex::multiline);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), define); it != std::sregex_iterator();
         ++it) {
        const unsigned long value = std::strtoul((*it)[2].str().c_str(), nullptr, 0);
        if (value > 0 && value <= 0xFFFF)
            names.emplace_back(WideFileName((*it)[1].str()), static_cast<std::uint32_t>(value));
    }
}

// A skinned dialog that knows its controls by the names of the script and
// remembers whether its definition file applied.
class CRenderedDialog : public CQZ_BeautyDialog, private CQZ_BeautyDialogDesignerListener {
  public:
    CRenderedDialog(UINT templateId, std::wstring definitionPath, ControlNames names)
        : CQZ_BeautyDialog(templateId, std::move(definitionPath), 0), names_(std::move(names))
    {
        AddDesignerListener(this);
    }
    ~CRenderedDialog() override { RemoveDesignerListener(this); }

    BOOL OnInitDialog() override
    {
        for (const auto& [name, id] : names_)
            RegisterControl(name, id, nullptr, 0);
        return CQZ_BeautyDialog::OnInitDialog();
    }

    bool IsSkinned() const { return skinned_; }

  private:
    void OnLoadEnded(bool ok) override { skinned_ = ok; }

    ControlNames names_;
    bool skinned_ = false;
};

// Clears the DPI settings however the rendering ends.
struct DpiSettings {
    explicit DpiSettings(int dpi)
    {
        SetDisplayDpiOverride(dpi);
        CQZDpiState::Set(true, dpi, dpi);
    }
    ~DpiSettings()
    {
        CQZDpiState::Set(false, 96, 96);
        SetDisplayDpiOverride(0);
    }
};

} // namespace

bool RenderSkinnedDialog(const std::string& rcText, const std::string& rcPath, UINT templateId,
                         LANGID language, int dpi, const std::wstring& definitionPath,
                         const std::string& pngPath, std::string& error, RenderedDialog* rendered)
{
    ControlNames names{{L"IDOK", 1}, {L"IDCANCEL", 2}};
    const std::optional<std::vector<std::uint8_t>> data = FindDialogTemplate(
        rcText, rcPath, templateId, language, error, [&names](const std::string& text) { CollectDefines(text, names); });
    if (!data)
        return false;
    const std::string definition = NativeFileName(definitionPath);
    if (!fs::is_regular_file(definition)) {
        error = definition + ": error: cannot read file";
        return false;
    }

    if (!EnsureRenderingGui(rcPath, error))
        return false;
    DpiSettings settings(dpi);
    // The definition file is named by its full path, so the dialog loads it
    // itself during its initialisation.
    CRenderedDialog dialog(templateId, WideFileName(fs::absolute(definition).string()), std::move(names));
    if (!dialog.InitModalIndirect(*data) || !dialog.Create()) {
        error = rcPath + ": error: template " + std::to_string(templateId) + " cannot be built";
        return false;
    }
    if (!dialog.IsSkinned()) {
        dialog.DestroyWindow();
        error = definition + ": error: the definition file cannot be applied";
        return false;
    }
    return SaveDialogPicture(dialog.m_hWnd, pngPath, error, rendered);
}
