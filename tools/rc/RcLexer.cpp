#include "rc/RcLexer.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace qz::rc {

using platform::DecodeUtf8At;
using platform::RcError;

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool IsIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

namespace {

// A string table counts lengths in 16 bits; stopping here spares decoding a huge literal.
constexpr std::size_t kMaxStringLength = 0xFFFF;

bool IsIdentStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

std::wstring LexString(Source& src, bool wide)
{
    (void)wide; // both forms are UTF-8 in the script and wide in the table
    const std::string& s = src.text;
    std::wstring out;
    ++src.pos; // opening quote
    for (;;) {
        if (src.pos >= s.size() || s[src.pos] == '\n') {
            throw ParseFailure{RcError{src.file, src.line, "unterminated string"}};
        }
        if (out.size() > kMaxStringLength) {
            throw ParseFailure{RcError{src.file, src.line,
                                       "string longer than " + std::to_string(kMaxStringLength) + " characters"}};
        }
        char c = s[src.pos];
        if (c == '"') {
            if (src.pos + 1 < s.size() && s[src.pos + 1] == '"') {
                out.push_back(L'"');
                src.pos += 2;
                continue;
            }
            ++src.pos;
            return out;
        }
        if (c == '\\' && src.pos + 1 < s.size()) {
            char e = s[src.pos + 1];
            src.pos += 2;
            switch (e) {
            case 'n':
                out.push_back(L'\n');
                break;
            case 'r':
                out.push_back(L'\r');
                break;
            case 't':
                out.push_back(L'\t');
                break;
            case 'a':
                out.push_back(L'\a');
                break;
            case '\\':
                out.push_back(L'\\');
                break;
            case '"':
                out.push_back(L'"');
                break;
            case 'x':
            case 'X': {
                std::uint32_t v = 0;
                int n = 0;
                while (n < 4 && src.pos < s.size() && std::isxdigit(static_cast<unsigned char>(s[src.pos]))) {
                    char h = s[src.pos++];
                    v = v * 16 + static_cast<std::uint32_t>(
                                     std::isdigit(static_cast<unsigned char>(h))
                                         ? h - '0'
                                         : std::tolower(static_cast<unsigned char>(h)) - 'a' + 10);
                    ++n;
                }
                if (n == 0) {
                    throw ParseFailure{RcError{src.file, src.line, "\\x without hex digits"}};
                }
                out.push_back(static_cast<wchar_t>(v));
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    std::uint32_t v = static_cast<std::uint32_t>(e - '0');
                    int n = 1;
                    while (n < 3 && src.pos < s.size() && s[src.pos] >= '0' && s[src.pos] <= '7') {
                        v = v * 8 + static_cast<std::uint32_t>(s[src.pos++] - '0');
                        ++n;
                    }
                    out.push_back(static_cast<wchar_t>(v));
                } else {
                    // Unknown escapes stay as written.
                    out.push_back(L'\\');
                    src.pos -= 1;
                }
            }
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8At(s, src.pos, cp);
        if (length == 0) {
            throw ParseFailure{RcError{src.file, src.line, "invalid UTF-8 in string"}};
        }
        src.pos += length;
        out.push_back(static_cast<wchar_t>(cp));
    }
}

} // namespace

void SkipSpaceAndComments(Source& src, bool stopAtNewline)
{
    const std::string& s = src.text;
    while (src.pos < s.size()) {
        char c = s[src.pos];
        if (c == '\n') {
            if (stopAtNewline) {
                return;
            }
            ++src.line;
            ++src.pos;
            src.atLineStart = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++src.pos;
        } else if (c == '\\' && src.pos + 1 < s.size() &&
                   (s[src.pos + 1] == '\n' ||
                    (s[src.pos + 1] == '\r' && src.pos + 2 < s.size() && s[src.pos + 2] == '\n'))) {
            // Line continuation.
            src.pos += s[src.pos + 1] == '\r' ? 3 : 2;
            ++src.line;
        } else if (c == '/' && src.pos + 1 < s.size() && s[src.pos + 1] == '/') {
            while (src.pos < s.size() && s[src.pos] != '\n') {
                ++src.pos;
            }
        } else if (c == '/' && src.pos + 1 < s.size() && s[src.pos + 1] == '*') {
            std::size_t end = s.find("*/", src.pos + 2);
            if (end == std::string::npos) {
                throw ParseFailure{RcError{src.file, src.line, "unterminated comment"}};
            }
            src.line += static_cast<int>(std::count(s.begin() + static_cast<std::ptrdiff_t>(src.pos),
                                                    s.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
            src.pos = end + 2;
        } else {
            return;
        }
    }
}

bool LexToken(Source& src, Token& out, bool stopAtNewline)
{
    SkipSpaceAndComments(src, stopAtNewline);
    const std::string& s = src.text;
    if (src.pos >= s.size() || s[src.pos] == '\n') {
        return false;
    }
    out = Token{};
    out.file = src.file;
    out.line = src.line;
    char c = s[src.pos];
    if ((c == 'L' || c == 'l') && src.pos + 1 < s.size() && s[src.pos + 1] == '"') {
        ++src.pos;
        out.kind = Tok::String;
        out.str = LexString(src, true);
    } else if (c == '"') {
        out.kind = Tok::String;
        out.str = LexString(src, false);
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
        std::uint64_t v = 0;
        int base = 10;
        if (c == '0' && src.pos + 1 < s.size() && (s[src.pos + 1] == 'x' || s[src.pos + 1] == 'X')) {
            base = 16;
            src.pos += 2;
        } else if (c == '0') {
            base = 8;
        }
        bool any = base != 16;
        while (src.pos < s.size() && std::isxdigit(static_cast<unsigned char>(s[src.pos]))) {
            char d = s[src.pos];
            unsigned dv = std::isdigit(static_cast<unsigned char>(d))
                              ? static_cast<unsigned>(d - '0')
                              : static_cast<unsigned>(std::tolower(static_cast<unsigned char>(d)) - 'a' + 10);
            if (dv >= static_cast<unsigned>(base)) {
                break;
            }
            v = (v * static_cast<unsigned>(base) + dv) & 0xFFFFFFFFull;
            any = true;
            ++src.pos;
        }
        if (!any) {
            throw ParseFailure{RcError{src.file, src.line, "malformed number"}};
        }
        while (src.pos < s.size() &&
               (s[src.pos] == 'L' || s[src.pos] == 'l' || s[src.pos] == 'U' || s[src.pos] == 'u')) {
            ++src.pos;
        }
        if (src.pos < s.size() && IsIdentChar(s[src.pos])) {
            throw ParseFailure{RcError{src.file, src.line, "malformed number"}};
        }
        out.kind = Tok::Number;
        out.value = static_cast<std::uint32_t>(v);
    } else if (IsIdentStart(c)) {
        std::size_t start = src.pos;
        while (src.pos < s.size() && IsIdentChar(s[src.pos])) {
            ++src.pos;
        }
        out.kind = Tok::Ident;
        out.text = s.substr(start, src.pos - start);
    } else {
        static const std::array<const char*, 6> twoChar{"||", "&&", "==", "!=", "<<", ">>"};
        out.kind = Tok::Punct;
        for (const char* p : twoChar) {
            if (s.compare(src.pos, 2, p) == 0) {
                out.text = p;
                src.pos += 2;
                src.atLineStart = false;
                return true;
            }
        }
        if (std::string_view("{}(),|&+-*/%~!<>").find(c) == std::string_view::npos) {
            throw ParseFailure{RcError{
                src.file, src.line,
                std::string("unexpected character '") +
                    (std::isprint(static_cast<unsigned char>(c)) ? std::string(1, c) : std::string("?")) +
                    "'"}};
        }
        out.text = std::string(1, c);
        ++src.pos;
    }
    src.atLineStart = false;
    return true;
}

std::vector<Token> LexRestOfLine(Source& src)
{
    std::vector<Token> tokens;
    Token t;
    while (LexToken(src, t, true)) {
        tokens.push_back(std::move(t));
    }
    return tokens;
}

void SkipInactiveLine(Source& src)
{
    // Inactive text is not tokenised, but comments still hide directives.
    const std::string& s = src.text;
    while (src.pos < s.size() && s[src.pos] != '\n') {
        if (s[src.pos] == '/' && src.pos + 1 < s.size() && s[src.pos + 1] == '*') {
            SkipSpaceAndComments(src, false);
            continue;
        }
        if (s[src.pos] == '/' && src.pos + 1 < s.size() && s[src.pos + 1] == '/') {
            while (src.pos < s.size() && s[src.pos] != '\n') {
                ++src.pos;
            }
            break;
        }
        ++src.pos;
    }
}

} // namespace qz::rc
