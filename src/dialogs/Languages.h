// The language of the update dialogs: which of the library's resource
// languages a host's language code selects, the texts of the string tables
// with their fallbacks, and the process-wide language state (locale, code
// page and font character set) that choosing a language sets.
#pragma once

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace qz::dialogs {

/// A Windows language ID: primary language in bits 0-9, sub-language above.
using LANGID = std::uint16_t;

/// English (United Kingdom): the language of every fallback.
inline constexpr LANGID kDefaultLanguageId = 2057;

/// Answers the configuration of the running update call, or null between
/// calls. The updater owns that pointer; the dialogs only read it.
using ConfigurationSource = std::function<QzAutoUpdate::CUpdateConfiguration2*()>;

/// Tells the language functions where the current configuration comes from
/// (the updater installs its current-configuration getter); an empty source
/// means there is never a configuration.
void SetConfigurationSource(ConfigurationSource source);

/// Makes LoadLocalizedString the source of the numbered texts that code
/// below the dialogs loads (the transfer engine's status and error texts).
void InstallStringProvider();

/// The language of templates and strings: the current configuration's
/// program language, applied anew with SetLanguage on every call, or 2057
/// without a configuration. 0 when the code names no language.
LANGID GetCurrentLanguageId();

/// String `id` of the library's string tables in the current language, else
/// in English (United Kingdom), else with the default resource search;
/// empty when no table has it.
std::wstring LoadLocalizedString(std::uint32_t id);

/// Sets the process-wide language state from a host's language code.
void SetLanguage(const std::wstring& code);

/// Brings a host's language code into the form "ll_CC": short forms ("D",
/// "UK", ...) are expanded, an empty code becomes the user's language, the
/// case is fixed. A code without "_" that is no short form becomes "_".
std::wstring NormalizeLanguageCode(const std::wstring& code);

/// The language ID whose code equals `code` (ignoring case), else the
/// default sub-language of the code's language part, else 0.
LANGID LanguageIdFromCode(const std::wstring& code);

/// The language ID a tool's or user's tag names ("ja-JP", "ja_jp", "J"):
/// the host's code rules with "-" taken for "_"; 0 for an empty tag or one
/// that names no language.
LANGID LanguageIdFromTag(const std::wstring& tag);

/// "ll_CC" for a language ID (ISO 639 language, ISO 3166 country, with "GB"
/// written "UK"); empty for an ID that names no locale.
std::wstring LanguageCodeFromId(LANGID id);

/// The user's language from the environment (LC_ALL, LC_MESSAGES, LANG, the
/// first one set); 1033 for the C locale or a language that is not known.
LANGID GetUserDefaultLanguageId();

/// The process-wide language state, as SetLanguage left it.
struct LanguageState {
    /// The normalised code ("de_DE", "_").
    std::wstring code;
    /// Its language ID, 0 when it names none.
    LANGID languageId = 0;
    /// The Windows locale abbreviation the code selects ("deu"), empty when
    /// the code is not one of the table's.
    std::string localeAbbreviation;
    /// What setlocale(LC_CTYPE) answered for that choice; empty when no
    /// matching locale exists and the character type was left alone.
    std::string ctypeLocale;
    /// The language's ANSI code page (0 until one is known); also made the
    /// process's ANSI code page.
    std::uint32_t codePage = 0;
    /// Position of the code page in the font-signature code-page bits:
    /// word index (0 or 1) and bit number, -1 and -1 when absent.
    int codePageWord = -1;
    int codePageBit = -1;
    /// Font character set for text in that code page (ANSI_CHARSET is 0).
    std::uint8_t charset = 0;
};

/// A copy of the process-wide language state.
LanguageState GetLanguageState();

/// The font character set of a Windows code page, as TranslateCharsetInfo
/// gives it; false for a code page without one.
bool CharsetFromCodePage(std::uint32_t codePage, std::uint8_t& charset);

/// A language the dialogs' resources are written in.
struct DialogLanguage {
    LANGID id;
    /// The tag of its resource file ("de-DE", "sr-Latn-RS").
    const char* tag;
    /// Its dialogs are mirrored and read from right to left.
    bool rightToLeft;
};

/// Every language of the dialogs' resources, ordered by language ID.
std::span<const DialogLanguage> DialogLanguages();

/// The entry of a language ID, or null when the dialogs do not speak it.
const DialogLanguage* FindDialogLanguage(LANGID id);

/// Whether the dialogs of a language are mirrored (Arabic, Hebrew, Persian).
bool IsRightToLeft(LANGID id);

/// The default ANSI code page of a language (0 for Unicode-only languages
/// and unknown IDs).
std::uint32_t DefaultAnsiCodePage(LANGID id);

} // namespace qz::dialogs
