// The Windows locales of primary languages 1 to 63, and of the few above
// that the dialogs speak, with their ISO names and default ANSI code pages,
// as the system's locale information reports them.
#pragma once

#include <cstdint>
#include <span>

namespace qz::dialogs {

/// One locale: language ID, ISO 639 language, ISO 3166 country (or UN M.49
/// region), default ANSI code page (0 for Unicode-only locales).
struct LocaleEntry {
    std::uint16_t id;
    const char* language;
    const char* country;
    std::uint16_t ansiCodePage;
};

/// Every locale of the table, ordered by language ID.
std::span<const LocaleEntry> LocaleEntries();

/// The entry of a language ID, or null.
const LocaleEntry* FindLocale(std::uint16_t id);

} // namespace qz::dialogs
