// Byte counts as people read them: "1023 Bytes", "1 kB", "2 MB", with the
// unit names of the string tables in the current language.
#pragma once

#include <cstdint>
#include <string>

namespace qz::dialogs {

/// Which of the three unit-name forms of the string tables to use.
enum class ByteUnitNames {
    Short,   ///< "kB"
    Medium,  ///< "KBytes"
    Long,    ///< "Kilobytes"
};

/// The unit exponent of `value`: ln(value) / ln(1024) truncated, 0 for 0,
/// at most 6 (exabytes).
int ByteSizeExponent(std::uint64_t value);

/// `value` in the largest unit it reaches (1024 bytes make a kB), never
/// above `maxExponent` (-1: no limit), with `decimals` digits after the
/// point, truncated; number and unit name joined by one blank.
std::wstring FormatByteSize(std::uint64_t value, ByteUnitNames names = ByteUnitNames::Short, int decimals = 0,
                            int maxExponent = -1);

}  // namespace qz::dialogs
