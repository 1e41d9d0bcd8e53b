#include "dialogs/LocaleTable.h"

#include <algorithm>
#include <array>

namespace qz::dialogs {
namespace {

constexpr std::uint16_t L(unsigned primary, unsigned sub)
{
    return static_cast<std::uint16_t>((sub << 10) | primary);
}

// Sorted by ID below; written here grouped by primary language.
constexpr LocaleEntry kLocales[] = {
    // Arabic
    {L(0x01, 1), "ar", "SA", 1256}, {L(0x01, 2), "ar", "IQ", 1256}, {L(0x01, 3), "ar", "EG", 1256},
    {L(0x01, 4), "ar", "LY", 1256}, {L(0x01, 5), "ar", "DZ", 1256}, {L(0x01, 6), "ar", "MA", 1256},
    {L(0x01, 7), "ar", "TN", 1256}, {L(0x01, 8), "ar", "OM", 1256}, {L(0x01, 9), "ar", "YE", 1256},
    {L(0x01, 10), "ar", "SY", 1256}, {L(0x01, 11), "ar", "JO", 1256}, {L(0x01, 12), "ar", "LB", 1256},
    {L(0x01, 13), "ar", "KW", 1256}, {L(0x01, 14), "ar", "AE", 1256}, {L(0x01, 15), "ar", "BH", 1256},
    {L(0x01, 16), "ar", "QA", 1256},
    {L(0x02, 1), "bg", "BG", 1251},
    // Catalan, and Valencian under the same primary language
    {L(0x03, 1), "ca", "ES", 1252}, {L(0x03, 2), "ca", "ES", 1252},
    // Chinese
    {L(0x04, 1), "zh", "TW", 950}, {L(0x04, 2), "zh", "CN", 936}, {L(0x04, 3), "zh", "HK", 950},
    {L(0x04, 4), "zh", "SG", 936}, {L(0x04, 5), "zh", "MO", 950},
    {L(0x05, 1), "cs", "CZ", 1250},
    {L(0x06, 1), "da", "DK", 1252},
    // German
    {L(0x07, 1), "de", "DE", 1252}, {L(0x07, 2), "de", "CH", 1252}, {L(0x07, 3), "de", "AT", 1252},
    {L(0x07, 4), "de", "LU", 1252}, {L(0x07, 5), "de", "LI", 1252},
    {L(0x08, 1), "el", "GR", 1253},
    // English
    {L(0x09, 1), "en", "US", 1252}, {L(0x09, 2), "en", "GB", 1252}, {L(0x09, 3), "en", "AU", 1252},
    {L(0x09, 4), "en", "CA", 1252}, {L(0x09, 5), "en", "NZ", 1252}, {L(0x09, 6), "en", "IE", 1252},
    {L(0x09, 7), "en", "ZA", 1252}, {L(0x09, 8), "en", "JM", 1252}, {L(0x09, 9), "en", "029", 1252},
    {L(0x09, 10), "en", "BZ", 1252}, {L(0x09, 11), "en", "TT", 1252}, {L(0x09, 12), "en", "ZW", 1252},
    {L(0x09, 13), "en", "PH", 1252}, {L(0x09, 14), "en", "ID", 1252}, {L(0x09, 15), "en", "HK", 1252},
    {L(0x09, 16), "en", "IN", 1252}, {L(0x09, 17), "en", "MY", 1252}, {L(0x09, 18), "en", "SG", 1252},
    {L(0x09, 19), "en", "AE", 1252}, {L(0x09, 20), "en", "BH", 1252}, {L(0x09, 21), "en", "EG", 1252},
    {L(0x09, 22), "en", "JO", 1252}, {L(0x09, 23), "en", "KW", 1252}, {L(0x09, 24), "en", "TR", 1252},
    {L(0x09, 25), "en", "YE", 1252},
    // Spanish: 1 is the traditional sort of Spain, 3 the modern sort
    {L(0x0A, 1), "es", "ES", 1252}, {L(0x0A, 2), "es", "MX", 1252}, {L(0x0A, 3), "es", "ES", 1252},
    {L(0x0A, 4), "es", "GT", 1252}, {L(0x0A, 5), "es", "CR", 1252}, {L(0x0A, 6), "es", "PA", 1252},
    {L(0x0A, 7), "es", "DO", 1252}, {L(0x0A, 8), "es", "VE", 1252}, {L(0x0A, 9), "es", "CO", 1252},
    {L(0x0A, 10), "es", "PE", 1252}, {L(0x0A, 11), "es", "AR", 1252}, {L(0x0A, 12), "es", "EC", 1252},
    {L(0x0A, 13), "es", "CL", 1252}, {L(0x0A, 14), "es", "UY", 1252}, {L(0x0A, 15), "es", "PY", 1252},
    {L(0x0A, 16), "es", "BO", 1252}, {L(0x0A, 17), "es", "SV", 1252}, {L(0x0A, 18), "es", "HN", 1252},
    {L(0x0A, 19), "es", "NI", 1252}, {L(0x0A, 20), "es", "PR", 1252}, {L(0x0A, 21), "es", "US", 1252},
    {L(0x0A, 22), "es", "419", 1252},
    {L(0x0B, 1), "fi", "FI", 1252},
    // French
    {L(0x0C, 1), "fr", "FR", 1252}, {L(0x0C, 2), "fr", "BE", 1252}, {L(0x0C, 3), "fr", "CA", 1252},
    {L(0x0C, 4), "fr", "CH", 1252}, {L(0x0C, 5), "fr", "LU", 1252}, {L(0x0C, 6), "fr", "MC", 1252},
    {L(0x0C, 7), "fr", "029", 1252}, {L(0x0C, 8), "fr", "RE", 1252}, {L(0x0C, 9), "fr", "CD", 1252},
    {L(0x0C, 10), "fr", "SN", 1252}, {L(0x0C, 11), "fr", "CM", 1252}, {L(0x0C, 12), "fr", "CI", 1252},
    {L(0x0C, 13), "fr", "ML", 1252}, {L(0x0C, 14), "fr", "MA", 1252}, {L(0x0C, 15), "fr", "HT", 1252},
    {L(0x0D, 1), "he", "IL", 1255},
    {L(0x0E, 1), "hu", "HU", 1250},
    {L(0x0F, 1), "is", "IS", 1252},
    {L(0x10, 1), "it", "IT", 1252}, {L(0x10, 2), "it", "CH", 1252},
    {L(0x11, 1), "ja", "JP", 932},
    {L(0x12, 1), "ko", "KR", 949},
    {L(0x13, 1), "nl", "NL", 1252}, {L(0x13, 2), "nl", "BE", 1252},
    // Norwegian: Bokmål and Nynorsk
    {L(0x14, 1), "nb", "NO", 1252}, {L(0x14, 2), "nn", "NO", 1252},
    {L(0x15, 1), "pl", "PL", 1250},
    {L(0x16, 1), "pt", "BR", 1252}, {L(0x16, 2), "pt", "PT", 1252},
    {L(0x17, 1), "rm", "CH", 1252},
    {L(0x18, 1), "ro", "RO", 1250}, {L(0x18, 2), "ro", "MD", 1250},
    {L(0x19, 1), "ru", "RU", 1251}, {L(0x19, 2), "ru", "MD", 1251},
    // Croatian, Serbian and Bosnian share a primary language
    {L(0x1A, 1), "hr", "HR", 1250}, {L(0x1A, 2), "sr", "CS", 1250}, {L(0x1A, 3), "sr", "CS", 1251},
    {L(0x1A, 4), "hr", "BA", 1250}, {L(0x1A, 5), "bs", "BA", 1250}, {L(0x1A, 6), "sr", "BA", 1250},
    {L(0x1A, 7), "sr", "BA", 1251}, {L(0x1A, 8), "bs", "BA", 1251}, {L(0x1A, 9), "sr", "RS", 1250},
    {L(0x1A, 10), "sr", "RS", 1251}, {L(0x1A, 11), "sr", "ME", 1250}, {L(0x1A, 12), "sr", "ME", 1251},
    {L(0x1B, 1), "sk", "SK", 1250},
    {L(0x1C, 1), "sq", "AL", 1250},
    {L(0x1D, 1), "sv", "SE", 1252}, {L(0x1D, 2), "sv", "FI", 1252},
    {L(0x1E, 1), "th", "TH", 874},
    {L(0x1F, 1), "tr", "TR", 1254},
    {L(0x20, 1), "ur", "PK", 1256}, {L(0x20, 2), "ur", "IN", 1256},
    {L(0x21, 1), "id", "ID", 1252},
    {L(0x22, 1), "uk", "UA", 1251},
    {L(0x23, 1), "be", "BY", 1251},
    {L(0x24, 1), "sl", "SI", 1250},
    {L(0x25, 1), "et", "EE", 1257},
    {L(0x26, 1), "lv", "LV", 1257},
    {L(0x27, 1), "lt", "LT", 1257},
    {L(0x28, 1), "tg", "TJ", 1251},
    {L(0x29, 1), "fa", "IR", 1256},
    {L(0x2A, 1), "vi", "VN", 1258},
    {L(0x2B, 1), "hy", "AM", 0},
    // Azerbaijani: Latin and Cyrillic script
    {L(0x2C, 1), "az", "AZ", 1254}, {L(0x2C, 2), "az", "AZ", 1251},
    {L(0x2D, 1), "eu", "ES", 1252},
    // Upper and Lower Sorbian
    {L(0x2E, 1), "hsb", "DE", 1252}, {L(0x2E, 2), "dsb", "DE", 1252},
    {L(0x2F, 1), "mk", "MK", 1251},
    {L(0x30, 1), "st", "ZA", 1252},
    {L(0x31, 1), "ts", "ZA", 1252},
    {L(0x32, 1), "tn", "ZA", 1252}, {L(0x32, 2), "tn", "BW", 1252},
    {L(0x33, 1), "ve", "ZA", 1252},
    {L(0x34, 1), "xh", "ZA", 1252},
    {L(0x35, 1), "zu", "ZA", 1252},
    {L(0x36, 1), "af", "ZA", 1252},
    {L(0x37, 1), "ka", "GE", 0},
    {L(0x38, 1), "fo", "FO", 1252},
    {L(0x39, 1), "hi", "IN", 0},
    {L(0x3A, 1), "mt", "MT", 0},
    // Sami: Northern, Lule, Southern, Skolt, Inari
    {L(0x3B, 1), "se", "NO", 1252}, {L(0x3B, 2), "se", "SE", 1252}, {L(0x3B, 3), "se", "FI", 1252},
    {L(0x3B, 4), "smj", "NO", 1252}, {L(0x3B, 5), "smj", "SE", 1252}, {L(0x3B, 6), "sma", "NO", 1252},
    {L(0x3B, 7), "sma", "SE", 1252}, {L(0x3B, 8), "sms", "FI", 1252}, {L(0x3B, 9), "smn", "FI", 1252},
    // Irish has no locale under the default sub-language
    {L(0x3C, 2), "ga", "IE", 1252},
    {L(0x3D, 1), "yi", "001", 1255},
    {L(0x3E, 1), "ms", "MY", 1252}, {L(0x3E, 2), "ms", "BN", 1252},
    {L(0x3F, 1), "kk", "KZ", 1251},
    // Above 63, only the languages the dialogs speak (Bengali in India and
    // Bangladesh, Tamil, Galician): a host names no others.
    {L(0x45, 1), "bn", "IN", 0}, {L(0x45, 2), "bn", "BD", 0},
    {L(0x49, 1), "ta", "IN", 0},
    {L(0x56, 1), "gl", "ES", 1252},
};

constexpr auto kSorted = [] {
    std::array<LocaleEntry, std::size(kLocales)> sorted{};
    std::copy(std::begin(kLocales), std::end(kLocales), sorted.begin());
    std::sort(sorted.begin(), sorted.end(),
              [](const LocaleEntry& a, const LocaleEntry& b) { return a.id < b.id; });
    return sorted;
}();

} // namespace

std::span<const LocaleEntry> LocaleEntries()
{
    return kSorted;
}

const LocaleEntry* FindLocale(std::uint16_t id)
{
    auto it = std::lower_bound(kSorted.begin(), kSorted.end(), id,
                               [](const LocaleEntry& e, std::uint16_t v) { return e.id < v; });
    return it != kSorted.end() && it->id == id ? &*it : nullptr;
}

} // namespace qz::dialogs
