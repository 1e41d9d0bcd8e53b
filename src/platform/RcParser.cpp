#include "platform/RcParser.h"
#include "platform/Utf8.h"

#include "platform/WinUser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cwctype>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

namespace qz::platform {

std::string RcError::ToString() const
{
    return file + ":" + std::to_string(line) + ": error: " + reason;
}

namespace {

// Guards against hostile input: nesting and expansion stay bounded.
constexpr int kMaxIncludeDepth = 16;
constexpr int kMaxExpressionDepth = 64;
constexpr int kMaxMacroDepth = 32;
constexpr std::size_t kMaxExpandedTokens = 1u << 20;

struct ParseFailure {
    RcError error;
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

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool IsIdentStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Values the system headers of a resource script would define.
const std::map<std::string, std::uint32_t>& BuiltinSymbols()
{
    static const std::map<std::string, std::uint32_t> table = [] {
        std::map<std::string, std::uint32_t> m{
            {"WS_OVERLAPPED", WS_OVERLAPPED},
            {"WS_POPUP", WS_POPUP},
            {"WS_CHILD", WS_CHILD},
            {"WS_MINIMIZE", WS_MINIMIZE},
            {"WS_VISIBLE", WS_VISIBLE},
            {"WS_DISABLED", WS_DISABLED},
            {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
            {"WS_CLIPCHILDREN", WS_CLIPCHILDREN},
            {"WS_MAXIMIZE", WS_MAXIMIZE},
            {"WS_CAPTION", WS_CAPTION},
            {"WS_BORDER", WS_BORDER},
            {"WS_DLGFRAME", WS_DLGFRAME},
            {"WS_VSCROLL", WS_VSCROLL},
            {"WS_HSCROLL", WS_HSCROLL},
            {"WS_SYSMENU", WS_SYSMENU},
            {"WS_THICKFRAME", WS_THICKFRAME},
            {"WS_GROUP", WS_GROUP},
            {"WS_TABSTOP", WS_TABSTOP},
            {"WS_MINIMIZEBOX", WS_MINIMIZEBOX},
            {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
            {"WS_OVERLAPPEDWINDOW", WS_OVERLAPPEDWINDOW},
            {"WS_POPUPWINDOW", WS_POPUPWINDOW},
            {"WS_SIZEBOX", WS_THICKFRAME},
            {"WS_EX_DLGMODALFRAME", WS_EX_DLGMODALFRAME},
            {"WS_EX_NOPARENTNOTIFY", WS_EX_NOPARENTNOTIFY},
            {"WS_EX_TOPMOST", WS_EX_TOPMOST},
            {"WS_EX_ACCEPTFILES", WS_EX_ACCEPTFILES},
            {"WS_EX_TRANSPARENT", WS_EX_TRANSPARENT},
            {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW},
            {"WS_EX_WINDOWEDGE", WS_EX_WINDOWEDGE},
            {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE},
            {"WS_EX_CONTEXTHELP", WS_EX_CONTEXTHELP},
            {"WS_EX_RIGHT", WS_EX_RIGHT},
            {"WS_EX_CONTROLPARENT", WS_EX_CONTROLPARENT},
            {"WS_EX_STATICEDGE", WS_EX_STATICEDGE},
            {"WS_EX_APPWINDOW", WS_EX_APPWINDOW},
            {"WS_EX_LAYERED", WS_EX_LAYERED},
            {"DS_ABSALIGN", DS_ABSALIGN},
            {"DS_SYSMODAL", DS_SYSMODAL},
            {"DS_3DLOOK", DS_3DLOOK},
            {"DS_FIXEDSYS", DS_FIXEDSYS},
            {"DS_NOFAILCREATE", DS_NOFAILCREATE},
            {"DS_LOCALEDIT", DS_LOCALEDIT},
            {"DS_SETFONT", DS_SETFONT},
            {"DS_MODALFRAME", DS_MODALFRAME},
            {"DS_NOIDLEMSG", DS_NOIDLEMSG},
            {"DS_SETFOREGROUND", DS_SETFOREGROUND},
            {"DS_CONTROL", DS_CONTROL},
            {"DS_CENTER", DS_CENTER},
            {"DS_CENTERMOUSE", DS_CENTERMOUSE},
            {"DS_CONTEXTHELP", DS_CONTEXTHELP},
            {"DS_SHELLFONT", DS_SHELLFONT},
            {"BS_PUSHBUTTON", BS_PUSHBUTTON},
            {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
            {"BS_CHECKBOX", BS_CHECKBOX},
            {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
            {"BS_RADIOBUTTON", BS_RADIOBUTTON},
            {"BS_3STATE", BS_3STATE},
            {"BS_AUTO3STATE", BS_AUTO3STATE},
            {"BS_GROUPBOX", BS_GROUPBOX},
            {"BS_USERBUTTON", BS_USERBUTTON},
            {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
            {"BS_OWNERDRAW", BS_OWNERDRAW},
            {"BS_LEFTTEXT", BS_LEFTTEXT},
            {"BS_ICON", BS_ICON},
            {"BS_BITMAP", BS_BITMAP},
            {"BS_LEFT", BS_LEFT},
            {"BS_RIGHT", BS_RIGHT},
            {"BS_CENTER", BS_CENTER},
            {"BS_TOP", BS_TOP},
            {"BS_BOTTOM", BS_BOTTOM},
            {"BS_VCENTER", BS_VCENTER},
            {"BS_MULTILINE", BS_MULTILINE},
            {"BS_NOTIFY", BS_NOTIFY},
            {"BS_FLAT", BS_FLAT},
            {"SS_LEFT", SS_LEFT},
            {"SS_CENTER", SS_CENTER},
            {"SS_RIGHT", SS_RIGHT},
            {"SS_ICON", SS_ICON},
            {"SS_BLACKRECT", SS_BLACKRECT},
            {"SS_GRAYRECT", SS_GRAYRECT},
            {"SS_WHITERECT", SS_WHITERECT},
            {"SS_BLACKFRAME", SS_BLACKFRAME},
            {"SS_GRAYFRAME", SS_GRAYFRAME},
            {"SS_WHITEFRAME", SS_WHITEFRAME},
            {"SS_SIMPLE", SS_SIMPLE},
            {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP},
            {"SS_OWNERDRAW", SS_OWNERDRAW},
            {"SS_BITMAP", SS_BITMAP},
            {"SS_ETCHEDHORZ", SS_ETCHEDHORZ},
            {"SS_ETCHEDVERT", SS_ETCHEDVERT},
            {"SS_ETCHEDFRAME", SS_ETCHEDFRAME},
            {"SS_NOPREFIX", SS_NOPREFIX},
            {"SS_NOTIFY", SS_NOTIFY},
            {"SS_CENTERIMAGE", SS_CENTERIMAGE},
            {"SS_SUNKEN", SS_SUNKEN},
            {"SS_ENDELLIPSIS", SS_ENDELLIPSIS},
            {"SS_PATHELLIPSIS", SS_PATHELLIPSIS},
            {"SS_WORDELLIPSIS", SS_WORDELLIPSIS},
            {"ES_LEFT", ES_LEFT},
            {"ES_CENTER", ES_CENTER},
            {"ES_RIGHT", ES_RIGHT},
            {"ES_MULTILINE", ES_MULTILINE},
            {"ES_UPPERCASE", ES_UPPERCASE},
            {"ES_LOWERCASE", ES_LOWERCASE},
            {"ES_PASSWORD", ES_PASSWORD},
            {"ES_AUTOVSCROLL", ES_AUTOVSCROLL},
            {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
            {"ES_NOHIDESEL", ES_NOHIDESEL},
            {"ES_OEMCONVERT", ES_OEMCONVERT},
            {"ES_READONLY", ES_READONLY},
            {"ES_WANTRETURN", ES_WANTRETURN},
            {"ES_NUMBER", ES_NUMBER},
            {"PBS_SMOOTH", PBS_SMOOTH},
            {"PBS_VERTICAL", PBS_VERTICAL},
            {"PBS_MARQUEE", PBS_MARQUEE},
            {"LBS_NOTIFY", 0x1},
            {"LBS_SORT", 0x2},
            {"LBS_NOINTEGRALHEIGHT", 0x100},
            {"CBS_SIMPLE", 0x1},
            {"CBS_DROPDOWN", 0x2},
            {"CBS_DROPDOWNLIST", 0x3},
            {"CBS_AUTOHSCROLL", 0x40},
            {"CBS_SORT", 0x100},
            {"SBS_HORZ", 0},
            {"SBS_VERT", 1},
            {"IDOK", IDOK},
            {"IDCANCEL", IDCANCEL},
            {"IDABORT", IDABORT},
            {"IDRETRY", IDRETRY},
            {"IDIGNORE", IDIGNORE},
            {"IDYES", IDYES},
            {"IDNO", IDNO},
            {"IDCLOSE", IDCLOSE},
            {"IDHELP", IDHELP},
            {"IDC_STATIC", static_cast<std::uint32_t>(IDC_STATIC)},
            {"LANG_NEUTRAL", 0x00},
            {"LANG_ARABIC", 0x01},
            {"LANG_BULGARIAN", 0x02},
            {"LANG_CATALAN", 0x03},
            {"LANG_CHINESE", 0x04},
            {"LANG_CZECH", 0x05},
            {"LANG_DANISH", 0x06},
            {"LANG_GERMAN", 0x07},
            {"LANG_GREEK", 0x08},
            {"LANG_ENGLISH", 0x09},
            {"LANG_SPANISH", 0x0A},
            {"LANG_FINNISH", 0x0B},
            {"LANG_FRENCH", 0x0C},
            {"LANG_HEBREW", 0x0D},
            {"LANG_HUNGARIAN", 0x0E},
            {"LANG_ICELANDIC", 0x0F},
            {"LANG_ITALIAN", 0x10},
            {"LANG_JAPANESE", 0x11},
            {"LANG_KOREAN", 0x12},
            {"LANG_DUTCH", 0x13},
            {"LANG_NORWEGIAN", 0x14},
            {"LANG_POLISH", 0x15},
            {"LANG_PORTUGUESE", 0x16},
            {"LANG_ROMANIAN", 0x18},
            {"LANG_RUSSIAN", 0x19},
            {"LANG_CROATIAN", 0x1A},
            {"LANG_SLOVAK", 0x1B},
            {"LANG_SWEDISH", 0x1D},
            {"LANG_THAI", 0x1E},
            {"LANG_TURKISH", 0x1F},
            {"LANG_UKRAINIAN", 0x22},
            {"LANG_SLOVENIAN", 0x24},
            {"LANG_ALBANIAN", 0x1C},
            {"LANG_INDONESIAN", 0x21},
            {"LANG_ESTONIAN", 0x25},
            {"LANG_LATVIAN", 0x26},
            {"LANG_LITHUANIAN", 0x27},
            {"LANG_PERSIAN", 0x29},
            {"LANG_FARSI", 0x29},
            {"LANG_VIETNAMESE", 0x2A},
            {"LANG_BASQUE", 0x2D},
            {"LANG_HINDI", 0x39},
            {"LANG_MALAY", 0x3E},
            {"LANG_KAZAK", 0x3F},
            {"LANG_BENGALI", 0x45},
            {"LANG_TAMIL", 0x49},
            {"LANG_GALICIAN", 0x56},
            {"LANG_SERBIAN", 0x1A},
            {"SUBLANG_NEUTRAL", 0x00},
            {"SUBLANG_DEFAULT", 0x01},
            {"SUBLANG_SYS_DEFAULT", 0x02},
            {"SUBLANG_CHINESE_TRADITIONAL", 0x01},
            {"SUBLANG_CHINESE_SIMPLIFIED", 0x02},
            {"SUBLANG_ENGLISH_US", 0x01},
            {"SUBLANG_ENGLISH_UK", 0x02},
            {"SUBLANG_ENGLISH_AUS", 0x03},
            {"SUBLANG_ENGLISH_CAN", 0x04},
            {"SUBLANG_GERMAN", 0x01},
            {"SUBLANG_GERMAN_SWISS", 0x02},
            {"SUBLANG_GERMAN_AUSTRIAN", 0x03},
            {"SUBLANG_SPANISH", 0x01},
            {"SUBLANG_SPANISH_MODERN", 0x03},
            {"SUBLANG_FRENCH", 0x01},
            {"SUBLANG_FRENCH_BELGIAN", 0x02},
            {"SUBLANG_FRENCH_CANADIAN", 0x03},
            {"SUBLANG_FRENCH_SWISS", 0x04},
            {"SUBLANG_ITALIAN", 0x01},
            {"SUBLANG_DUTCH", 0x01},
            {"SUBLANG_KOREAN", 0x01},
            {"SUBLANG_PORTUGUESE", 0x02},
            {"SUBLANG_PORTUGUESE_BRAZILIAN", 0x01},
            {"SUBLANG_SWEDISH", 0x01},
            {"SUBLANG_NORWEGIAN_BOKMAL", 0x01},
            {"SUBLANG_NORWEGIAN_NYNORSK", 0x02},
            {"SUBLANG_ARABIC_SAUDI_ARABIA", 0x01},
            {"SUBLANG_HEBREW_ISRAEL", 0x01},
            {"SUBLANG_PERSIAN_IRAN", 0x01},
            {"SUBLANG_HINDI_INDIA", 0x01},
            {"SUBLANG_THAI_THAILAND", 0x01},
            {"SUBLANG_UKRAINIAN_UKRAINE", 0x01},
            {"SUBLANG_VIETNAMESE_VIETNAM", 0x01},
            {"SUBLANG_INDONESIAN_INDONESIA", 0x01},
            {"SUBLANG_ROMANIAN_ROMANIA", 0x01},
            {"SUBLANG_BULGARIAN_BULGARIA", 0x01},
            {"SUBLANG_CROATIAN_CROATIA", 0x01},
            {"SUBLANG_SERBIAN_LATIN", 0x02},
            {"SUBLANG_SERBIAN_CYRILLIC", 0x03},
            {"SUBLANG_SERBIAN_SERBIA_LATIN", 0x09},
            {"SUBLANG_SERBIAN_SERBIA_CYRILLIC", 0x0A},
            {"SUBLANG_SLOVAK_SLOVAKIA", 0x01},
            {"SUBLANG_SLOVENIAN_SLOVENIA", 0x01},
            {"SUBLANG_CATALAN_CATALAN", 0x01},
            {"SUBLANG_LITHUANIAN", 0x01},
            {"SUBLANG_LITHUANIAN_LITHUANIA", 0x01},
            {"SUBLANG_LATVIAN_LATVIA", 0x01},
            {"SUBLANG_ESTONIAN_ESTONIA", 0x01},
            {"SUBLANG_MALAY_MALAYSIA", 0x01},
            {"SUBLANG_BENGALI_INDIA", 0x01},
            {"SUBLANG_BENGALI_BANGLADESH", 0x02},
            {"SUBLANG_TAMIL_INDIA", 0x01},
            {"SUBLANG_BASQUE_BASQUE", 0x01},
            {"SUBLANG_GALICIAN_GALICIAN", 0x01},
            {"SUBLANG_ICELANDIC_ICELAND", 0x01},
            {"SUBLANG_KAZAK_KAZAKHSTAN", 0x01},
            {"SUBLANG_ALBANIAN_ALBANIA", 0x01},
        };
        return m;
    }();
    return table;
}

// String-valued macros of the common-controls header.
const std::map<std::string, std::wstring>& BuiltinClassNames()
{
    static const std::map<std::string, std::wstring> table{
        {"PROGRESS_CLASS", L"msctls_progress32"},
        {"PROGRESS_CLASSW", L"msctls_progress32"},
        {"WC_BUTTON", L"Button"},
        {"WC_STATIC", L"Static"},
        {"WC_EDIT", L"Edit"},
    };
    return table;
}

// Headers a Windows resource script includes for the constants above.
bool IsSystemHeader(const std::string& name)
{
    static const std::array<const char*, 8> known{"windows.h",  "winres.h",  "winresrc.h", "afxres.h",
                                                  "commctrl.h", "winuser.h", "richedit.h", "winver.h"};
    for (const char* k : known) {
        if (EqualsNoCase(name, k)) {
            return true;
        }
    }
    return false;
}

struct Source {
    std::string file;
    std::string text;
    std::size_t pos = 0;
    int line = 1;
    bool atLineStart = true;
};

struct Conditional {
    bool active = true; // this branch is being read
    bool taken = false; // some branch of this #if was taken
    bool parentActive = true;
    bool sawElse = false;
};

// Token source for the expression evaluator: the main stream or a vector.
class TokenSource {
  public:
    virtual ~TokenSource() = default;
    virtual const Token& Peek() = 0;
    virtual Token Next() = 0;
    [[noreturn]] virtual void Fail(const std::string& reason) = 0;
};

struct ExprParser {
    static std::uint32_t Unary(TokenSource& ts, int depth)
    {
        if (depth > kMaxExpressionDepth) {
            ts.Fail("expression nested too deeply");
        }
        Token t = ts.Next();
        if (t.kind == Tok::Number) {
            return t.value;
        }
        if (t.kind == Tok::Punct) {
            if (t.text == "(") {
                std::uint32_t v = Logic(ts, depth + 1);
                Token c = ts.Next();
                if (c.kind != Tok::Punct || c.text != ")") {
                    ts.Fail("missing ')'");
                }
                return v;
            }
            if (t.text == "-") {
                return 0u - Unary(ts, depth + 1);
            }
            if (t.text == "+") {
                return Unary(ts, depth + 1);
            }
            if (t.text == "~") {
                return ~Unary(ts, depth + 1);
            }
            if (t.text == "!") {
                return Unary(ts, depth + 1) == 0 ? 1u : 0u;
            }
        }
        if (t.kind == Tok::Ident && EqualsNoCase(t.text, "NOT")) {
            return ~Unary(ts, depth + 1);
        }
        if (t.kind == Tok::Ident) {
            ts.Fail("undefined identifier '" + t.text + "'");
        }
        if (t.kind == Tok::End) {
            ts.Fail("expression expected before end of file");
        }
        ts.Fail("number expected");
        return 0; // not reached: Fail throws, which a virtual call does not tell every compiler
    }
    static std::uint32_t Mul(TokenSource& ts, int depth)
    {
        std::uint32_t v = Unary(ts, depth);
        for (;;) {
            const Token& p = ts.Peek();
            if (p.kind != Tok::Punct || (p.text != "*" && p.text != "/" && p.text != "%")) {
                return v;
            }
            std::string op = ts.Next().text;
            std::uint32_t r = Unary(ts, depth);
            if (op == "*") {
                v *= r;
            } else if (r == 0) {
                ts.Fail("division by zero");
            } else {
                v = op == "/" ? v / r : v % r;
            }
        }
    }
    static std::uint32_t Add(TokenSource& ts, int depth)
    {
        std::uint32_t v = Mul(ts, depth);
        for (;;) {
            const Token& p = ts.Peek();
            if (p.kind != Tok::Punct || (p.text != "+" && p.text != "-")) {
                return v;
            }
            bool plus = ts.Next().text == "+";
            std::uint32_t r = Mul(ts, depth);
            v = plus ? v + r : v - r;
        }
    }
    static std::uint32_t Cmp(TokenSource& ts, int depth)
    {
        std::uint32_t v = Add(ts, depth);
        for (;;) {
            const Token& p = ts.Peek();
            if (p.kind != Tok::Punct ||
                (p.text != "==" && p.text != "!=" && p.text != "<" && p.text != ">")) {
                return v;
            }
            std::string op = ts.Next().text;
            std::uint32_t r = Add(ts, depth);
            v = op == "==" ? v == r : op == "!=" ? v != r : op == "<" ? v < r : v > r;
        }
    }
    static std::uint32_t And(TokenSource& ts, int depth)
    {
        std::uint32_t v = Cmp(ts, depth);
        while (ts.Peek().kind == Tok::Punct && ts.Peek().text == "&") {
            ts.Next();
            v &= Cmp(ts, depth);
        }
        return v;
    }
    static std::uint32_t Or(TokenSource& ts, int depth)
    {
        std::uint32_t v = And(ts, depth);
        while (ts.Peek().kind == Tok::Punct && ts.Peek().text == "|") {
            ts.Next();
            v |= And(ts, depth);
        }
        return v;
    }
    static std::uint32_t Logic(TokenSource& ts, int depth)
    {
        std::uint32_t v = Or(ts, depth);
        for (;;) {
            const Token& p = ts.Peek();
            if (p.kind != Tok::Punct || (p.text != "&&" && p.text != "||")) {
                return v;
            }
            bool isAnd = ts.Next().text == "&&";
            std::uint32_t r = Or(ts, depth);
            v = isAnd ? (v && r) : (v || r);
        }
    }
};

class Parser final : public TokenSource {
  public:
    Parser(const RcIncludeResolver& resolver) : resolver_(resolver) {}

    RcParseResult Run(std::string_view text, const std::string& fileName);

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
    [[noreturn]] void Fail(const std::string& reason) override
    {
        throw ParseFailure{RcError{lastFile_, lastLine_, reason}};
    }
    [[noreturn]] void FailAt(const Token& t, const std::string& reason)
    {
        throw ParseFailure{RcError{t.file, t.line, reason}};
    }

  private:
    // Lexing.
    Token Lex();
    bool LexToken(Source& src, Token& out, bool stopAtNewline);
    void SkipSpaceAndComments(Source& src, bool stopAtNewline);
    std::wstring LexString(Source& src, bool wide);
    void Directive(Source& src);
    std::vector<Token> LexRestOfLine(Source& src);
    Token Expand(Token t);
    void ExpandInto(const Token& t, std::vector<Token>& out, int depth);
    bool Active() const { return conds_.empty() || conds_.back().active; }
    void SkipInactiveLine(Source& src);
    std::uint32_t EvalDirectiveExpr(std::vector<Token> tokens, const Source& src);

    // Grammar.
    void Statement();
    void StringTable();
    void Dialog(const ResName& name, bool extended);
    void Control(DialogTemplate& dlg, const std::string& keyword, bool extended);
    ResName ResourceName(const Token& t);
    bool IsKeyword(const Token& t, std::string_view kw) const
    {
        return t.kind == Tok::Ident && EqualsNoCase(t.text, kw);
    }
    bool IsPunct(const Token& t, std::string_view p) const { return t.kind == Tok::Punct && t.text == p; }
    void ExpectPunct(std::string_view p, const char* what);
    bool AcceptPunct(std::string_view p)
    {
        if (IsPunct(Peek(), p)) {
            Next();
            return true;
        }
        return false;
    }
    bool AcceptBegin()
    {
        const Token& t = Peek();
        if (IsKeyword(t, "BEGIN") || IsPunct(t, "{")) {
            Next();
            return true;
        }
        return false;
    }
    bool IsEnd(const Token& t) const { return IsKeyword(t, "END") || IsPunct(t, "}"); }
    std::wstring ExpectString(const char* what);
    std::int16_t Coordinate(const char* what);
    std::uint32_t Style(std::uint32_t defaults);
    void SkipMemoryFlags();
    void LanguageStatement(LANGID& lang);

  public:
    // Expressions (shared with #if).
    static std::uint32_t Expr(TokenSource& ts, int depth);

  private:
    const RcIncludeResolver& resolver_;
    std::vector<std::unique_ptr<Source>> sources_;
    std::vector<Conditional> conds_;
    std::unordered_map<std::string, std::vector<Token>> macros_;
    std::set<std::string> onceFiles_;
    std::deque<Token> pending_;
    std::size_t expanded_ = 0;
    std::string lastFile_;
    int lastLine_ = 0;
    LANGID language_ = 1033;
    std::vector<RcResource> resources_;
    std::map<std::pair<LANGID, std::uint16_t>, std::array<std::wstring, 16>> stringBlocks_;
    std::set<std::pair<LANGID, std::uint32_t>> stringIds_;
    std::vector<std::string> included_;
};

void Parser::SkipSpaceAndComments(Source& src, bool stopAtNewline)
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

std::wstring Parser::LexString(Source& src, bool wide)
{
    (void)wide; // both forms are UTF-8 in the script and wide in the table
    const std::string& s = src.text;
    std::wstring out;
    ++src.pos; // opening quote
    for (;;) {
        if (src.pos >= s.size() || s[src.pos] == '\n') {
            throw ParseFailure{RcError{src.file, src.line, "unterminated string"}};
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

bool Parser::LexToken(Source& src, Token& out, bool stopAtNewline)
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

std::vector<Token> Parser::LexRestOfLine(Source& src)
{
    std::vector<Token> tokens;
    Token t;
    while (LexToken(src, t, true)) {
        tokens.push_back(std::move(t));
    }
    return tokens;
}

void Parser::SkipInactiveLine(Source& src)
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

class VectorSource final : public TokenSource {
  public:
    VectorSource(std::vector<Token> t, std::string file, int line)
        : tokens_(std::move(t)), file_(std::move(file)), line_(line)
    {
    }
    const Token& Peek() override { return pos_ < tokens_.size() ? tokens_[pos_] : end_; }
    Token Next() override { return pos_ < tokens_.size() ? tokens_[pos_++] : end_; }
    [[noreturn]] void Fail(const std::string& reason) override
    {
        throw ParseFailure{RcError{file_, line_, reason}};
    }
    bool AtEnd() const { return pos_ >= tokens_.size(); }

  private:
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    Token end_;
    std::string file_;
    int line_;
};

std::uint32_t Parser::EvalDirectiveExpr(std::vector<Token> tokens, const Source& src)
{
    std::vector<Token> expanded;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == Tok::Ident && t.text == "defined") {
            bool paren =
                i + 1 < tokens.size() && tokens[i + 1].kind == Tok::Punct && tokens[i + 1].text == "(";
            std::size_t nameAt = i + (paren ? 2 : 1);
            if (nameAt >= tokens.size() || tokens[nameAt].kind != Tok::Ident) {
                throw ParseFailure{RcError{src.file, src.line, "defined without a name"}};
            }
            const std::string& name = tokens[nameAt].text;
            Token v = t;
            v.kind = Tok::Number;
            v.value = (macros_.count(name) || BuiltinSymbols().count(name)) ? 1 : 0;
            expanded.push_back(v);
            i = nameAt;
            if (paren) {
                if (i + 1 >= tokens.size() || tokens[i + 1].text != ")") {
                    throw ParseFailure{RcError{src.file, src.line, "missing ')' after defined"}};
                }
                ++i;
            }
            continue;
        }
        ExpandInto(t, expanded, 0);
    }
    // Identifiers left after expansion count as 0, as in C.
    for (Token& t : expanded) {
        if (t.kind == Tok::Ident) {
            t.kind = Tok::Number;
            t.value = 0;
        }
    }
    VectorSource vs(std::move(expanded), src.file, src.line);
    std::uint32_t v = Expr(vs, 0);
    if (!vs.AtEnd()) {
        vs.Fail("unexpected tokens after #if expression");
    }
    return v;
}

void Parser::Directive(Source& src)
{
    ++src.pos; // '#'
    SkipSpaceAndComments(src, true);
    std::size_t start = src.pos;
    while (src.pos < src.text.size() && IsIdentChar(src.text[src.pos])) {
        ++src.pos;
    }
    std::string name = src.text.substr(start, src.pos - start);
    const int line = src.line;
    auto fail = [&](const std::string& reason) -> void {
        throw ParseFailure{RcError{src.file, line, reason}};
    };

    // Conditionals are followed even inside inactive branches.
    if (name == "ifdef" || name == "ifndef" || name == "if") {
        Conditional c;
        c.parentActive = Active();
        if (!c.parentActive) {
            SkipInactiveLine(src);
            c.active = false;
            c.taken = true;
        } else {
            std::vector<Token> rest = LexRestOfLine(src);
            bool value = false;
            if (name == "if") {
                value = EvalDirectiveExpr(std::move(rest), src) != 0;
            } else {
                if (rest.size() != 1 || rest[0].kind != Tok::Ident) {
                    fail("#" + name + " needs one name");
                }
                bool defined = macros_.count(rest[0].text) || BuiltinSymbols().count(rest[0].text);
                value = (name == "ifdef") == defined;
            }
            c.active = value;
            c.taken = value;
        }
        conds_.push_back(c);
        return;
    }
    if (name == "elif" || name == "else" || name == "endif") {
        if (conds_.empty()) {
            fail("#" + name + " without #if");
        }
        Conditional& c = conds_.back();
        if (name == "endif") {
            SkipInactiveLine(src);
            conds_.pop_back();
            return;
        }
        if (c.sawElse) {
            fail("#" + name + " after #else");
        }
        if (name == "else") {
            SkipInactiveLine(src);
            c.sawElse = true;
            c.active = c.parentActive && !c.taken;
            c.taken = true;
            return;
        }
        if (!c.parentActive || c.taken) {
            SkipInactiveLine(src);
            c.active = false;
            return;
        }
        c.active = EvalDirectiveExpr(LexRestOfLine(src), src) != 0;
        c.taken = c.active;
        return;
    }
    if (!Active()) {
        SkipInactiveLine(src);
        return;
    }
    if (name == "define") {
        Token macro;
        if (!LexToken(src, macro, true) || macro.kind != Tok::Ident) {
            fail("#define needs a name");
        }
        // Function-like macros are not used by resource scripts; they are
        // accepted and left undefined.
        bool functionLike = src.pos < src.text.size() && src.text[src.pos] == '(';
        std::vector<Token> rest = LexRestOfLine(src);
        if (!functionLike) {
            macros_[macro.text] = std::move(rest);
        }
        return;
    }
    if (name == "undef") {
        std::vector<Token> rest = LexRestOfLine(src);
        if (rest.size() != 1 || rest[0].kind != Tok::Ident) {
            fail("#undef needs one name");
        }
        macros_.erase(rest[0].text);
        return;
    }
    if (name == "include") {
        SkipSpaceAndComments(src, true);
        const std::string& s = src.text;
        if (src.pos >= s.size() || (s[src.pos] != '"' && s[src.pos] != '<')) {
            fail("#include needs \"file\" or <file>");
        }
        bool angled = s[src.pos] == '<';
        char close = angled ? '>' : '"';
        std::size_t end = s.find(close, src.pos + 1);
        std::size_t nl = s.find('\n', src.pos);
        if (end == std::string::npos || (nl != std::string::npos && end > nl)) {
            fail("unterminated #include");
        }
        std::string file = s.substr(src.pos + 1, end - src.pos - 1);
        src.pos = end + 1;
        if (!LexRestOfLine(src).empty()) {
            fail("unexpected text after #include");
        }
        std::string resolved = file;
        std::optional<std::string> text;
        if (resolver_) {
            text = resolver_(file, angled, src.file, resolved);
        }
        if (!text) {
            if (IsSystemHeader(file)) {
                return; // its constants are predefined
            }
            fail("cannot open include file '" + file + "'");
        }
        if (onceFiles_.count(resolved)) {
            return;
        }
        if (static_cast<int>(sources_.size()) >= kMaxIncludeDepth) {
            fail("#include nested too deeply");
        }
        included_.push_back(resolved);
        auto inc = std::make_unique<Source>();
        inc->file = resolved;
        inc->text = std::move(*text);
        if (inc->text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            inc->pos = 3;
        }
        sources_.push_back(std::move(inc));
        return;
    }
    if (name == "pragma") {
        std::vector<Token> rest = LexRestOfLine(src);
        if (!rest.empty() && rest[0].kind == Tok::Ident && rest[0].text == "code_page") {
            if (rest.size() != 4 || rest[1].text != "(" || rest[3].text != ")") {
                fail("malformed #pragma code_page");
            }
            bool utf8 = rest[2].kind == Tok::Number && rest[2].value == 65001;
            if (!utf8) {
                fail("unsupported code page in #pragma code_page: scripts are UTF-8 (65001)");
            }
        } else if (!rest.empty() && rest[0].kind == Tok::Ident && rest[0].text == "once") {
            onceFiles_.insert(src.file);
        }
        return; // other pragmas do not concern resources
    }
    if (name == "error") {
        fail("#error" + src.text.substr(src.pos, src.text.find('\n', src.pos) - src.pos));
    }
    if (name.empty()) {
        SkipInactiveLine(src);
        return; // a lone '#' is a null directive
    }
    fail("unknown preprocessor directive #" + name);
}

Token Parser::Lex()
{
    for (;;) {
        if (sources_.empty()) {
            Token end;
            end.file = lastFile_;
            end.line = lastLine_;
            return end;
        }
        Source& src = *sources_.back();
        SkipSpaceAndComments(src, false);
        if (src.pos >= src.text.size()) {
            if (sources_.size() == 1 && !conds_.empty()) {
                throw ParseFailure{RcError{src.file, src.line, "missing #endif"}};
            }
            lastFile_ = src.file;
            lastLine_ = src.line;
            sources_.pop_back();
            continue;
        }
        if (src.atLineStart && src.text[src.pos] == '#') {
            Directive(src);
            continue;
        }
        if (!Active()) {
            SkipInactiveLine(src);
            continue;
        }
        Token t;
        if (LexToken(src, t, false)) {
            return t;
        }
    }
}

void Parser::ExpandInto(const Token& t, std::vector<Token>& out, int depth)
{
    if (t.kind != Tok::Ident) {
        out.push_back(t);
        return;
    }
    auto m = macros_.find(t.text);
    if (m == macros_.end()) {
        auto b = BuiltinSymbols().find(t.text);
        auto c = BuiltinClassNames().find(t.text);
        if (b != BuiltinSymbols().end()) {
            Token n = t;
            n.kind = Tok::Number;
            n.value = b->second;
            out.push_back(n);
        } else if (c != BuiltinClassNames().end()) {
            Token n = t;
            n.kind = Tok::String;
            n.str = c->second;
            out.push_back(n);
        } else {
            out.push_back(t);
        }
        return;
    }
    if (depth >= kMaxMacroDepth) {
        throw ParseFailure{RcError{t.file, t.line, "macro '" + t.text + "' expands recursively"}};
    }
    for (const Token& r : m->second) {
        if (++expanded_ > kMaxExpandedTokens) {
            throw ParseFailure{RcError{t.file, t.line, "macro expansion too large"}};
        }
        Token copy = r;
        copy.file = t.file;
        copy.line = t.line;
        ExpandInto(copy, out, depth + 1);
    }
}

Token Parser::Expand(Token t)
{
    for (;;) {
        if (t.kind != Tok::Ident) {
            return t;
        }
        std::vector<Token> out;
        ExpandInto(t, out, 0);
        if (out.size() == 1 && out[0].kind == Tok::Ident && out[0].text == t.text) {
            return t;
        }
        if (out.empty()) {
            t = Lex(); // a macro defined as nothing
            continue;
        }
        for (auto it = out.rbegin(); it + 1 != out.rend(); ++it) {
            pending_.push_front(*it);
        }
        return out.front();
    }
}

// Expression grammar: || && | & comparisons + - * / % and unary - + ~ ! NOT,
// on unsigned 32-bit values.
std::uint32_t Parser::Expr(TokenSource& ts, int depth)
{
    if (depth > kMaxExpressionDepth) {
        ts.Fail("expression nested too deeply");
    }
    return ExprParser::Logic(ts, depth + 1);
}

void Parser::ExpectPunct(std::string_view p, const char* what)
{
    Token t = Next();
    if (!IsPunct(t, p)) {
        FailAt(t, std::string("expected '") + std::string(p) + "' " + what);
    }
}

std::wstring Parser::ExpectString(const char* what)
{
    Token t = Next();
    if (t.kind != Tok::String) {
        FailAt(t, std::string("expected a string ") + what);
    }
    std::wstring s = std::move(t.str);
    // Adjacent literals are joined.
    while (Peek().kind == Tok::String) {
        s += Next().str;
    }
    return s;
}

std::int16_t Parser::Coordinate(const char* what)
{
    const Token& at = Peek();
    Token copy = at;
    auto v = static_cast<std::int32_t>(Expr(*this, 0));
    if (v < -32768 || v > 32767) {
        FailAt(copy, std::string(what) + " out of range");
    }
    return static_cast<std::int16_t>(v);
}

// A style: terms joined by '|', where "NOT term" removes bits from the
// statement's default style instead of adding them.
std::uint32_t Parser::Style(std::uint32_t defaults)
{
    std::uint32_t set = 0;
    std::uint32_t clear = 0;
    for (;;) {
        if (IsKeyword(Peek(), "NOT")) {
            Next();
            clear |= ExprParser::Unary(*this, 0);
        } else {
            set |= ExprParser::And(*this, 0);
        }
        if (!AcceptPunct("|")) {
            break;
        }
    }
    return (defaults | set) & ~clear;
}

void Parser::SkipMemoryFlags()
{
    static const std::array<const char*, 9> flags{
        "PRELOAD", "LOADONCALL", "FIXED", "MOVEABLE", "DISCARDABLE", "PURE", "IMPURE", "SHARED", "NONSHARED"};
    for (;;) {
        const Token& t = Peek();
        bool any = false;
        for (const char* f : flags) {
            if (IsKeyword(t, f)) {
                any = true;
            }
        }
        if (!any) {
            return;
        }
        Next();
    }
}

void Parser::LanguageStatement(LANGID& lang)
{
    Token at = Peek();
    std::uint32_t primary = Expr(*this, 0);
    ExpectPunct(",", "between language and sub-language");
    std::uint32_t sub = Expr(*this, 0);
    if (primary > 0x3FF || sub > 0x3F) {
        FailAt(at, "language out of range");
    }
    lang = MAKELANGID(primary, sub);
}

ResName Parser::ResourceName(const Token& t)
{
    if (t.kind == Tok::Number) {
        if (t.value > 0xFFFF) {
            FailAt(t, "resource ID out of range");
        }
        return ResName::Ordinal(static_cast<std::uint16_t>(t.value));
    }
    std::wstring name;
    if (t.kind == Tok::String) {
        name = t.str;
    } else if (t.kind == Tok::Ident) {
        name.assign(t.text.begin(), t.text.end());
    } else {
        FailAt(t, "resource name expected");
    }
    if (name.empty()) {
        FailAt(t, "empty resource name");
    }
    for (wchar_t& c : name) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return ResName::Named(std::move(name));
}

void Parser::Statement()
{
    Token t = Next();
    if (IsKeyword(t, "LANGUAGE")) {
        LanguageStatement(language_);
        return;
    }
    if (IsKeyword(t, "STRINGTABLE")) {
        StringTable();
        return;
    }
    if (t.kind != Tok::Number && t.kind != Tok::Ident && t.kind != Tok::String) {
        FailAt(t, "resource statement expected");
    }
    // A name, then the resource type.
    ResName name = ResourceName(t);
    Token type = Next();
    if (IsKeyword(type, "DIALOGEX")) {
        Dialog(name, true);
    } else if (IsKeyword(type, "DIALOG")) {
        Dialog(name, false);
    } else if (type.kind == Tok::End) {
        FailAt(type, "resource type expected before end of file");
    } else {
        std::string what = type.kind == Tok::Ident    ? type.text
                           : type.kind == Tok::Number ? std::to_string(type.value)
                                                      : std::string("?");
        FailAt(type, "unsupported resource type '" + what + "'");
    }
}

void Parser::StringTable()
{
    SkipMemoryFlags();
    LANGID lang = language_;
    for (;;) {
        const Token& t = Peek();
        if (IsKeyword(t, "LANGUAGE")) {
            Next();
            LanguageStatement(lang);
        } else if (IsKeyword(t, "CHARACTERISTICS") || IsKeyword(t, "VERSION")) {
            Next();
            Expr(*this, 0);
        } else {
            break;
        }
    }
    if (!AcceptBegin()) {
        FailAt(Peek(), "expected BEGIN after STRINGTABLE");
    }
    while (!IsEnd(Peek())) {
        Token at = Peek();
        if (at.kind == Tok::End) {
            FailAt(at, "missing END of STRINGTABLE");
        }
        std::uint32_t id = Expr(*this, 0);
        if (id > 0xFFFF) {
            FailAt(at, "string ID out of range");
        }
        AcceptPunct(",");
        std::wstring text = ExpectString("in STRINGTABLE");
        if (text.size() > 0xFFFF) {
            FailAt(at, "string too long");
        }
        if (!stringIds_.insert({lang, id}).second) {
            FailAt(at, "duplicate string ID " + std::to_string(id));
        }
        stringBlocks_[{lang, static_cast<std::uint16_t>(id / 16 + 1)}][id % 16] = std::move(text);
    }
    Next();
}

void Parser::Dialog(const ResName& name, bool extended)
{
    SkipMemoryFlags();
    DialogTemplate dlg;
    dlg.x = Coordinate("x");
    ExpectPunct(",", "after x");
    dlg.y = Coordinate("y");
    ExpectPunct(",", "after y");
    dlg.cx = Coordinate("width");
    ExpectPunct(",", "after x, y");
    dlg.cy = Coordinate("height");
    if (extended && AcceptPunct(",")) {
        dlg.helpId = Expr(*this, 0);
    }
    LANGID lang = language_;
    bool hasStyle = false;
    bool hasCaption = false;
    bool hasFont = false;
    std::uint32_t style = 0;
    for (;;) {
        Token t = Peek();
        if (IsKeyword(t, "STYLE")) {
            Next();
            style = Style(0);
            hasStyle = true;
        } else if (IsKeyword(t, "EXSTYLE")) {
            Next();
            dlg.exStyle = Style(0);
        } else if (IsKeyword(t, "CAPTION")) {
            Next();
            dlg.caption = ExpectString("after CAPTION");
            hasCaption = true;
        } else if (IsKeyword(t, "FONT")) {
            Next();
            Token at = Peek();
            std::uint32_t size = Expr(*this, 0);
            if (size > 0xFFFF) {
                FailAt(at, "font size out of range");
            }
            dlg.pointSize = static_cast<std::uint16_t>(size);
            ExpectPunct(",", "after the font size");
            dlg.typeface = ExpectString("for the font name");
            if (extended && AcceptPunct(",")) {
                dlg.weight = static_cast<std::uint16_t>(Expr(*this, 0));
                if (AcceptPunct(",")) {
                    dlg.italic = static_cast<std::uint8_t>(Expr(*this, 0) != 0);
                    if (AcceptPunct(",")) {
                        dlg.charset = static_cast<std::uint8_t>(Expr(*this, 0));
                    }
                }
            }
            hasFont = true;
        } else if (IsKeyword(t, "LANGUAGE")) {
            Next();
            LanguageStatement(lang);
        } else if (IsKeyword(t, "MENU")) {
            Next();
            Token m = Next();
            dlg.menu = ResourceName(m);
        } else if (IsKeyword(t, "CLASS")) {
            Next();
            Token c = Next();
            if (c.kind == Tok::String) {
                dlg.windowClass = ResName::Named(c.str);
            } else {
                dlg.windowClass = ResourceName(c);
            }
        } else if (IsKeyword(t, "CHARACTERISTICS") || IsKeyword(t, "VERSION")) {
            Next();
            Expr(*this, 0);
        } else {
            break;
        }
    }
    dlg.style = hasStyle ? style : (WS_POPUP | WS_BORDER | WS_SYSMENU);
    if (hasCaption) {
        dlg.style |= WS_CAPTION;
    }
    if (hasFont) {
        dlg.style |= DS_SETFONT;
    } else {
        dlg.style &= ~static_cast<std::uint32_t>(DS_SETFONT);
    }
    if (!AcceptBegin()) {
        FailAt(Peek(), "expected BEGIN or a dialog option");
    }
    while (!IsEnd(Peek())) {
        Token t = Next();
        if (t.kind == Tok::End) {
            FailAt(t, "missing END of dialog");
        }
        if (t.kind != Tok::Ident) {
            FailAt(t, "control statement expected");
        }
        std::string kw = t.text;
        for (char& c : kw) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        Control(dlg, kw, extended);
        if (dlg.items.size() > 0xFFFF) {
            FailAt(t, "too many controls");
        }
    }
    Next();
    resources_.push_back(RcResource{ResName::Ordinal(RT_DIALOG), name, lang, EncodeDialogTemplate(dlg)});
}

void Parser::Control(DialogTemplate& dlg, const std::string& kw, bool extended)
{
    struct Kind {
        const char* keyword;
        std::uint16_t cls;
        std::uint32_t style;
        bool hasText;
    };
    static const std::array<Kind, 18> kinds{{
        {"PUSHBUTTON", kClassButton, BS_PUSHBUTTON | WS_TABSTOP, true},
        {"DEFPUSHBUTTON", kClassButton, BS_DEFPUSHBUTTON | WS_TABSTOP, true},
        {"PUSHBOX", kClassButton, 0xA | WS_TABSTOP, true},
        {"CHECKBOX", kClassButton, BS_CHECKBOX | WS_TABSTOP, true},
        {"AUTOCHECKBOX", kClassButton, BS_AUTOCHECKBOX | WS_TABSTOP, true},
        {"RADIOBUTTON", kClassButton, BS_RADIOBUTTON | WS_TABSTOP, true},
        {"AUTORADIOBUTTON", kClassButton, BS_AUTORADIOBUTTON | WS_TABSTOP, true},
        {"STATE3", kClassButton, BS_3STATE | WS_TABSTOP, true},
        {"AUTO3STATE", kClassButton, BS_AUTO3STATE | WS_TABSTOP, true},
        {"GROUPBOX", kClassButton, BS_GROUPBOX, true},
        {"LTEXT", kClassStatic, SS_LEFT | WS_GROUP, true},
        {"CTEXT", kClassStatic, SS_CENTER | WS_GROUP, true},
        {"RTEXT", kClassStatic, SS_RIGHT | WS_GROUP, true},
        {"ICON", kClassStatic, SS_ICON, true},
        {"EDITTEXT", kClassEdit, ES_LEFT | WS_BORDER | WS_TABSTOP, false},
        {"LISTBOX", kClassListBox, 0x1 | WS_BORDER, false},
        {"COMBOBOX", kClassComboBox, 0x1 | WS_TABSTOP, false},
        {"SCROLLBAR", kClassScrollBar, 0, false},
    }};
    DialogItemTemplate item;
    auto readText = [&] {
        Token t = Peek();
        if (t.kind == Tok::String) {
            item.text = ResName::Named(ExpectString("for the control text"));
            if (item.text.name.empty()) {
                item.text = ResName{};
            }
        } else {
            std::uint32_t v = Expr(*this, 0);
            if (v > 0xFFFF) {
                FailAt(t, "control text ordinal out of range");
            }
            item.text = ResName::Ordinal(static_cast<std::uint16_t>(v));
        }
    };
    auto readId = [&] {
        item.id = Expr(*this, 0);
        if (!extended) {
            item.id &= 0xFFFF;
        }
    };
    auto readRect = [&](bool sizeOptional) {
        item.x = Coordinate("x");
        ExpectPunct(",", "after x");
        item.y = Coordinate("y");
        if (sizeOptional && !IsPunct(Peek(), ",")) {
            return;
        }
        ExpectPunct(",", "after y");
        item.cx = Coordinate("width");
        ExpectPunct(",", "after width");
        item.cy = Coordinate("height");
    };
    if (kw == "CONTROL") {
        readText();
        ExpectPunct(",", "after the control text");
        readId();
        ExpectPunct(",", "after the control ID");
        Token c = Next();
        if (c.kind == Tok::String) {
            static const std::array<std::pair<const wchar_t*, std::uint16_t>, 6> predefined{{
                {L"BUTTON", kClassButton},
                {L"EDIT", kClassEdit},
                {L"STATIC", kClassStatic},
                {L"LISTBOX", kClassListBox},
                {L"SCROLLBAR", kClassScrollBar},
                {L"COMBOBOX", kClassComboBox},
            }};
            item.windowClass = ResName::Named(c.str);
            for (const auto& [n, ord] : predefined) {
                std::wstring upper = c.str;
                for (wchar_t& ch : upper) {
                    ch = static_cast<wchar_t>(std::towupper(ch));
                }
                if (upper == n) {
                    item.windowClass = ResName::Ordinal(ord);
                }
            }
            if (c.str.empty()) {
                FailAt(c, "empty control class name");
            }
        } else if (c.kind == Tok::Ident) {
            static const std::array<std::pair<const char*, std::uint16_t>, 6> predefined{{
                {"BUTTON", kClassButton},
                {"EDIT", kClassEdit},
                {"STATIC", kClassStatic},
                {"LISTBOX", kClassListBox},
                {"SCROLLBAR", kClassScrollBar},
                {"COMBOBOX", kClassComboBox},
            }};
            bool found = false;
            for (const auto& [n, ord] : predefined) {
                if (EqualsNoCase(c.text, n)) {
                    item.windowClass = ResName::Ordinal(ord);
                    found = true;
                }
            }
            if (!found) {
                FailAt(c, "unknown control class '" + c.text + "'");
            }
        } else {
            FailAt(c, "control class expected");
        }
        ExpectPunct(",", "after the control class");
        item.style = Style(WS_CHILD | WS_VISIBLE);
        ExpectPunct(",", "after the control style");
        readRect(false);
        if (AcceptPunct(",")) {
            item.exStyle = Style(0);
            if (extended && AcceptPunct(",")) {
                item.helpId = Expr(*this, 0);
            }
        }
        dlg.items.push_back(std::move(item));
        return;
    }
    const Kind* kind = nullptr;
    for (const Kind& k : kinds) {
        if (kw == k.keyword) {
            kind = &k;
        }
    }
    if (!kind) {
        Fail("unknown control statement '" + kw + "'");
    }
    item.windowClass = ResName::Ordinal(kind->cls);
    if (kind->hasText) {
        readText();
        ExpectPunct(",", "after the control text");
    }
    readId();
    ExpectPunct(",", "after the control ID");
    readRect(kw == "ICON");
    item.style = WS_CHILD | WS_VISIBLE | kind->style;
    if (AcceptPunct(",")) {
        item.style = Style(item.style);
        if (AcceptPunct(",")) {
            item.exStyle = Style(0);
            if (extended && AcceptPunct(",")) {
                item.helpId = Expr(*this, 0);
            }
        }
    }
    dlg.items.push_back(std::move(item));
}

RcParseResult Parser::Run(std::string_view text, const std::string& fileName)
{
    RcParseResult result;
    auto src = std::make_unique<Source>();
    src->file = fileName;
    src->text.assign(text.begin(), text.end());
    if (src->text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        src->pos = 3;
    }
    lastFile_ = fileName;
    lastLine_ = 1;
    sources_.push_back(std::move(src));
    try {
        while (Peek().kind != Tok::End) {
            Statement();
        }
        for (auto& [key, entries] : stringBlocks_) {
            resources_.push_back(RcResource{ResName::Ordinal(RT_STRING), ResName::Ordinal(key.second),
                                            key.first, EncodeStringBlock(entries)});
        }
        result.resources = std::move(resources_);
    } catch (const ParseFailure& f) {
        result.error = f.error;
    }
    result.includedFiles = std::move(included_);
    return result;
}

} // namespace

RcParseResult ParseRc(std::string_view text, const std::string& fileName, const RcIncludeResolver& resolver)
{
    Parser parser(resolver);
    return parser.Run(text, fileName);
}

} // namespace qz::platform
