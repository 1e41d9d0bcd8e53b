#include "platform/WinFormat.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace qz::platform {
namespace {

// Size modifiers after translation to C.
enum class Size { None, Char, Short, Long, LongLong, SizeT, IntMax, PtrDiff, LongDouble };

// One conversion spec as written, with '*' already resolved.
struct Spec {
    std::string flags;
    bool hasWidth = false;
    int width = 0;
    bool hasPrecision = false;
    int precision = 0;
    Size size = Size::None;
    bool narrowHint = false;  // h on c/s
    bool wideHint = false;    // l or w on c/s
};

// A printf call for one number; glibc's snprintf and swprintf take the
// translated spec.
template <typename T>
void AppendNumber(std::string& out, const std::string& spec, T value)
{
    char small[128];
    const int n = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (n < 0)
        return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.append(small, static_cast<std::size_t>(n));
        return;
    }
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    std::snprintf(big.data(), big.size(), spec.c_str(), value);
    out.append(big.data(), static_cast<std::size_t>(n));
}

template <typename T>
void AppendNumber(std::wstring& out, const std::string& spec, T value)
{
    // Numbers are plain ASCII, so the narrow result widens unit by unit.
    std::string narrow;
    AppendNumber(narrow, spec, value);
    out.append(narrow.begin(), narrow.end());
}

std::string BuildSpec(const Spec& s, const char* size, char conversion)
{
    std::string spec = "%" + s.flags;
    if (s.hasWidth)
        spec += std::to_string(s.width);
    if (s.hasPrecision) {
        spec += '.';
        spec += std::to_string(s.precision);
    }
    spec += size;
    spec += conversion;
    return spec;
}

template <typename Char>
void Pad(std::basic_string<Char>& out, const Spec& s, std::basic_string_view<Char> text)
{
    const bool left = s.flags.find('-') != std::string::npos;
    const std::size_t width = s.hasWidth ? static_cast<std::size_t>(s.width) : 0;
    const std::size_t fill = width > text.size() ? width - text.size() : 0;
    if (!left)
        out.append(fill, static_cast<Char>(' '));
    out.append(text);
    if (left)
        out.append(fill, static_cast<Char>(' '));
}

std::wstring WidenAnsi(std::string_view text)
{
    return MultiByteToWide(CP_ACP, text).value_or(std::wstring());
}

std::string NarrowAnsi(std::wstring_view text)
{
    return WideToMultiByte(CP_ACP, text).value_or(std::string());
}

// Wide text as narrow text of at most `limit` bytes, cut at a character boundary.
std::string NarrowAnsiLimited(std::wstring_view text, std::size_t limit)
{
    std::string out;
    for (wchar_t wc : text) {
        const std::string piece = NarrowAnsi(std::wstring_view(&wc, 1));
        if (out.size() + piece.size() > limit)
            break;
        out += piece;
    }
    return out;
}

template <typename Char>
void AppendString(std::basic_string<Char>& out, const Spec& s, bool argIsWide, va_list& args)
{
    const std::size_t limit = s.hasPrecision ? static_cast<std::size_t>(s.precision) : SIZE_MAX;
    std::basic_string<Char> text;
    if (argIsWide) {
        const wchar_t* p = va_arg(args, const wchar_t*);
        if (!p)
            p = L"(null)";
        const std::wstring_view w(p, s.hasPrecision ? wcsnlen(p, limit) : std::wcslen(p));
        if constexpr (sizeof(Char) == sizeof(wchar_t))
            text.assign(w);
        else
            text = s.hasPrecision ? NarrowAnsiLimited(w, limit) : NarrowAnsi(w);
    } else {
        const char* p = va_arg(args, const char*);
        if (!p)
            p = "(null)";
        const std::string_view n(p, s.hasPrecision ? strnlen(p, limit) : std::strlen(p));
        if constexpr (sizeof(Char) == sizeof(wchar_t)) {
            text = WidenAnsi(n);
            if (text.size() > limit)
                text.resize(limit);
        } else {
            text.assign(n);
        }
    }
    Pad<Char>(out, s, text);
}

template <typename Char>
void AppendChar(std::basic_string<Char>& out, const Spec& s, bool argIsWide, va_list& args)
{
    const int value = va_arg(args, int);
    std::basic_string<Char> text;
    if (argIsWide) {
        const wchar_t wc = static_cast<wchar_t>(value);
        if constexpr (sizeof(Char) == sizeof(wchar_t))
            text.assign(1, wc);
        else
            text = NarrowAnsi(std::wstring_view(&wc, 1));
    } else {
        const char c = static_cast<char>(value);
        if constexpr (sizeof(Char) == sizeof(wchar_t))
            text = WidenAnsi(std::string_view(&c, 1));
        else
            text.assign(1, c);
    }
    Pad<Char>(out, s, text);
}

template <typename Char>
void AppendSigned(std::basic_string<Char>& out, const Spec& s, char conv, va_list& args)
{
    switch (s.size) {
    case Size::Char: AppendNumber(out, BuildSpec(s, "hh", conv), va_arg(args, int)); break;
    case Size::Short: AppendNumber(out, BuildSpec(s, "h", conv), va_arg(args, int)); break;
    case Size::LongLong:
        AppendNumber(out, BuildSpec(s, "ll", conv), va_arg(args, long long));
        break;
    case Size::SizeT: AppendNumber(out, BuildSpec(s, "z", conv), va_arg(args, ssize_t)); break;
    case Size::IntMax: AppendNumber(out, BuildSpec(s, "j", conv), va_arg(args, intmax_t)); break;
    case Size::PtrDiff:
        AppendNumber(out, BuildSpec(s, "t", conv), va_arg(args, ptrdiff_t));
        break;
    default: AppendNumber(out, BuildSpec(s, "", conv), va_arg(args, int)); break;
    }
}

template <typename Char>
void AppendUnsigned(std::basic_string<Char>& out, const Spec& s, char conv, va_list& args)
{
    switch (s.size) {
    case Size::Char: AppendNumber(out, BuildSpec(s, "hh", conv), va_arg(args, unsigned)); break;
    case Size::Short: AppendNumber(out, BuildSpec(s, "h", conv), va_arg(args, unsigned)); break;
    case Size::LongLong:
        AppendNumber(out, BuildSpec(s, "ll", conv), va_arg(args, unsigned long long));
        break;
    case Size::SizeT: AppendNumber(out, BuildSpec(s, "z", conv), va_arg(args, size_t)); break;
    case Size::IntMax:
        AppendNumber(out, BuildSpec(s, "j", conv), va_arg(args, uintmax_t));
        break;
    case Size::PtrDiff:
        AppendNumber(out, BuildSpec(s, "t", conv), va_arg(args, ptrdiff_t));
        break;
    default: AppendNumber(out, BuildSpec(s, "", conv), va_arg(args, unsigned)); break;
    }
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

template <typename Char>
std::basic_string<Char> Format(const Char* format, va_list& args)
{
    constexpr bool kWideFormat = sizeof(Char) == sizeof(wchar_t);
    std::basic_string<Char> out;
    if (!format)
        return out;
    const Char* p = format;
    while (*p) {
        if (*p != '%') {
            const Char* run = p;
            while (*p && *p != '%')
                ++p;
            out.append(run, static_cast<std::size_t>(p - run));
            continue;
        }
        const Char* start = p++;
        if (*p == '%') {
            out.push_back(static_cast<Char>('%'));
            ++p;
            continue;
        }
        Spec s;
        while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0')
            s.flags.push_back(static_cast<char>(*p++));
        if (*p == '*') {
            ++p;
            int w = va_arg(args, int);
            if (w < 0) {
                s.flags.push_back('-');
                w = w == INT32_MIN ? INT32_MAX : -w;
            }
            s.hasWidth = true;
            s.width = w;
        } else if (IsDigit(*p)) {
            s.hasWidth = true;
            long w = 0;
            while (IsDigit(*p)) {
                w = std::min<long>(w * 10 + (*p++ - '0'), INT32_MAX);
            }
            s.width = static_cast<int>(w);
        }
        if (*p == '.') {
            ++p;
            s.hasPrecision = true;
            if (*p == '*') {
                ++p;
                const int prec = va_arg(args, int);
                if (prec < 0)
                    s.hasPrecision = false;
                else
                    s.precision = prec;
            } else {
                long prec = 0;
                while (IsDigit(*p))
                    prec = std::min<long>(prec * 10 + (*p++ - '0'), INT32_MAX);
                s.precision = static_cast<int>(prec);
            }
        }
        // Size modifiers, Windows spellings included.
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            s.size = Size::LongLong;
            p += 3;
        } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
            s.size = Size::None;
            p += 3;
        } else if (p[0] == 'I') {
            s.size = Size::SizeT;
            p += 1;
        } else if (p[0] == 'h' && p[1] == 'h') {
            s.size = Size::Char;
            p += 2;
        } else if (p[0] == 'h') {
            s.size = Size::Short;
            s.narrowHint = true;
            p += 1;
        } else if (p[0] == 'l' && p[1] == 'l') {
            s.size = Size::LongLong;
            p += 2;
        } else if (p[0] == 'l' || p[0] == 'w') {
            s.size = Size::Long;  // 32 bits on Windows: formatted as int
            s.wideHint = true;
            p += 1;
        } else if (p[0] == 'L') {
            s.size = Size::LongDouble;
            p += 1;
        } else if (p[0] == 'z') {
            s.size = Size::SizeT;
            p += 1;
        } else if (p[0] == 'j') {
            s.size = Size::IntMax;
            p += 1;
        } else if (p[0] == 't') {
            s.size = Size::PtrDiff;
            p += 1;
        }
        const Char conv = *p;
        if (conv == 0) {
            out.append(start, static_cast<std::size_t>(p - start));
            break;
        }
        ++p;
        switch (conv) {
        case 'd':
        case 'i':
            if (s.size == Size::LongDouble)
                s.size = Size::LongLong;
            AppendSigned(out, s, static_cast<char>(conv), args);
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            if (s.size == Size::LongDouble)
                s.size = Size::LongLong;
            AppendUnsigned(out, s, static_cast<char>(conv), args);
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (s.size == Size::LongDouble)
                AppendNumber(out, BuildSpec(s, "L", static_cast<char>(conv)),
                             va_arg(args, long double));
            else
                AppendNumber(out, BuildSpec(s, "", static_cast<char>(conv)),
                             va_arg(args, double));
            break;
        case 'p': {
            // Windows prints a pointer as 16 upper-case hex digits.
            const auto value = reinterpret_cast<std::uintptr_t>(va_arg(args, void*));
            if (!s.hasPrecision) {
                s.hasPrecision = true;
                s.precision = 2 * static_cast<int>(sizeof(void*));
            }
            AppendNumber(out, BuildSpec(s, "ll", 'X'), static_cast<unsigned long long>(value));
            break;
        }
        case 'n': (void)va_arg(args, void*); break;
        case 's':
        case 'S':
        case 'c':
        case 'C': {
            // Lower case is the format's own width, upper case the other one;
            // h and l/w name the width outright.
            bool wide = (conv == 's' || conv == 'c') == kWideFormat;
            if (s.narrowHint)
                wide = false;
            else if (s.wideHint)
                wide = true;
            if (conv == 's' || conv == 'S')
                AppendString(out, s, wide, args);
            else
                AppendChar(out, s, wide, args);
            break;
        }
        default:
            out.append(start, static_cast<std::size_t>(p - start));
            break;
        }
    }
    return out;
}

}  // namespace

std::wstring FormatWV(const wchar_t* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    std::wstring out = Format(format, copy);
    va_end(copy);
    return out;
}

std::wstring FormatW(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring out = Format(format, args);
    va_end(args);
    return out;
}

std::string FormatAV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    std::string out = Format(format, copy);
    va_end(copy);
    return out;
}

std::string FormatA(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = Format(format, args);
    va_end(args);
    return out;
}

}  // namespace qz::platform
