// The raw list behind the symbolic-constant table, in registration order.
#pragma once

#include <cstdint>
#include <span>

/// One registered name and its 32-bit value.
struct QzSymbolicConstantEntry {
    const wchar_t* name;
    std::uint32_t value;
};

/// Every registration, repeated names included, as the table is built from.
std::span<const QzSymbolicConstantEntry> QzSymbolicConstantEntries();
