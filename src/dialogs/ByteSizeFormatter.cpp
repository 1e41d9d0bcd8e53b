#include "dialogs/ByteSizeFormatter.h"

#include "dialogs/Languages.h"

#include <cmath>

namespace qz::dialogs {
namespace {

// The string tables hold three forms per unit, bytes first.
constexpr std::uint32_t kFirstUnitName = 113;
constexpr int kLargestExponent = 6;
// ln(1024), as the exponent has always been computed.
constexpr double kLog1024 = 6.931471805599453;

std::uint64_t PowerOf1024(int exponent)
{
    return std::uint64_t{1} << (10 * exponent);
}

}  // namespace

int ByteSizeExponent(std::uint64_t value)
{
    if (value == 0)
        return 0;
    const int exponent = static_cast<int>(std::log(static_cast<double>(value)) / kLog1024);
    return exponent > kLargestExponent ? kLargestExponent : exponent;
}

std::wstring FormatByteSize(std::uint64_t value, ByteUnitNames names, int decimals, int maxExponent)
{
    int exponent = ByteSizeExponent(value);
    if (maxExponent >= 0 && exponent > maxExponent)
        exponent = maxExponent;
    const std::uint64_t unit = PowerOf1024(exponent);
    std::wstring number = std::to_wstring(value / unit);
    if (decimals > 0 && exponent > 0) {
        // Digit by digit, so that nothing is rounded up.
        std::uint64_t rest = value % unit;
        number += L'.';
        for (int i = 0; i < decimals; ++i) {
            // rest < 2^60, so rest * 10 cannot overflow.
            rest *= 10;
            number += static_cast<wchar_t>(L'0' + rest / unit);
            rest %= unit;
        }
    }
    const auto form = static_cast<std::uint32_t>(names);
    return number + L" " + LoadLocalizedString(kFirstUnitName + 3 * static_cast<std::uint32_t>(exponent) + form);
}

}  // namespace qz::dialogs
