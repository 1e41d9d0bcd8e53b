#include "rc/RcPreprocessor.h"

#include "platform/WinUser.h"

#include <array>
#include <map>

namespace qz::rc {

using namespace qz::platform;

namespace {

// Guards against hostile input: nesting and expansion stay bounded.
constexpr int kMaxIncludeDepth = 16;
constexpr int kMaxExpressionDepth = 64;
constexpr int kMaxMacroDepth = 32;
constexpr std::size_t kMaxExpandedTokens = 1u << 20;
// Depth alone does not bound a header that includes the next one many times.
constexpr std::size_t kMaxIncludes = 10000;
// Few tokens can stand for large strings, so characters are bounded too.
constexpr std::size_t kMaxExpandedChars = std::size_t{16} << 20;
// All files of one parse together, however often each is included.
constexpr std::size_t kMaxBytesRead = std::size_t{64} << 20;

std::string Mebibytes(std::size_t bytes)
{
    return std::to_string(bytes >> 20) + " MiB";
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

} // namespace

std::uint32_t ExprParser::Unary(TokenSource& ts, int depth)
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
std::uint32_t ExprParser::Mul(TokenSource& ts, int depth)
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
std::uint32_t ExprParser::Add(TokenSource& ts, int depth)
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
std::uint32_t ExprParser::Cmp(TokenSource& ts, int depth)
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
std::uint32_t ExprParser::And(TokenSource& ts, int depth)
{
    std::uint32_t v = Cmp(ts, depth);
    while (ts.Peek().kind == Tok::Punct && ts.Peek().text == "&") {
        ts.Next();
        v &= Cmp(ts, depth);
    }
    return v;
}
std::uint32_t ExprParser::Or(TokenSource& ts, int depth)
{
    std::uint32_t v = And(ts, depth);
    while (ts.Peek().kind == Tok::Punct && ts.Peek().text == "|") {
        ts.Next();
        v |= And(ts, depth);
    }
    return v;
}
std::uint32_t ExprParser::Logic(TokenSource& ts, int depth)
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

std::uint32_t Expr(TokenSource& ts, int depth)
{
    if (depth > kMaxExpressionDepth) {
        ts.Fail("expression nested too deeply");
    }
    return ExprParser::Logic(ts, depth + 1);
}

void Preprocessor::Open(std::string_view text, const std::string& fileName)
{
    if (text.size() > kMaxRcScriptBytes) {
        throw ParseFailure{RcError{fileName, 1, "file larger than " + Mebibytes(kMaxRcScriptBytes)}};
    }
    bytesRead_ = text.size();
    auto src = std::make_unique<Source>();
    src->file = fileName;
    src->text.assign(text.begin(), text.end());
    if (src->text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        src->pos = 3;
    }
    lastFile_ = fileName;
    lastLine_ = 1;
    sources_.push_back(std::move(src));
}

namespace {

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

} // namespace

std::uint32_t Preprocessor::EvalDirectiveExpr(std::vector<Token> tokens, const Source& src)
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

void Preprocessor::Directive(Source& src)
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
        if (++includes_ > kMaxIncludes) {
            fail("more than " + std::to_string(kMaxIncludes) + " #include directives in one script");
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
        if (text->size() > kMaxRcScriptBytes) {
            fail("include file '" + file + "' is larger than " + Mebibytes(kMaxRcScriptBytes));
        }
        bytesRead_ += text->size();
        if (bytesRead_ > kMaxBytesRead) {
            fail("the script and its includes exceed " + Mebibytes(kMaxBytesRead) + " in all");
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

Token Preprocessor::Lex()
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

void Preprocessor::ExpandInto(const Token& t, std::vector<Token>& out, int depth)
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
        expandedChars_ += r.text.size() + r.str.size();
        if (++expanded_ > kMaxExpandedTokens || expandedChars_ > kMaxExpandedChars) {
            throw ParseFailure{RcError{t.file, t.line, "macro expansion too large"}};
        }
        Token copy = r;
        copy.file = t.file;
        copy.line = t.line;
        ExpandInto(copy, out, depth + 1);
    }
}

Token Preprocessor::Expand(Token t)
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

} // namespace qz::rc
