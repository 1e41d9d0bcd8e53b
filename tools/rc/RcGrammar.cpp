#include "rc/RcParser.h"

#include "platform/WinUser.h"
#include "rc/RcPreprocessor.h"
#include "rc/ResourceEncoder.h"

#include <array>
#include <cctype>
#include <cwctype>
#include <map>
#include <set>
#include <utility>

namespace qz::rc {

using namespace qz::platform;

namespace {

// The statements of a script, read from the preprocessor's expanded tokens,
// into compiled resources.
class Grammar {
  public:
    explicit Grammar(const RcIncludeResolver& resolver) : pp_(resolver) {}

    RcParseResult Run(std::string_view text, const std::string& fileName);

  private:
    const Token& Peek() { return pp_.Peek(); }
    Token Next() { return pp_.Next(); }
    [[noreturn]] void Fail(const std::string& reason) { pp_.Fail(reason); }
    [[noreturn]] void FailAt(const Token& t, const std::string& reason)
    {
        throw ParseFailure{RcError{t.file, t.line, reason}};
    }

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

    Preprocessor pp_;
    LANGID language_ = 1033;
    std::vector<RcResource> resources_;
    std::map<std::pair<LANGID, std::uint16_t>, std::array<std::wstring, 16>> stringBlocks_;
    std::set<std::pair<LANGID, std::uint32_t>> stringIds_;
};

void Grammar::ExpectPunct(std::string_view p, const char* what)
{
    Token t = Next();
    if (!IsPunct(t, p)) {
        FailAt(t, std::string("expected '") + std::string(p) + "' " + what);
    }
}

std::wstring Grammar::ExpectString(const char* what)
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

std::int16_t Grammar::Coordinate(const char* what)
{
    const Token& at = Peek();
    Token copy = at;
    auto v = static_cast<std::int32_t>(Expr(pp_, 0));
    if (v < -32768 || v > 32767) {
        FailAt(copy, std::string(what) + " out of range");
    }
    return static_cast<std::int16_t>(v);
}

// A style: terms joined by '|', where "NOT term" removes bits from the
// statement's default style instead of adding them.
std::uint32_t Grammar::Style(std::uint32_t defaults)
{
    std::uint32_t set = 0;
    std::uint32_t clear = 0;
    for (;;) {
        if (IsKeyword(Peek(), "NOT")) {
            Next();
            clear |= ExprParser::Unary(pp_, 0);
        } else {
            set |= ExprParser::And(pp_, 0);
        }
        if (!AcceptPunct("|")) {
            break;
        }
    }
    return (defaults | set) & ~clear;
}

void Grammar::SkipMemoryFlags()
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

void Grammar::LanguageStatement(LANGID& lang)
{
    Token at = Peek();
    std::uint32_t primary = Expr(pp_, 0);
    ExpectPunct(",", "between language and sub-language");
    std::uint32_t sub = Expr(pp_, 0);
    if (primary > 0x3FF || sub > 0x3F) {
        FailAt(at, "language out of range");
    }
    lang = MAKELANGID(primary, sub);
}

ResName Grammar::ResourceName(const Token& t)
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

void Grammar::Statement()
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

void Grammar::StringTable()
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
            Expr(pp_, 0);
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
        std::uint32_t id = Expr(pp_, 0);
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

void Grammar::Dialog(const ResName& name, bool extended)
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
        dlg.helpId = Expr(pp_, 0);
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
            std::uint32_t size = Expr(pp_, 0);
            if (size > 0xFFFF) {
                FailAt(at, "font size out of range");
            }
            dlg.pointSize = static_cast<std::uint16_t>(size);
            ExpectPunct(",", "after the font size");
            dlg.typeface = ExpectString("for the font name");
            if (extended && AcceptPunct(",")) {
                dlg.weight = static_cast<std::uint16_t>(Expr(pp_, 0));
                if (AcceptPunct(",")) {
                    dlg.italic = static_cast<std::uint8_t>(Expr(pp_, 0) != 0);
                    if (AcceptPunct(",")) {
                        dlg.charset = static_cast<std::uint8_t>(Expr(pp_, 0));
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
            Expr(pp_, 0);
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

void Grammar::Control(DialogTemplate& dlg, const std::string& kw, bool extended)
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
            std::uint32_t v = Expr(pp_, 0);
            if (v > 0xFFFF) {
                FailAt(t, "control text ordinal out of range");
            }
            item.text = ResName::Ordinal(static_cast<std::uint16_t>(v));
        }
    };
    auto readId = [&] {
        item.id = Expr(pp_, 0);
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
                item.helpId = Expr(pp_, 0);
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
                item.helpId = Expr(pp_, 0);
            }
        }
    }
    dlg.items.push_back(std::move(item));
}

RcParseResult Grammar::Run(std::string_view text, const std::string& fileName)
{
    RcParseResult result;
    try {
        pp_.Open(text, fileName);
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
    result.includedFiles = pp_.TakeIncludedFiles();
    return result;
}

} // namespace

} // namespace qz::rc

namespace qz::platform {

std::string RcError::ToString() const
{
    return file + ":" + std::to_string(line) + ": error: " + reason;
}

RcParseResult ParseRc(std::string_view text, const std::string& fileName, const RcIncludeResolver& resolver)
{
    rc::Grammar grammar(resolver);
    return grammar.Run(text, fileName);
}

} // namespace qz::platform
