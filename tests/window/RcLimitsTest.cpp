// The parser's bounds on hostile scripts: how many files it reads, how much
// text macros and files may stand for.
#include "rc/RcParser.h"

#include <gtest/gtest.h>

#include <string>

namespace qz::platform {
namespace {

std::string ErrorOf(const RcParseResult& r)
{
    return r.error ? r.error->ToString() : "no error";
}

TEST(RcLimitsTest, IncludesAreBoundedInNumberAndSize)
{
    // Each file includes the next eight times: shallow, but 8^11 includes.
    // The resolver gives up long after the parser should have.
    int calls = 0;
    RcIncludeResolver fanOut = [&](const std::string& name, bool, const std::string&,
                                   std::string& resolved) -> std::optional<std::string> {
        if (++calls > 50000) {
            return std::nullopt;
        }
        resolved = name;
        const int level = std::stoi(name.substr(1));
        std::string text;
        for (int k = 0; k < 8 && level < 11; ++k) {
            text += "#include \"f" + std::to_string(level + 1) + ".rc\"\n";
        }
        return text;
    };
    RcParseResult r = ParseRc("#include \"f1.rc\"\n", "f0.rc", fanOut);
    EXPECT_NE(ErrorOf(r).find(": error: more than 10000 #include directives"), std::string::npos) << ErrorOf(r);
    EXPECT_LE(calls, 10000);

    RcIncludeResolver huge = [](const std::string& name, bool, const std::string&,
                                std::string& resolved) -> std::optional<std::string> {
        resolved = name;
        return std::string(kMaxRcScriptBytes + 1, ' ');
    };
    EXPECT_EQ(ErrorOf(ParseRc("\n#include \"big.rc\"\n", "main.rc", huge)),
              "main.rc:2: error: include file 'big.rc' is larger than 16 MiB");
    EXPECT_EQ(ErrorOf(ParseRc(std::string(kMaxRcScriptBytes + 1, ' '), "main.rc")),
              "main.rc:1: error: file larger than 16 MiB");

    // Small enough one by one, too much together.
    RcIncludeResolver mebibyte = [](const std::string& name, bool, const std::string&,
                                    std::string& resolved) -> std::optional<std::string> {
        resolved = name;
        return std::string(std::size_t{1} << 20, '\n');
    };
    std::string many;
    for (int i = 0; i < 70; ++i) {
        many += "#include \"m.rc\"\n";
    }
    EXPECT_EQ(ErrorOf(ParseRc(many, "main.rc", mebibyte)),
              "main.rc:64: error: the script and its includes exceed 64 MiB in all");
}

TEST(RcLimitsTest, ExpandedTextAndLiteralsAreBoundedInCharacters)
{
    // Few tokens, but 10^4 copies of a 2000-character string.
    const std::string script = "#define S \"" + std::string(2000, 'x') + "\"\n" +
                               "#define T S S S S S S S S S S\n#define U T T T T T T T T T T\n"
                               "#define V U U U U U U U U U U\n#define W V V V V V V V V V V\n"
                               "STRINGTABLE\nBEGIN\n1, W\nEND\n";
    EXPECT_EQ(ErrorOf(ParseRc(script, "m.rc")), "m.rc:8: error: macro expansion too large");

    // A dialog's caption is no string table entry, but just as bounded.
    const std::string caption = "1 DIALOGEX 0, 0, 10, 10\nCAPTION \"" + std::string(70000, 'y') + "\"\nBEGIN\nEND\n";
    EXPECT_EQ(ErrorOf(ParseRc(caption, "c.rc")), "c.rc:2: error: string longer than 65535 characters");
}

}  // namespace
}  // namespace qz::platform
