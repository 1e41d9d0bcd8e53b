// Every language of the update dialogs carries every template, control and
// string that English (United Kingdom) has, with the same placeholders.
#include "dialogs/Languages.h"
#include "dialogs/res/resource.h"
#include "platform/RcResourceTable.h"
#include "platform/WinUser.h"

#include <gtest/gtest.h>

#include <regex>
#include <vector>

using namespace qz::platform;

namespace {

constexpr std::uint16_t kRtDialog = 5;
constexpr std::uint16_t kRtString = 6;
// Every language the dialogs speak.
const std::vector<LANGID> kLanguages = [] {
    std::vector<LANGID> ids;
    for (const qz::dialogs::DialogLanguage& language : qz::dialogs::DialogLanguages())
        ids.push_back(language.id);
    return ids;
}();
constexpr std::uint16_t kTemplates[] = {IDD_PROGRESS, IDD_UPDATE, IDD_INSTALL, IDD_CRM_VIEWER};

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

TEST(LanguageResources, EveryLanguageHasEveryTemplateWithTheEnglishControlsApart)
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
                // Nor onto another button.
                for (std::size_t j = 0; j < i && item.windowClass == ResName::Ordinal(kClassButton); ++j) {
                    const DialogItemTemplate& q = t->items[j];
                    if (q.windowClass != item.windowClass)
                        continue;
                    EXPECT_TRUE(item.x + item.cx <= q.x || q.x + q.cx <= item.x || item.y + item.cy <= q.y ||
                                q.y + q.cy <= item.y)
                        << item.id << " and " << q.id;
                }
            }
        }
    }
}

TEST(LanguageResources, EveryLanguageHasEveryStringWithTheEnglishPlaceholders)
{
    // Strings 103 to 110, 113 to 152, and 1024.
    for (std::uint32_t id = 103; id <= 1024; id = id == 152 ? 1024 : id + 1) {
        if (id == 111 || id == 112)
            continue;
        std::optional<std::wstring> english = ExactString(id, 2057);
        ASSERT_TRUE(english && !english->empty()) << id;
        for (LANGID lang : kLanguages) {
            std::optional<std::wstring> text = ExactString(id, lang);
            ASSERT_TRUE(text && !text->empty()) << "string " << id << ", language " << lang;
            EXPECT_EQ(Conversions(*text), Conversions(*english)) << "string " << id << ", language " << lang;
        }
    }
}
