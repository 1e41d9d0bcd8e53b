// The lexer of resource scripts: the tokens of one file's text, with the
// comments, line continuations and string escapes of C. It knows no
// directives and no macros; the preprocessor decides which lines it reads.
#pragma once

#include "rc/RcParser.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qz::rc {

/// Thrown by every part of the parser; ParseRc turns it into its error.
struct ParseFailure {
    platform::RcError error;
};

enum class Tok { End, Number, String, Ident, Punct };

struct Token {
    Tok kind = Tok::End;
    std::string text; // identifier or punctuation
    std::uint32_t value = 0;
    std::wstring str; // decoded string literal
    std::string file;
    int line = 0;
};

/// A file being read, and how far.
struct Source {
    std::string file;
    std::string text;
    std::size_t pos = 0;
    int line = 1;
    bool atLineStart = true;
};

bool EqualsNoCase(std::string_view a, std::string_view b);
bool IsIdentChar(char c);

/// Skips blanks, line continuations and comments; with `stopAtNewline` it
/// stops in front of the line's end.
void SkipSpaceAndComments(Source& src, bool stopAtNewline);

/// Reads the next token into `out`; false at the end of the text, or of the
/// line with `stopAtNewline`.
bool LexToken(Source& src, Token& out, bool stopAtNewline);

/// The tokens up to the end of the line (a directive's arguments).
std::vector<Token> LexRestOfLine(Source& src);

/// Passes over a line of an inactive branch without reading its tokens.
void SkipInactiveLine(Source& src);

} // namespace qz::rc
