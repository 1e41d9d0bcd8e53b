// The resource-script parser: statements, styles, the preprocessor and the
// errors that stop the build.
#include "rc/RcParser.h"
#include "platform/WinUser.h"
#include "rc/ResourceEncoder.h"

#include <gtest/gtest.h>

#include <map>

namespace qz::platform {
namespace {

RcParseResult Parse(const std::string& text, std::map<std::string, std::string> files = {})
{
    return ParseRc(text, "test.rc",
                   [files](const std::string& name, bool, const std::string&,
                           std::string& resolved) -> std::optional<std::string> {
                       auto it = files.find(name);
                       if (it == files.end()) {
                           return std::nullopt;
                       }
                       resolved = "inc/" + name;
                       return it->second;
                   });
}

DialogTemplate OnlyDialog(const RcParseResult& r)
{
    EXPECT_FALSE(r.error) << r.error->ToString();
    EXPECT_EQ(r.resources.size(), 1u);
    std::optional<DialogTemplate> t = DecodeDialogTemplate(r.resources.at(0).data);
    EXPECT_TRUE(t);
    return t.value_or(DialogTemplate{});
}

TEST(RcParserTest, DialogStatementsAndControlStyles)
{
    RcParseResult r = Parse(R"(
LANGUAGE LANG_GERMAN, SUBLANG_GERMAN
7 DIALOGEX DISCARDABLE 1, 2, 300, 100, 99
STYLE DS_MODALFRAME | WS_POPUP
EXSTYLE WS_EX_APPWINDOW
CAPTION "Caption ""quoted"""
FONT 9, "Tahoma", 700, 1, 0
{
    PUSHBUTTON "&Go", 10, 1, 2, 30, 14
    DEFPUSHBUTTON "OK", IDOK, 1, 2, 30, 14, NOT WS_TABSTOP | WS_GROUP
    LTEXT "", IDC_STATIC, 0, 0, 5, 5
    EDITTEXT 11, 0, 0, 5, 5, ES_MULTILINE | NOT WS_BORDER, WS_EX_CLIENTEDGE
    CONTROL "x", 12, "button", BS_AUTOCHECKBOX, 0, 0, 5, 5
    CONTROL "", 13, "msctls_progress32", PBS_SMOOTH, 0, 0, 5, 5
    CONTROL 5, 14, STATIC, SS_ICON, 0, 0, 5, 5
}
)");
    DialogTemplate d = OnlyDialog(r);
    EXPECT_EQ(r.resources[0].language, 1031);
    EXPECT_EQ(r.resources[0].id, ResName::Ordinal(7));
    EXPECT_EQ(d.helpId, 99u);
    EXPECT_EQ(d.style, DS_MODALFRAME | WS_POPUP | WS_CAPTION | DS_SETFONT);
    EXPECT_EQ(d.exStyle, WS_EX_APPWINDOW);
    EXPECT_EQ(d.caption, L"Caption \"quoted\"");
    EXPECT_EQ(d.pointSize, 9);
    EXPECT_EQ(d.weight, 700);
    EXPECT_EQ(d.italic, 1);
    EXPECT_EQ(d.typeface, L"Tahoma");
    EXPECT_EQ((std::array<int, 4>{d.x, d.y, d.cx, d.cy}), (std::array<int, 4>{1, 2, 300, 100}));
    ASSERT_EQ(d.items.size(), 7u);
    const DWORD child = WS_CHILD | WS_VISIBLE;
    EXPECT_EQ(d.items[0].style, child | WS_TABSTOP | BS_PUSHBUTTON);
    EXPECT_EQ(d.items[0].text, ResName::Named(L"&Go"));
    EXPECT_EQ(d.items[0].windowClass, ResName::Ordinal(kClassButton));
    EXPECT_EQ(d.items[1].style, child | WS_GROUP | BS_DEFPUSHBUTTON);
    EXPECT_EQ(d.items[2].id, 0xFFFFFFFFu);
    EXPECT_EQ(d.items[2].text, ResName{});
    EXPECT_EQ(d.items[3].style, child | WS_TABSTOP | ES_MULTILINE);
    EXPECT_EQ(d.items[3].exStyle, WS_EX_CLIENTEDGE);
    EXPECT_EQ(d.items[4].windowClass, ResName::Ordinal(kClassButton));
    EXPECT_EQ(d.items[4].style, child | BS_AUTOCHECKBOX);
    EXPECT_EQ(d.items[5].windowClass, ResName::Named(L"msctls_progress32"));
    EXPECT_EQ(d.items[6].windowClass, ResName::Ordinal(kClassStatic));
    EXPECT_EQ(d.items[6].text, ResName::Ordinal(5));

    // Defaults without STYLE; old DIALOG keeps 16-bit IDs; named resources
    // are upper case.
    DialogTemplate plain =
        OnlyDialog(Parse("MyDlg DIALOG 0,0,10,10 BEGIN PUSHBUTTON \"a\", -1, 0,0,1,1 END"));
    EXPECT_EQ(plain.style, WS_POPUP | WS_BORDER | WS_SYSMENU);
    EXPECT_EQ(plain.items[0].id, 0xFFFFu);
    EXPECT_EQ(Parse("MyDlg DIALOG 0,0,10,10 BEGIN END").resources[0].id, ResName::Named(L"MYDLG"));
    EXPECT_EQ(Parse("1 DIALOG 0,0,10,10 BEGIN END").resources[0].language, 1033);
}

TEST(RcParserTest, PreprocessorDefinesConditionsAndIncludes)
{
    RcParseResult r = Parse(R"(#include "ids.h"
#include <windows.h>
#pragma code_page(65001)
#define TWICE (BASE * 2)
#define F(x) x
#ifdef APSTUDIO_INVOKED
this is not parsed ###
#elif defined(BASE) && BASE + 1 == 11
STRINGTABLE
BEGIN
    TWICE, L"twenty"
    BASE "ten"
END
#else
#error never
#endif
#undef BASE
#ifndef BASE
STRINGTABLE LANGUAGE 9, 2 BEGIN 1 "uk" END
#endif
)",
                            {{"ids.h", "#pragma once\n#define BASE 10\n"}});
    ASSERT_FALSE(r.error) << r.error->ToString();
    EXPECT_EQ(r.includedFiles, std::vector<std::string>{"inc/ids.h"});
    ASSERT_EQ(r.resources.size(), 3u); // blocks 1 (ID 10) and 2 (ID 20) in 1033, block 1 in 2057
    ResourceTable table;
    for (const RcResource& res : r.resources) {
        table.Add({res.type, res.id, res.language, res.data});
    }
    EXPECT_EQ(table.LoadString(20, 1033), L"twenty");
    EXPECT_EQ(table.LoadString(10, 1033), L"ten");
    EXPECT_EQ(table.LoadString(1, 2057), L"uk");
}

TEST(RcParserTest, ErrorsNameFileLineAndReason)
{
    struct Case {
        const char* text;
        int line;
        const char* reason;
    };
    const Case cases[] = {
        {"/* one\n two */\n1 DIALOGEX 0,0,1 BEGIN END", 3, "expected ',' after x, y"},
        {"STRINGTABLE\nBEGIN\n 1 \"open\nEND", 3, "unterminated string"},
        {"1 DIALOG 0,0,1,1\nBEGIN\n  SLIDER 1,2,3,4,5\nEND", 3, "unknown control statement 'SLIDER'"},
        {"#pragma code_page(1252)\n", 1, "unsupported code page"},
        {"STRINGTABLE BEGIN 1 \"a\"\n 1 \"b\" END", 2, "duplicate string ID 1"},
        {"STRINGTABLE BEGIN 4/0 \"a\" END", 1, "division by zero"},
        {"#ifdef X\n", 2, "missing #endif"},
        {"#include \"nowhere.h\"\n", 1, "cannot open include file 'nowhere.h'"},
        {"#define A B\n#define B A\nSTRINGTABLE BEGIN A \"x\" END", 3, "expands recursively"},
        {"STRINGTABLE BEGIN 1 \"\xC3\x28\" END", 1, "invalid UTF-8"},
        {"1 DIALOG 0,0,1,1\nBEGIN\n PUSHBUTTON \"a\", UNKNOWN_ID, 0,0,1,1\nEND", 3,
         "undefined identifier 'UNKNOWN_ID'"},
        {"1 ICON \"app.ico\"", 1, "unsupported resource type 'ICON'"},
        {"1 DIALOG 0,0,1,1 BEGIN", 1, "missing END of dialog"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RcParseResult r = Parse(c.text);
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->file, "test.rc");
        EXPECT_EQ(r.error->line, c.line);
        EXPECT_NE(r.error->reason.find(c.reason), std::string::npos) << r.error->reason;
        EXPECT_TRUE(r.resources.empty());
    }
    RcParseResult r = Parse("#include \"bad.h\"\n", {{"bad.h", "\n\n#define\n"}});
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->ToString(), "inc/bad.h:3: error: #define needs a name");
}

TEST(RcParserTest, TemplateBinaryRoundTripAndTruncation)
{
    DialogTemplate t;
    t.style = WS_POPUP | DS_SETFONT;
    t.cx = 10;
    t.cy = 20;
    t.caption = L"\U0001F600 caption";
    t.pointSize = 8;
    t.typeface = L"Face";
    t.menu = ResName::Ordinal(3);
    DialogItemTemplate a;
    a.windowClass = ResName::Named(L"Custom");
    a.text = ResName::Named(L"text");
    a.id = 70000;
    a.extra = {1, 2, 3};
    DialogItemTemplate b;
    b.windowClass = ResName::Ordinal(kClassEdit);
    b.x = -5;
    t.items = {a, b};
    std::vector<std::uint8_t> bytes = EncodeDialogTemplate(t);
    EXPECT_EQ(DecodeDialogTemplate(bytes), t);
    for (std::size_t n = 0; n + 4 < bytes.size(); ++n) {
        EXPECT_FALSE(DecodeDialogTemplate(std::span(bytes).first(n))) << n;
    }

    // A script may smuggle a NUL into a quoted text; the binary form ends the
    // text there and still reads back as a whole template.
    RcParseResult r = Parse("1 DIALOG 0, 0, 50, 20\nSTYLE DS_SETFONT\nFONT 8, \"Fa" + std::string(1, '\0') +
                            "ce\"\nBEGIN\n LTEXT \"x\", 5, 0, 0, 9, 9\nEND\n");
    DialogTemplate nul = OnlyDialog(r);
    EXPECT_EQ(nul.typeface, L"Fa");
    ASSERT_EQ(nul.items.size(), 1u);
    EXPECT_EQ(EncodeDialogTemplate(nul), r.resources.at(0).data);
}

} // namespace
} // namespace qz::platform
