// The preprocessor of resource scripts: #include through the caller's
// resolver, object-like #define and #undef, the conditionals, the pragmas
// that concern resources, and macro expansion. The grammar reads its
// expanded tokens; constant expressions live here because #if needs them
// before the grammar sees a token.
#pragma once

#include "rc/RcLexer.h"
#include "rc/RcParser.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qz::rc {

/// Tokens for the expression evaluator: the main stream or a directive's line.
class TokenSource {
  public:
    virtual ~TokenSource() = default;
    virtual const Token& Peek() = 0;
    virtual Token Next() = 0;
    [[noreturn]] virtual void Fail(const std::string& reason) = 0;
};

/// Constant expressions on unsigned 32-bit values, one function per level
/// of precedence. A style reads its terms one level below '|'.
struct ExprParser {
    static std::uint32_t Unary(TokenSource& ts, int depth);
    static std::uint32_t Mul(TokenSource& ts, int depth);
    static std::uint32_t Add(TokenSource& ts, int depth);
    static std::uint32_t Cmp(TokenSource& ts, int depth);
    static std::uint32_t And(TokenSource& ts, int depth);
    static std::uint32_t Or(TokenSource& ts, int depth);
    static std::uint32_t Logic(TokenSource& ts, int depth);
};

/// A whole expression: || && | & comparisons + - * / % and unary - + ~ ! NOT.
std::uint32_t Expr(TokenSource& ts, int depth);

class Preprocessor final : public TokenSource {
  public:
    explicit Preprocessor(const platform::RcIncludeResolver& resolver) : resolver_(resolver) {}

    /// Starts on the main file; a byte-order mark is skipped.
    void Open(std::string_view text, const std::string& fileName);

    const Token& Peek() override
    {
        if (pending_.empty()) {
            Token t = Expand(Lex());
            pending_.push_front(std::move(t));
        }
        return pending_.front();
    }
    Token Next() override
    {
        Peek();
        Token t = std::move(pending_.front());
        pending_.pop_front();
        lastFile_ = t.file;
        lastLine_ = t.line;
        return t;
    }
    /// Fails at the last token read (or the end of the file last left).
    [[noreturn]] void Fail(const std::string& reason) override
    {
        throw ParseFailure{platform::RcError{lastFile_, lastLine_, reason}};
    }

    /// Every file read through the resolver, in the order of reading.
    std::vector<std::string> TakeIncludedFiles() { return std::move(included_); }

  private:
    struct Conditional {
        bool active = true; // this branch is being read
        bool taken = false; // some branch of this #if was taken
        bool parentActive = true;
        bool sawElse = false;
    };

    Token Lex();
    void Directive(Source& src);
    Token Expand(Token t);
    void ExpandInto(const Token& t, std::vector<Token>& out, int depth);
    bool Active() const { return conds_.empty() || conds_.back().active; }
    std::uint32_t EvalDirectiveExpr(std::vector<Token> tokens, const Source& src);

    const platform::RcIncludeResolver& resolver_;
    std::vector<std::unique_ptr<Source>> sources_;
    std::vector<Conditional> conds_;
    std::unordered_map<std::string, std::vector<Token>> macros_;
    std::set<std::string> onceFiles_;
    std::deque<Token> pending_;
    std::size_t expanded_ = 0;
    std::size_t expandedChars_ = 0;
    std::size_t includes_ = 0;
    std::size_t bytesRead_ = 0;
    std::string lastFile_;
    int lastLine_ = 0;
    std::vector<std::string> included_;
};

} // namespace qz::rc
