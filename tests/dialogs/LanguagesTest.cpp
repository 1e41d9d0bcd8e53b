#include "dialogs/Languages.h"
#include "dialogs/res/resource.h"
#include "platform/CodePage.h"
#include "platform/StringLoader.h"

#include "support/RecordingHost.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <QString>

#include <clocale>
#include <cwctype>
#include <string>

using namespace qz::dialogs;

namespace {

// The locale variables cleared for one scope, then put back.
struct LocaleEnvironment : qz::test::ScopedEnvironment {
    LocaleEnvironment()
    {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
            Unset(name);
    }
};

// Points the language functions at a host whose language a test chooses.
class LanguageTest : public testing::Test {
  protected:
    void SetUp() override
    {
        SetConfigurationSource([this] { return &host_; });
    }
    void TearDown() override
    {
        SetConfigurationSource({});
        qz::platform::SetStringProvider({});
        qz::platform::SetAnsiCodePage(0);
    }
    qz::test::RecordingHost host_;
};

} // namespace

TEST(LanguageCodes, NormalisationExpandsShortFormsAndFixesCase)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"D", L"de_DE"},     {L"d", L"de_DE"},     {L"E", L"en_UK"},     {L"uk", L"en_UK"},
        {L"ES", L"es_ES"},    {L"SE", L"sv_SE"},    {L"JP", L"ja_JP"},    {L"SI", L"si_SL"},
        {L"De_dE", L"de_DE"}, {L"en_GB", L"en_GB"}, {L"xx_yy", L"xx_YY"}, {L"zh_tw_x", L"zh_TW_X"},
        // Two letters that are no short form, or a code without "_", lose both parts.
        {L"de", L"_"},        {L"en-GB", L"_"}};
    for (const auto& [code, normal] : cases)
        EXPECT_EQ(NormalizeLanguageCode(code), normal) << code;
}

TEST(LanguageCodes, IdsFromCodes)
{
    const std::pair<const wchar_t*, int> ids[] = {
        {L"de_DE", 1031}, {L"DE_de", 1031}, {L"en_UK", 2057}, {L"zh_TW", 1028}, {L"zh_CN", 2052},
        {L"es_ES", 1034},  // traditional sort comes first
        {L"pt_PT", 2070}, {L"fr_CA", 3084}, {L"es_US", 21514},
        // en_GB never matches a locale (2057 is written en_UK): the language decides.
        {L"en_GB", 1033}, {L"de_XX", 1031},
        {L"ga_XX", 0},  // Irish has no default sub-language
        {L"_", 0}, {L"", 0}, {L"xx_YY", 0}, {L"de", 0}};
    for (const auto& [code, id] : ids)
        EXPECT_EQ(LanguageIdFromCode(code), id) << code;
    const std::pair<LANGID, const wchar_t*> codes[] = {
        {2057, L"en_UK"}, {4105, L"en_CA"}, {0x0C1A, L"sr_CS"}, {0x082E, L"dsb_DE"}, {0, L""}, {0x043C, L""},
        {0x0452, L""}};  // primary languages above 63 are not searched
    for (const auto& [id, code] : codes)
        EXPECT_EQ(LanguageCodeFromId(id), code) << id;

    for (LANGID id : {1028, 1029, 1030, 1031, 1032, 1034, 1035, 1036, 1038, 1040, 1041, 1042, 1043, 1045, 1046,
                      1049, 1053, 1055, 2052, 2057, 2070, 3084}) {
        EXPECT_EQ(LanguageIdFromCode(NormalizeLanguageCode(LanguageCodeFromId(id))), id) << id;
    }
}

TEST(LanguageCodes, UserDefaultComesFromTheEnvironment)
{
    LocaleEnvironment env;
    env.Set("LANG", "de_CH.UTF-8");
    EXPECT_EQ(GetUserDefaultLanguageId(), 2055);
    EXPECT_EQ(NormalizeLanguageCode(L""), L"de_DE");  // not kept: default sub-language

    env.Set("LANG", "en_CA.UTF-8");
    EXPECT_EQ(NormalizeLanguageCode(L""), L"en_CA");  // 4105 is kept

    env.Set("LC_MESSAGES", "fr_CA");
    EXPECT_EQ(GetUserDefaultLanguageId(), 3084);
    env.Set("LC_ALL", "sr_RS.UTF-8@latin");
    EXPECT_EQ(GetUserDefaultLanguageId(), 0x241A);
    // Serbian (Latin) has dialogs of its own: not those of the default, Croatian.
    EXPECT_EQ(NormalizeLanguageCode(L""), L"sr_RS");
    env.Set("LC_ALL", "bn_BD.UTF-8");
    EXPECT_EQ(GetUserDefaultLanguageId(), 2117);
    EXPECT_EQ(NormalizeLanguageCode(L""), L"bn_BD");
    env.Set("LC_ALL", "ar_EG.UTF-8");
    EXPECT_EQ(NormalizeLanguageCode(L""), L"ar_SA");
    env.Set("LC_ALL", "pt");
    EXPECT_EQ(GetUserDefaultLanguageId(), 0x0416);
    env.Set("LC_ALL", "ga_IE");
    EXPECT_EQ(GetUserDefaultLanguageId(), 0x083C);
    env.Set("LC_ALL", "C.UTF-8");
    EXPECT_EQ(GetUserDefaultLanguageId(), 1033);
    EXPECT_EQ(NormalizeLanguageCode(L""), L"en_US");
    env.Set("LC_ALL", "tlh_QO");
    EXPECT_EQ(GetUserDefaultLanguageId(), 1033);
}

TEST_F(LanguageTest, CurrentLanguageFollowsTheConfiguration)
{
    host_.programLanguage = L"D";
    EXPECT_EQ(GetCurrentLanguageId(), 1031);
    EXPECT_EQ(LoadLocalizedString(IDS_CLOSE), L"&Schließen");
    EXPECT_EQ(LoadLocalizedString(IDS_PROGRESS_FORMAT), L"%s   %d%% (%s / %s)");

    host_.programLanguage = L"fr_CA";
    EXPECT_EQ(GetCurrentLanguageId(), 3084);
    EXPECT_EQ(LoadLocalizedString(IDS_NO), L"&Non");

    // No resources in 1033: English (United Kingdom) answers.
    host_.programLanguage = L"en_GB";
    EXPECT_EQ(GetCurrentLanguageId(), 1033);
    EXPECT_EQ(LoadLocalizedString(IDS_CLOSE), L"&Close");

    host_.programLanguage = L"zz";
    EXPECT_EQ(GetCurrentLanguageId(), 0);
    EXPECT_EQ(LoadLocalizedString(IDS_CANCEL), L"&Cancel");
    EXPECT_EQ(LoadLocalizedString(9999), L"");

    host_.texts["GetProgramLanguage"] = std::nullopt;
    SetConfigurationSource({});
    EXPECT_EQ(GetCurrentLanguageId(), 2057);
    EXPECT_EQ(LoadLocalizedString(IDS_CHECKING_UPDATE), L"Checking update...");
}

TEST_F(LanguageTest, StringProviderFeedsTheTransferTexts)
{
    host_.programLanguage = L"de_DE";
    EXPECT_EQ(qz::platform::LoadResourceString(IDS_DONE), L"Done.");  // built-in until installed
    InstallStringProvider();
    EXPECT_EQ(qz::platform::LoadResourceString(IDS_DONE), L"Fertig.");
    EXPECT_EQ(qz::platform::LoadResourceString(IDS_FILE_EXISTS), L"%s ist bereits vorhanden. Datei überschreiben?");
    for (std::uint32_t id = 103; id <= 110; ++id) {
        EXPECT_EQ(qz::platform::LoadResourceString(id), LoadLocalizedString(id)) << id;
    }
    host_.programLanguage = L"ja_JP";
    EXPECT_EQ(qz::platform::LoadResourceString(IDS_CONNECTING), L"サーバーに接続しています...");
}

// The 26 later languages: host code, tag, language ID and the ANSI code page
// Windows gives each (0: Unicode only, the previous page stays).
TEST_F(LanguageTest, LaterLanguagesAreChosenLikeTheFirst)
{
    struct Row {
        const wchar_t* code;
        const wchar_t* tag;
        LANGID id;
        std::uint32_t codePage;
    };
    const Row rows[] = {
        {L"ar_SA", L"ar-SA", 1025, 1256}, {L"he_IL", L"he-IL", 1037, 1255}, {L"fa_IR", L"fa-IR", 1065, 1256},
        {L"hi_IN", L"hi-IN", 1081, 0},    {L"th_TH", L"th-TH", 1054, 874},  {L"bn_BD", L"bn-BD", 2117, 0},
        {L"ta_IN", L"ta-IN", 1097, 0},    {L"vi_VN", L"vi-VN", 1066, 1258}, {L"id_ID", L"id-ID", 1057, 1252},
        {L"ms_MY", L"ms-MY", 1086, 1252}, {L"uk_UA", L"uk-UA", 1058, 1251}, {L"bg_BG", L"bg-BG", 1026, 1251},
        {L"kk_KZ", L"kk-KZ", 1087, 1251}, {L"ro_RO", L"ro-RO", 1048, 1250}, {L"hr_HR", L"hr-HR", 1050, 1250},
        {L"sr_RS", L"sr-Latn-RS", 9242, 1250}, {L"sk_SK", L"sk-SK", 1051, 1250}, {L"sl_SI", L"sl-SI", 1060, 1250},
        {L"ca_ES", L"ca-ES", 1027, 1252}, {L"lt_LT", L"lt-LT", 1063, 1257}, {L"lv_LV", L"lv-LV", 1062, 1257},
        {L"et_EE", L"et-EE", 1061, 1257}, {L"eu_ES", L"eu-ES", 1069, 1252}, {L"gl_ES", L"gl-ES", 1110, 1252},
        {L"is_IS", L"is-IS", 1039, 1252}, {L"sq_AL", L"sq-AL", 1052, 1250}};
    EXPECT_EQ(DialogLanguages().size(), 22u + std::size(rows));
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.id);
        std::wstring lower = row.code;
        for (wchar_t& c : lower)
            c = static_cast<wchar_t>(std::towlower(c));
        EXPECT_EQ(NormalizeLanguageCode(lower), row.code);
        EXPECT_EQ(LanguageIdFromCode(NormalizeLanguageCode(lower)), row.id);
        EXPECT_EQ(LanguageIdFromTag(row.tag), row.id);
        EXPECT_EQ(LanguageIdFromTag(lower), row.id);
        ASSERT_NE(FindDialogLanguage(row.id), nullptr);
        EXPECT_EQ(FindDialogLanguage(row.id)->tag, QString::fromWCharArray(row.tag).toStdString());

        SetLanguage(L"de_DE");
        host_.programLanguage = row.code;
        EXPECT_EQ(GetCurrentLanguageId(), row.id);
        const LanguageState s = GetLanguageState();
        EXPECT_EQ(s.code, row.code);
        EXPECT_EQ(s.codePage, row.codePage == 0 ? 1252u : row.codePage);
        EXPECT_EQ(qz::platform::GetAnsiCodePage(), s.codePage);
        std::uint8_t charset = 0;
        EXPECT_EQ(s.charset, CharsetFromCodePage(s.codePage, charset) ? charset : 0);
        // Every later language has its own texts, none is English.
        EXPECT_NE(LoadLocalizedString(IDS_CANCEL), L"&Cancel");
    }

    // Another country's variant takes the language's default sub-language,
    // whose dialogs exist only where that is the table's: Arabic of Egypt
    // has a locale of its own and gets English dialogs, as German of Austria does.
    const std::pair<const wchar_t*, int> fallbacks[] = {
        {L"ar_EG", 0x0C01}, {L"ar_XX", 1025}, {L"ta_LK", 1097}, {L"gl_XX", 1110}, {L"bn_IN", 0x0445},
        {L"bn_XX", 0x0445}, {L"hr_BA", 0x101A}, {L"sr_XX", 0}, {L"sr_CS", 0x081A}, {L"ms_BN", 0x083E},
        {L"fa_XX", 1065}, {L"he_XX", 1037}};
    for (const auto& [code, id] : fallbacks)
        EXPECT_EQ(LanguageIdFromCode(code), id) << code;
    host_.programLanguage = L"ar_EG";
    EXPECT_EQ(LoadLocalizedString(IDS_CANCEL), L"&Cancel");
    host_.programLanguage = L"ar_XX";
    EXPECT_NE(LoadLocalizedString(IDS_CANCEL), L"&Cancel");

    // Kept as before: "SI" stands for no language, and Slovenian sets the
    // character type of "enu".
    EXPECT_EQ(NormalizeLanguageCode(L"SI"), L"si_SL");
    EXPECT_EQ(LanguageIdFromCode(L"si_SL"), 0);
    SetLanguage(L"sl_SI");
    EXPECT_EQ(GetLanguageState().localeAbbreviation, "enu");
    EXPECT_EQ(GetLanguageState().languageId, 1060);
    SetLanguage(L"ar_SA");
    EXPECT_EQ(GetLanguageState().localeAbbreviation, "");
    // A code page with a bit in the font signature; an unknown language keeps it.
    SetLanguage(L"ja_JP");
    EXPECT_EQ(GetLanguageState().localeAbbreviation, "jpn");
    EXPECT_EQ(GetLanguageState().codePageBit, 17);
    EXPECT_EQ(GetLanguageState().charset, 128);
    SetLanguage(L"xy");
    EXPECT_EQ(GetLanguageState().languageId, 0);
    EXPECT_EQ(GetLanguageState().codePage, 932u);
    // The character type follows the language where this system has its locale.
    {
        LocaleEnvironment env;
        env.Set("LC_ALL", "C");
        SetLanguage(L"en_GB");
        EXPECT_EQ(GetLanguageState().ctypeLocale, "C");
        SetLanguage(L"de_DE");
        std::string german = GetLanguageState().ctypeLocale;
        EXPECT_TRUE(german.empty() || german.rfind("de_DE", 0) == 0) << german;
        EXPECT_EQ(german.empty() ? std::string("C") : german, std::setlocale(LC_CTYPE, nullptr));
    }

    for (LANGID id : {1025, 1037, 1065})
        EXPECT_TRUE(IsRightToLeft(id)) << id;
    for (LANGID id : {1081, 1054, 2057, 9242, 0})
        EXPECT_FALSE(IsRightToLeft(id)) << id;
    EXPECT_EQ(LanguageIdFromTag(L"sr-Latn"), 0);
    EXPECT_EQ(LanguageIdFromTag(L"sr-RS"), 9242);
}
