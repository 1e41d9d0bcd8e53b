// The process-wide table of symbolic constants: every flag text of a dialog
// definition file or a control-template file ("WS_CHILD | WS_VISIBLE") is
// turned into a number through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gui/SymbolicConstantTable.h"

class CQZSymbolicConstants {
  public:
    /// Flag texts are read through a buffer of this many characters
    /// (terminator included), so longer texts are cut.
    static constexpr std::size_t kFlagTextBufferSize = 512;

    /// The table, built on first use and never changed afterwards, so
    /// lookups need no lock.
    static const CQZSymbolicConstants& Instance();

    /// Registrations held, repeated names counted each time (892).
    std::size_t GetEntryCount() const { return entries_.size(); }
    /// Every registration in order, for tools and checks.
    std::span<const QzSymbolicConstantEntry> GetEntries() const { return entries_; }
    /// The value of a name compared as exact text; empty when absent.
    std::optional<std::uint32_t> Lookup(std::wstring_view name) const;

    /// ORs the values of the "|"-separated names of `text` into `value`
    /// (which starts at 0). Blanks anywhere are ignored, names the table
    /// lacks are skipped, and only the first kFlagTextBufferSize - 1
    /// characters count. True when at least one name was known.
    bool ParseFlagText(std::wstring_view text, std::uint32_t& value) const;
    /// ParseFlagText's value alone (0 when nothing was known).
    std::uint32_t ParseFlags(std::wstring_view text) const;
    /// The names of `text` that the table lacks, read as ParseFlagText reads
    /// them; for the checks of skin tools.
    std::vector<std::wstring> UnknownNames(std::wstring_view text) const;

    /// The names of `prefix` whose non-zero values together make up `value`,
    /// joined by "|" (larger masks first); "0" for 0. Bits that no such name
    /// covers are left out. For writing flag words back into files.
    std::wstring FormatFlags(std::uint32_t value, std::wstring_view prefix) const;
    /// The same, over the names `accepts` lets through.
    std::wstring FormatFlags(std::uint32_t value, const std::function<bool(std::wstring_view)>& accepts) const;

  private:
    CQZSymbolicConstants();
    /// Calls `fn` with each name of a flag text as the parser reads it.
    static void ForEachName(std::wstring_view text, const std::function<void(const std::wstring&)>& fn);

    std::span<const QzSymbolicConstantEntry> entries_;
    std::unordered_map<std::wstring_view, std::uint32_t> index_;
};
