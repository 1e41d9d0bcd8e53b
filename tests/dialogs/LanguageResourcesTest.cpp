// Every language of the update dialogs carries every template, control and
// string that English (United Kingdom) has, with the same placeholders.
#include "dialogs/res/resource.h"
#include "platform/RcParser.h"
#include "platform/RcResourceTable.h"
#include "platform/window/WinUser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

using namespace qz::platform;

namespace {

constexpr std::uint16_t kRtDialog = 5;
constexpr std::uint16_t kRtString = 6;
constexpr LANGID kLanguages[] = {1028, 1029, 1030, 1031, 1032, 1034, 1035, 1036, 1038, 1040, 1041,
                                 1042, 1043, 1045, 1046, 1049, 1053, 1055, 2052, 2057, 2070, 3084};
constexpr std::uint16_t kTemplates[] = {IDD_PROGRESS, IDD_UPDATE, IDD_INSTALL, IDD_CRM_VIEWER};

std::vector<std::uint32_t> StringIds()
{
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id = 103; id <= 110; ++id) {
        ids.push_back(id);
    }
    for (std::uint32_t id = 113; id <= 152; ++id) {
        ids.push_back(id);
    }
    ids.push_back(1024);
    return ids;
}

std::optional<DialogTemplate> Template(std::uint16_t id, LANGID lang)
{
    const ResourceView* r =
        ModuleResources().FindExact(ResName::Ordinal(kRtDialog), ResName::Ordinal(id), lang);
    if (!r) {
        return std::nullopt;
    }
    return DecodeDialogTemplate(r->data);
}

std::optional<std::wstring> ExactString(std::uint32_t id, LANGID lang)
{
    const ResourceView* r = ModuleResources().FindExact(
        ResName::Ordinal(kRtString), ResName::Ordinal(static_cast<std::uint16_t>(id / 16 + 1)), lang);
    if (!r) {
        return std::nullopt;
    }
    return StringFromBlock(r->data, id % 16);
}

// The printf conversions of a format, in order ("%%" is a literal).
std::vector<std::wstring> Conversions(const std::wstring& text)
{
    std::vector<std::wstring> out;
    static const std::wregex conversion(L"%(%|[-+ #0]*[0-9]*(\\.[0-9]+)?(I64|ll|l|h)?[a-zA-Z])");
    for (auto it = std::wsregex_iterator(text.begin(), text.end(), conversion); it != std::wsregex_iterator();
         ++it) {
        if (it->str() != L"%%") {
            out.push_back(it->str());
        }
    }
    return out;
}

std::size_t CountOf(const std::wstring& text, const std::wstring& what)
{
    std::size_t n = 0;
    for (std::size_t pos = text.find(what); pos != std::wstring::npos; pos = text.find(what, pos + 1)) {
        ++n;
    }
    return n;
}

} // namespace

TEST(LanguageResources, EveryLanguageHasEveryTemplateWithTheEnglishControls)
{
    for (std::uint16_t templateId : kTemplates) {
        std::optional<DialogTemplate> english = Template(templateId, 2057);
        ASSERT_TRUE(english) << templateId;
        for (LANGID lang : kLanguages) {
            SCOPED_TRACE(testing::Message() << "template " << templateId << ", language " << lang);
            std::optional<DialogTemplate> t = Template(templateId, lang);
            ASSERT_TRUE(t);
            EXPECT_FALSE(t->caption.empty());
            EXPECT_EQ(t->style, english->style);
            EXPECT_EQ(t->exStyle, english->exStyle);
            EXPECT_EQ(t->cx, english->cx);
            EXPECT_EQ(t->cy, english->cy);
            EXPECT_EQ(t->typeface, english->typeface);
            ASSERT_EQ(t->items.size(), english->items.size());
            for (std::size_t i = 0; i < t->items.size(); ++i) {
                const DialogItemTemplate& item = t->items[i];
                const DialogItemTemplate& en = english->items[i];
                EXPECT_EQ(item.id, en.id);
                EXPECT_EQ(item.windowClass, en.windowClass);
                EXPECT_EQ(item.style, en.style);
                EXPECT_EQ(item.text.name.empty(), en.text.name.empty()) << item.id;
                EXPECT_EQ(CountOf(item.text.name, L"$TAVOR$"), CountOf(en.text.name, L"$TAVOR$")) << item.id;
                // Translations may move a control, but never out of the dialog.
                EXPECT_GE(item.x, 0) << item.id;
                EXPECT_GE(item.y, 0) << item.id;
                EXPECT_LE(item.x + item.cx, t->cx) << item.id;
                EXPECT_LE(item.y + item.cy, t->cy) << item.id;
            }
        }
    }
}

TEST(LanguageResources, ButtonsOfOneTemplateDoNotOverlap)
{
    for (std::uint16_t templateId : kTemplates) {
        for (LANGID lang : kLanguages) {
            std::optional<DialogTemplate> t = Template(templateId, lang);
            ASSERT_TRUE(t);
            std::vector<const DialogItemTemplate*> buttons;
            for (const DialogItemTemplate& item : t->items) {
                if (item.windowClass == ResName::Ordinal(kClassButton)) {
                    buttons.push_back(&item);
                }
            }
            for (std::size_t a = 0; a < buttons.size(); ++a) {
                for (std::size_t b = a + 1; b < buttons.size(); ++b) {
                    const DialogItemTemplate& p = *buttons[a];
                    const DialogItemTemplate& q = *buttons[b];
                    bool apart = p.x + p.cx <= q.x || q.x + q.cx <= p.x || p.y + p.cy <= q.y || q.y + q.cy <= p.y;
                    EXPECT_TRUE(apart) << "template " << templateId << ", language " << lang << ": " << p.id
                                       << " and " << q.id;
                }
            }
        }
    }
}

TEST(LanguageResources, EveryLanguageHasEveryStringWithTheEnglishPlaceholders)
{
    const std::vector<std::uint32_t> ids = StringIds();
    ASSERT_EQ(ids.size(), 49u);
    for (std::uint32_t id : ids) {
        std::optional<std::wstring> english = ExactString(id, 2057);
        ASSERT_TRUE(english && !english->empty()) << id;
        for (LANGID lang : kLanguages) {
            std::optional<std::wstring> text = ExactString(id, lang);
            ASSERT_TRUE(text && !text->empty()) << "string " << id << ", language " << lang;
            EXPECT_EQ(Conversions(*text), Conversions(*english)) << "string " << id << ", language " << lang;
        }
    }
    EXPECT_EQ(Conversions(*ExactString(IDS_PROGRESS_FORMAT, 2057)),
              (std::vector<std::wstring>{L"%s", L"%d", L"%s", L"%s"}));
    EXPECT_EQ(*ExactString(IDS_PROGRESS_FORMAT, 2057), L"%s   %d%% (%s / %s)");
    EXPECT_EQ(*ExactString(IDS_TRANSFERRING_PROGRAM_FILES, 2057), L"Transferring program files...");
}

TEST(LanguageResources, EnglishTemplatesCarryTheirTextsAndStyles)
{
    std::optional<DialogTemplate> update = Template(IDD_UPDATE, 2057);
    ASSERT_TRUE(update);
    EXPECT_EQ(update->caption, L"Major program update");
    auto text = [&](const DialogTemplate& t, std::uint32_t id) {
        for (const DialogItemTemplate& item : t.items) {
            if (item.id == id) {
                return item.text.name;
            }
        }
        return std::wstring(L"<missing>");
    };
    EXPECT_EQ(text(*update, IDC_TXT_UPDATE),
              L"Updates contain technical and functional improvements.\nUpdating is highly recommended. "
              L"Would you like to update now?");
    EXPECT_EQ(text(*update, IDC_CHECK_DONT_SHOW_AGAIN), L"Don't show this dialog again");
    auto item = [](const DialogTemplate& t, std::uint32_t id) {
        for (const DialogItemTemplate& i : t.items) {
            if (i.id == id) {
                return i;
            }
        }
        return DialogItemTemplate{};
    };
    std::optional<DialogTemplate> progress = Template(IDD_PROGRESS, 2057);
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->style & (WS_VISIBLE | WS_SYSMENU | DS_SETFOREGROUND), WS_VISIBLE | WS_SYSMENU | DS_SETFOREGROUND);
    EXPECT_EQ(progress->exStyle & WS_EX_APPWINDOW, WS_EX_APPWINDOW);
    EXPECT_EQ(progress->typeface, L"MS Sans Serif");
    EXPECT_EQ(item(*progress, IDOK).text.name, L"Yes");
    EXPECT_EQ(item(*progress, IDC_PROGRESS).style & PBS_SMOOTH, PBS_SMOOTH);
    EXPECT_EQ(item(*progress, IDC_TXT_DOWNLOAD_STATUS).cx, 118);
    EXPECT_EQ(update->style & WS_SYSMENU, 0u);
    std::optional<DialogTemplate> crm = Template(IDD_CRM_VIEWER, 2057);
    ASSERT_TRUE(crm);
    const std::uint32_t editStyle = ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
    EXPECT_EQ(item(*crm, IDC_EDIT_CRM).style & editStyle, editStyle);
    EXPECT_EQ(item(*crm, IDOK).x, 228);
    EXPECT_EQ(item(*crm, IDOK).cx, 56);
    std::optional<DialogTemplate> install = Template(IDD_INSTALL, 1031);
    ASSERT_TRUE(install);
    EXPECT_EQ(text(*install, 1), L"Sofort aktualisieren");
    EXPECT_EQ(install->caption, L"Wichtiges Programm-Update");
}

// Each script is a file of its own language: parsed alone, it yields exactly
// the four templates and five string blocks, all in the language its name gives.
TEST(LanguageResources, EachScriptHoldsOneLanguage)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(QZ_TEST_DATA_DIR) / ".." / ".." / "src" / "dialogs" / "res";
    std::size_t files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".rc") {
            continue;
        }
        ++files;
        const std::string name = entry.path().filename().string();
        std::smatch m;
        ASSERT_TRUE(std::regex_match(name, m, std::regex("lang_([0-9]+)_[a-z]{2}-[A-Z]{2}\\.rc"))) << name;
        const LANGID lang = static_cast<LANGID>(std::stoi(m[1]));
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        RcParseResult parsed = ParseRc(ss.str(), entry.path().string(),
                                       [&](const std::string& inc, bool angled, const std::string&, std::string& resolved) {
                                           if (angled) {
                                               return std::optional<std::string>();
                                           }
                                           resolved = (dir / inc).string();
                                           std::ifstream f(resolved, std::ios::binary);
                                           std::stringstream s;
                                           s << f.rdbuf();
                                           return std::optional<std::string>(s.str());
                                       });
        ASSERT_FALSE(parsed.error) << parsed.error->ToString();
        ASSERT_EQ(parsed.resources.size(), 9u) << name;  // 4 templates, blocks 7 to 10 and 65
        for (const RcResource& r : parsed.resources) {
            EXPECT_EQ(r.language, lang) << name;
        }
    }
    EXPECT_EQ(files, std::size(kLanguages));
}
