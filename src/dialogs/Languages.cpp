#include "dialogs/Languages.h"

#include "dialogs/LocaleTable.h"
#include "platform/CodePage.h"
#include "platform/RcResourceTable.h"
#include "platform/StringLoader.h"

#include <algorithm>
#include <array>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

namespace qz::dialogs {
namespace {

constexpr std::uint16_t kRtString = 6;

std::mutex g_mutex;
ConfigurationSource g_source;
LanguageState g_state;
// The language whose locale was applied last and what LC_CTYPE became: the
// same language is applied again on every look-up, also from workers, and
// setlocale is not meant to run beside other threads' use of the locale.
std::wstring g_localeCode;
std::string g_localeResult;
bool g_localeApplied = false;

wchar_t AsciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

wchar_t AsciiUpper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

std::wstring Widen(std::string_view text)
{
    return std::wstring(text.begin(), text.end());
}

// A code is split at its first "_"; a code without one has two empty parts.
std::wstring_view LanguagePart(std::wstring_view code)
{
    std::size_t pos = code.find(L'_');
    return pos == std::wstring_view::npos ? std::wstring_view() : code.substr(0, pos);
}

struct ShortForm {
    const wchar_t* form;
    const wchar_t* code;
};

constexpr ShortForm kShortForms[] = {
    {L"CA", L"en_CA"}, {L"CN", L"zh_CN"}, {L"D", L"de_DE"},  {L"E", L"en_UK"},  {L"ES", L"es_ES"},
    {L"F", L"fr_FR"},  {L"FL", L"en_US"}, {L"I", L"it_IT"},  {L"JP", L"ja_JP"}, {L"KR", L"ko_KR"},
    {L"NL", L"nl_NL"}, {L"PL", L"pl_PL"}, {L"RU", L"ru_RU"}, {L"SE", L"sv_SE"}, {L"SI", L"si_SL"},
    {L"UK", L"en_UK"}, {L"US", L"en_US"},
};

// User languages that keep their sub-language when an empty code asks for
// the user's default. Serbian (Latin, Serbia) and Bengali (Bangladesh) have
// dialogs of their own; their default sub-languages are Croatian and
// Bengali (India), which would speak to those users in the wrong language.
constexpr LANGID kKeptUserLanguages[] = {2057, 1028, 1033, 1034, 1036, 2052, 2070, 3084, 4105, 21514, 9242, 2117};

// The highest primary language of the locale table (Galician, 0x56).
constexpr unsigned kLastPrimaryLanguage = 0x56;

// The languages of the dialogs' resources, by language ID. Tags are those of
// the resource files; right-to-left languages get mirrored dialogs.
constexpr DialogLanguage kDialogLanguages[] = {
    {1025, "ar-SA", true},   {1026, "bg-BG", false},  {1027, "ca-ES", false},  {1028, "zh-TW", false},
    {1029, "cs-CZ", false},  {1030, "da-DK", false},  {1031, "de-DE", false},  {1032, "el-GR", false},
    {1034, "es-ES", false},  {1035, "fi-FI", false},  {1036, "fr-FR", false},  {1037, "he-IL", true},
    {1038, "hu-HU", false},  {1039, "is-IS", false},  {1040, "it-IT", false},  {1041, "ja-JP", false},
    {1042, "ko-KR", false},  {1043, "nl-NL", false},  {1045, "pl-PL", false},  {1046, "pt-BR", false},
    {1048, "ro-RO", false},  {1049, "ru-RU", false},  {1050, "hr-HR", false},  {1051, "sk-SK", false},
    {1052, "sq-AL", false},  {1053, "sv-SE", false},  {1054, "th-TH", false},  {1055, "tr-TR", false},
    {1057, "id-ID", false},  {1058, "uk-UA", false},  {1060, "sl-SI", false},  {1061, "et-EE", false},
    {1062, "lv-LV", false},  {1063, "lt-LT", false},  {1065, "fa-IR", true},   {1066, "vi-VN", false},
    {1069, "eu-ES", false},  {1081, "hi-IN", false},  {1086, "ms-MY", false},  {1087, "kk-KZ", false},
    {1097, "ta-IN", false},  {1110, "gl-ES", false},  {2052, "zh-CN", false},  {2057, "en-GB", false},
    {2070, "pt-PT", false},  {2117, "bn-BD", false},  {3084, "fr-CA", false},  {9242, "sr-Latn-RS", false},
};

struct LocaleAbbreviation {
    const wchar_t* code;
    const char* abbreviation;
};

// The C runtime's locale names of the language codes, searched in order.
constexpr LocaleAbbreviation kLocaleAbbreviations[] = {
    {L"en_UK", "eng"}, {L"en_US", "enu"}, {L"en_CA", "enc"}, {L"en_II", "eng"}, {L"zh_CN", "chs"},
    {L"zh_TW", "cht"}, {L"de_DE", "deu"}, {L"es_ES", "esp"}, {L"es_US", "esn"}, {L"fr_FR", "fra"},
    {L"fr_CA", "frc"}, {L"it_IT", "ita"}, {L"ja_JP", "jpn"}, {L"nl_NL", "nld"}, {L"pl_PL", "plk"},
    {L"cs_CZ", "csy"}, {L"ru_RU", "rus"}, {L"sv_SE", "sve"}, {L"en_SE", "enu"}, {L"da_DK", "dan"},
    {L"en_DK", "enu"}, {L"fi_FI", "fin"}, {L"en_FI", "enu"}, {L"nb_NO", "nor"}, {L"en_NO", "enu"},
    {L"el_GR", "ell"}, {L"pt_PT", "ptg"}, {L"hu_HU", "hun"}, {L"sl_SI", "enu"}, {L"tr_TR", "trk"},
    {L"ko_KR", "kor"},
};

struct PosixLocale {
    const char* abbreviation;
    const char* name;
};

// The POSIX locale that stands for each abbreviation on this system.
constexpr PosixLocale kPosixLocales[] = {
    {"eng", "en_GB"}, {"enu", "en_US"}, {"enc", "en_CA"}, {"chs", "zh_CN"}, {"cht", "zh_TW"},
    {"deu", "de_DE"}, {"esp", "es_ES"}, {"esn", "es_ES"}, {"fra", "fr_FR"}, {"frc", "fr_CA"},
    {"ita", "it_IT"}, {"jpn", "ja_JP"}, {"nld", "nl_NL"}, {"plk", "pl_PL"}, {"csy", "cs_CZ"},
    {"rus", "ru_RU"}, {"sve", "sv_SE"}, {"dan", "da_DK"}, {"fin", "fi_FI"}, {"nor", "nb_NO"},
    {"ell", "el_GR"}, {"ptg", "pt_PT"}, {"hun", "hu_HU"}, {"trk", "tr_TR"}, {"kor", "ko_KR"},
};

// Code pages of the font-signature code-page bits (0 = reserved bit).
constexpr std::array<std::uint16_t, 64> kCodePageBits = {
    1252, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 0,   0,   0,   0,   0,   0,   0,
    874,  932,  936,  949,  950,  1361, 0,    0,    0,    0,   0,   0,   0,   0,   0,   0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,   0,   0,   0,   0,   0,   0,
    869,  866,  865,  864,  863,  862,  861,  860,  857,  855, 852, 775, 737, 708, 850, 437,
};

// Selects LC_CTYPE for a locale abbreviation; "" is the user's default.
// Returns what setlocale answered, empty when no matching locale exists.
std::string SelectCtypeLocale(const std::string& abbreviation)
{
    std::string request;
    if (!abbreviation.empty()) {
        for (const PosixLocale& p : kPosixLocales) {
            if (abbreviation == p.abbreviation) {
                request = p.name;
                break;
            }
        }
    }
    if (request.empty()) {
        const char* result = std::setlocale(LC_CTYPE, "");
        return result ? result : "";
    }
    for (const char* suffix : {".UTF-8", ".utf8", ""}) {
        std::string name = request + suffix;
        if (const char* result = std::setlocale(LC_CTYPE, name.c_str())) {
            return result;
        }
    }
    // Like a failed setlocale on Windows, the character type stays as it was.
    return {};
}

// SelectCtypeLocale, unless the language is the one applied last and
// nobody has changed LC_CTYPE since.
std::string ApplyCtypeLocale(const std::wstring& code, const std::string& abbreviation)
{
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    if (g_localeApplied && code == g_localeCode && current && g_localeResult == current) {
        return g_state.ctypeLocale;
    }
    std::string result = SelectCtypeLocale(abbreviation);
    const char* now = std::setlocale(LC_CTYPE, nullptr);
    g_localeCode = code;
    g_localeResult = now ? now : "";
    g_localeApplied = true;
    return result;
}

// The OEM code page is asked for only when a language has no ANSI code page;
// such Unicode-only languages have none either (CP_OEMCP stands for it).
std::uint32_t DefaultOemCodePage(LANGID id)
{
    return FindLocale(id) ? platform::CP_OEMCP : 0;
}

void ApplyCodePage(LanguageState& state)
{
    std::uint32_t codePage = DefaultAnsiCodePage(state.languageId);
    if (codePage == 0) {
        codePage = state.codePage;
    }
    if (codePage == 0) {
        std::uint32_t oem = DefaultOemCodePage(state.languageId);
        if (oem != platform::CP_OEMCP) {
            codePage = oem;
        }
    }
    state.codePage = codePage;
    state.codePageWord = -1;
    state.codePageBit = -1;
    for (std::size_t bit = 0; bit < kCodePageBits.size(); ++bit) {
        if (codePage != 0 && kCodePageBits[bit] == codePage) {
            state.codePageWord = static_cast<int>(bit / 32);
            state.codePageBit = static_cast<int>(bit % 32);
            break;
        }
    }
    std::uint8_t charset = 0;
    if (CharsetFromCodePage(codePage, charset)) {
        state.charset = charset;
    }
    platform::SetAnsiCodePage(codePage);
}

} // namespace

void SetConfigurationSource(ConfigurationSource source)
{
    std::lock_guard lock(g_mutex);
    g_source = std::move(source);
}

void InstallStringProvider()
{
    platform::SetStringProvider([](std::uint32_t id) { return LoadLocalizedString(id); });
}

LANGID GetCurrentLanguageId()
{
    ConfigurationSource source;
    {
        std::lock_guard lock(g_mutex);
        source = g_source;
    }
    QzAutoUpdate::CUpdateConfiguration2* configuration = source ? source() : nullptr;
    if (!configuration) {
        return kDefaultLanguageId;
    }
    const wchar_t* code = configuration->GetProgramLanguage();
    SetLanguage(code ? code : L"");
    std::lock_guard lock(g_mutex);
    return g_state.languageId;
}

std::wstring LoadLocalizedString(std::uint32_t id)
{
    const LANGID lang = GetCurrentLanguageId();
    const platform::ResourceTable& table = platform::ModuleResources();
    const auto type = platform::ResName::Ordinal(kRtString);
    const auto block = platform::ResName::Ordinal(static_cast<std::uint16_t>(id / 16 + 1));
    const platform::ResourceView* found = table.FindExact(type, block, lang);
    if (!found) {
        found = table.FindExact(type, block, kDefaultLanguageId);
    }
    if (found) {
        if (std::optional<std::wstring> text = platform::StringFromBlock(found->data, id % 16)) {
            return *text;
        }
    }
    return table.LoadString(id, lang).value_or(std::wstring());
}

void SetLanguage(const std::wstring& code)
{
    std::wstring normalised = NormalizeLanguageCode(code);
    LANGID id = LanguageIdFromCode(normalised);
    std::string abbreviation;
    for (const LocaleAbbreviation& entry : kLocaleAbbreviations) {
        if (normalised == entry.code) {
            abbreviation = entry.abbreviation;
            break;
        }
    }
    std::lock_guard lock(g_mutex);
    g_state.code = normalised;
    g_state.languageId = id;
    g_state.localeAbbreviation = abbreviation;
    g_state.ctypeLocale = ApplyCtypeLocale(normalised, abbreviation);
    ApplyCodePage(g_state);
}

LANGID LanguageIdFromTag(const std::wstring& tag)
{
    // Letters and digits in parts joined by single separators: a stray blank
    // or an empty part is a typing error, not another country's variant.
    bool partStarted = false;
    for (const wchar_t c : tag) {
        const bool separator = c == L'-' || c == L'_';
        const bool alphanumeric = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
        if ((!separator && !alphanumeric) || (separator && !partStarted))
            return 0;
        partStarted = !separator;
    }
    if (!partStarted)
        return 0;
    std::wstring code = tag;
    std::replace(code.begin(), code.end(), L'-', L'_');
    // The resource files' own tags first: "sr-Latn-RS" carries a script.
    for (const DialogLanguage& language : kDialogLanguages) {
        std::wstring own = Widen(language.tag);
        std::replace(own.begin(), own.end(), L'-', L'_');
        if (EqualsIgnoringCase(own, code))
            return language.id;
    }
    // ISO pairs first ("en_GB" is British English, which host codes spell
    // "en_UK"), in ID order as the host rules take them.
    const std::size_t sep = code.find(L'_');
    if (sep != std::wstring::npos) {
        const std::wstring language = code.substr(0, sep);
        const std::wstring country = code.substr(sep + 1);
        const auto same = [](const std::wstring& wide, const char* ascii) {
            return EqualsIgnoringCase(wide, std::wstring(ascii, ascii + std::strlen(ascii)));
        };
        for (const LocaleEntry& entry : LocaleEntries()) {
            if (same(language, entry.language) && same(country, entry.country))
                return entry.id;
        }
    }
    return LanguageIdFromCode(NormalizeLanguageCode(code));
}

std::wstring NormalizeLanguageCode(const std::wstring& code)
{
    std::wstring result = code;
    if (LanguageIdFromCode(result) == 0) {
        for (const ShortForm& s : kShortForms) {
            if (EqualsIgnoringCase(result, s.form)) {
                result = s.code;
                break;
            }
        }
    }
    if (result.empty()) {
        LANGID user = GetUserDefaultLanguageId();
        bool keep = false;
        for (LANGID kept : kKeptUserLanguages) {
            keep = keep || kept == user;
        }
        if (!keep) {
            user = static_cast<LANGID>(platform::PRIMARYLANGID(user) | 0x400);
        }
        result = LanguageCodeFromId(user);
    }
    std::size_t pos = result.find(L'_');
    std::wstring language;
    std::wstring country;
    if (pos != std::wstring::npos) {
        language = result.substr(0, pos);
        country = result.substr(pos + 1);
    }
    for (wchar_t& c : language) {
        c = AsciiLower(c);
    }
    for (wchar_t& c : country) {
        c = AsciiUpper(c);
    }
    return language + L"_" + country;
}

LANGID LanguageIdFromCode(const std::wstring& code)
{
    // Primary languages 1 to 63 and the few above that the locale table
    // knows, each with sub-languages 1 to 63: only the IDs that name a
    // locale can match, so those are walked in that order.
    static const std::vector<LANGID> searchOrder = [] {
        std::vector<LANGID> ids;
        for (const LocaleEntry& e : LocaleEntries()) {
            const unsigned primary = platform::PRIMARYLANGID(e.id);
            const unsigned sub = e.id >> 10;
            if (primary >= 1 && sub >= 1 && sub <= 63) {
                ids.push_back(e.id);
            }
        }
        std::sort(ids.begin(), ids.end(), [](LANGID a, LANGID b) {
            return std::pair(platform::PRIMARYLANGID(a), a >> 10) < std::pair(platform::PRIMARYLANGID(b), b >> 10);
        });
        return ids;
    }();
    for (LANGID id : searchOrder) {
        std::wstring candidate = LanguageCodeFromId(id);
        if (!candidate.empty() && EqualsIgnoringCase(candidate, code)) {
            return id;
        }
    }
    std::wstring_view wanted = LanguagePart(code);
    for (unsigned primary = 1; primary <= kLastPrimaryLanguage; ++primary) {
        const LANGID id = static_cast<LANGID>(primary | 0x400);
        std::wstring candidate = LanguageCodeFromId(id);
        // A language without a default locale answers nothing; it must not
        // match the empty language part of a code without "_".
        if (!candidate.empty() && EqualsIgnoringCase(LanguagePart(candidate), wanted)) {
            return id;
        }
    }
    return 0;
}

std::wstring LanguageCodeFromId(LANGID id)
{
    const LocaleEntry* entry = FindLocale(id);
    if (!entry) {
        return {};
    }
    std::wstring country = Widen(entry->country);
    if (EqualsIgnoringCase(country, L"GB")) {
        country = L"UK";
    }
    return Widen(entry->language) + L"_" + country;
}

LANGID GetUserDefaultLanguageId()
{
    constexpr LANGID kEnglishUs = 1033;
    std::string value;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            value = v;
            break;
        }
    }
    // "ll_CC.charset@modifier"; only language and territory matter.
    value = value.substr(0, value.find_first_of(".@"));
    std::size_t sep = value.find_first_of("_-");
    std::string language = value.substr(0, sep);
    std::string country = sep == std::string::npos ? std::string() : value.substr(sep + 1);
    for (char& c : language) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    for (char& c : country) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    if (language.empty() || language == "c" || language == "posix") {
        return kEnglishUs;
    }
    // Without the territory, the language's default sub-language stands in.
    const LocaleEntry* sameLanguage = nullptr;
    for (const LocaleEntry& e : LocaleEntries()) {
        if (language != e.language) {
            continue;
        }
        if (country == e.country) {
            return e.id;
        }
        const bool isDefault = (e.id & 0xFC00) == 0x400;
        if (!sameLanguage || (isDefault && (sameLanguage->id & 0xFC00) != 0x400)) {
            sameLanguage = &e;
        }
    }
    return sameLanguage ? sameLanguage->id : kEnglishUs;
}

LanguageState GetLanguageState()
{
    std::lock_guard lock(g_mutex);
    return g_state;
}

bool CharsetFromCodePage(std::uint32_t codePage, std::uint8_t& charset)
{
    struct Entry {
        std::uint16_t codePage;
        std::uint8_t charset;
    };
    static constexpr Entry kCharsets[] = {
        {1252, 0},   {1250, 238}, {1251, 204}, {1253, 161}, {1254, 162}, {1255, 177},
        {1256, 178}, {1257, 186}, {1258, 163}, {874, 222},  {932, 128},  {936, 134},
        {949, 129},  {950, 136},  {1361, 130}, {42, 2},
    };
    for (const Entry& e : kCharsets) {
        if (e.codePage == codePage) {
            charset = e.charset;
            return true;
        }
    }
    return false;
}

std::span<const DialogLanguage> DialogLanguages()
{
    return kDialogLanguages;
}

const DialogLanguage* FindDialogLanguage(LANGID id)
{
    for (const DialogLanguage& language : kDialogLanguages) {
        if (language.id == id)
            return &language;
    }
    return nullptr;
}

bool IsRightToLeft(LANGID id)
{
    const DialogLanguage* language = FindDialogLanguage(id);
    return language && language->rightToLeft;
}

std::uint32_t DefaultAnsiCodePage(LANGID id)
{
    const LocaleEntry* entry = FindLocale(id);
    return entry ? entry->ansiCodePage : 0;
}

} // namespace qz::dialogs
