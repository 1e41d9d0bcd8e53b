// Number reading as the Windows C run-time's _wtoi and _wtol do it: the
// legacy value formats and the profile functions depend on its tolerance.
#pragma once

#include <climits>
#include <cwchar>
#include <cwctype>
#include <locale.h>

/// Leading white space, an optional sign, then decimal digits up to the first
/// other character; 0 when there are none. Out-of-range values saturate at
/// the 32-bit limits. A null text gives 0.
inline int QzWtoi(const wchar_t* text)
{
    if (text == nullptr)
        return 0;
    while (*text != 0 && std::iswspace(static_cast<wint_t>(*text)))
        ++text;
    bool negative = false;
    if (*text == L'+' || *text == L'-')
        negative = *text++ == L'-';
    long long value = 0;
    while (*text >= L'0' && *text <= L'9') {
        value = value * 10 + (*text++ - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

/// A leading decimal number as the C run-time's "%f" reads it, with a point
/// as the decimal separator whatever the host's LC_NUMERIC says. Returns
/// where the number ended, or `text` when none starts there.
inline const wchar_t* QzReadFloat(const wchar_t* text, float& value)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    wchar_t* end = nullptr;
    const float read = wcstof_l(text, &end, c);
    if (end != text)
        value = read;
    return end;
}
