// The default skin on the update dialogs' own templates, in every language
// and at 96 and 168 DPI: every control section finds its control. Where the
// controls land is the screenshot test's to judge, on the dialogs themselves.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "gui/BeautyDialog.h"
#include "gui/DpiState.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"
#include "platform/window/WindowQt.h"
#include "platform/window/WindowSystem.h"
#include "rc/RcParser.h"

using namespace qz::platform;
namespace fs = std::filesystem;

namespace {

const fs::path kSkin = QZ_SKIN_DIR;
const fs::path kScripts = kSkin / ".." / "src" / "dialogs" / "res";

using ControlNames = std::vector<std::pair<std::wstring, std::uint32_t>>;

// A skinned dialog that knows its controls by the names of resource.h.
class SkinnedTemplate : public CQZ_BeautyDialog, private CQZ_BeautyDialogDesignerListener {
  public:
    SkinnedTemplate(UINT id, const fs::path& definition, ControlNames names)
        : CQZ_BeautyDialog(id, WideFileName(definition.string()), 0), names_(std::move(names))
    {
        AddDesignerListener(this);
    }
    ~SkinnedTemplate() override { RemoveDesignerListener(this); }

    BOOL OnInitDialog() override
    {
        for (const auto& [name, id] : names_)
            RegisterControl(name, id, nullptr, 0);
        return CQZ_BeautyDialog::OnInitDialog();
    }
    bool loaded = false;

  private:
    void OnLoadEnded(bool ok) override { loaded = ok; }
    ControlNames names_;
};

struct Script {
    std::string file;
    LANGID language;
    std::vector<RcResource> resources;
};

ControlNames ReadNames()
{
    ControlNames names{{L"IDOK", 1}, {L"IDCANCEL", 2}};
    const std::string header = ReadWholeFile((kScripts / "resource.h").string()).value_or("");
    static const std::regex define(R"(#define[ \t]+(IDC_[A-Z0-9_]+)[ \t]+([0-9]+))");
    for (auto it = std::sregex_iterator(header.begin(), header.end(), define); it != std::sregex_iterator();
         ++it)
        names.emplace_back(WideFileName((*it)[1].str()),
                           static_cast<std::uint32_t>(std::stoul((*it)[2].str())));
    return names;
}

std::vector<Script> ReadScripts()
{
    std::vector<Script> scripts;
    for (const auto& entry : fs::directory_iterator(kScripts)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".rc")
            continue;
        const std::string text = ReadWholeFile(entry.path().string()).value_or("");
        RcParseResult parsed = ParseRc(text, entry.path().string(),
                                       [](const std::string& include, bool angled, const std::string& from,
                                          std::string& resolved) -> std::optional<std::string> {
                                           if (angled)
                                               return std::nullopt;
                                           resolved = (fs::path(from).parent_path() / include).string();
                                           return ReadWholeFile(resolved);
                                       });
        EXPECT_FALSE(parsed.error) << name;
        // lang_<id>_<code>.rc
        const LANGID language = static_cast<LANGID>(std::stoul(name.substr(5)));
        scripts.push_back({name, language, std::move(parsed.resources)});
    }
    std::sort(scripts.begin(), scripts.end(),
              [](const Script& a, const Script& b) { return a.file < b.file; });
    return scripts;
}

// The display resolution of one build, undone however the build ends.
struct DpiScope {
    explicit DpiScope(int dpi)
    {
        SetDisplayDpiOverride(dpi);
        CQZDpiState::Set(true, dpi, dpi);
    }
    ~DpiScope()
    {
        CQZDpiState::Set(false, 96, 96);
        SetDisplayDpiOverride(0);
    }
};

std::string Text(const std::wstring& text)
{
    return WideToMultiByte(CP_UTF8, text).value_or("?");
}

// Builds `templateId` of every script at both resolutions with `definition`:
// every section of a library control type finds its control.
void ExpectEverySectionBuilt(UINT templateId, const char* definition)
{
    ASSERT_TRUE(EnsureGuiApplication());
    static const std::vector<Script> scripts = ReadScripts();
    static const ControlNames names = ReadNames();
    ASSERT_GE(scripts.size(), 48U) << "the shipped scripts were not all found";
    for (const Script& script : scripts) {
        const RcResource* found = nullptr;
        for (const RcResource& r : script.resources) {
            if (r.type == ResName::Ordinal(RT_DIALOG) &&
                r.id == ResName::Ordinal(static_cast<std::uint16_t>(templateId)))
                found = &r;
        }
        ASSERT_NE(found, nullptr) << script.file;
        for (const int dpi : {96, 168}) {
            SCOPED_TRACE(script.file + " at " + std::to_string(dpi) + " DPI");
            const DpiScope scope(dpi);
            SkinnedTemplate dialog(templateId, kSkin / "Dialogs" / definition, names);
            ASSERT_TRUE(dialog.InitModalIndirect(found->data));
            ASSERT_TRUE(dialog.Create());
            EXPECT_TRUE(dialog.loaded);
            for (const QzDialogControlRecord& record : dialog.GetRecords()) {
                if (record.type != L"WebBrowser") {
                    EXPECT_TRUE(record.created) << Text(record.name);
                }
            }
            dialog.DestroyWindow();
        }
    }
}

TEST(DefaultSkin, EverySectionFindsItsControlInEveryLanguage)
{
    for (const auto& [id, definition] : {std::pair<UINT, const char*>{1004, "Install.ini"},
                                         {1023, "CRMViewer.ini"},
                                         {102, "Progress.ini"},
                                         {1002, "Update.ini"}})
        ExpectEverySectionBuilt(id, definition);
}

} // namespace
