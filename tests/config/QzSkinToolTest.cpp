#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "IniTestUtil.h"
#include "support/RunCommand.h"

namespace {

using qz::test::ScratchDir;

// The tool is built into the folder of the test programs.
std::filesystem::path Tool()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "qzskin";
}

int RunTool(const std::string& args, const ScratchDir& dir, std::string& out)
{
    return qz::test::RunCommand("cd '" + dir.Path().string() + "' && '" + Tool().string() + "' " + args + " 2>/dev/null",
                                out);
}

TEST(QzSkinTool, ShowsAndSavesWhatTheReaderSees)
{
    if (!std::filesystem::exists(Tool()))
        GTEST_SKIP() << "qzskin is not built";
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "inc");
    dir.Write("main.ini", "; head\n[Main]\nKey = \"Hi \\\" there\"\n; note\n$include <inc/more.ini>\n");
    dir.Write("inc/more.ini", "[More]\nx=1\n");
    const std::string more = (dir.Path() / "inc/more.ini").string();

    std::string out;
    ASSERT_EQ(RunTool("ini main.ini", dir, out), 0);
    EXPECT_EQ(out,
              "{\n  \"file\": \"main.ini\",\n  \"encoding\": \"ansi\",\n  \"header\": [\n    {\"text\": \"; head\"}\n  ],\n"
              "  \"sections\": [\n    {\"name\": \"Main\", \"entries\": [\n"
              "      {\"key\": \"Key\", \"value\": \"Hi \\\\\\\" there\"},\n"
              "      {\"key\": \"#0\", \"value\": \"; note\", \"comment\": true}\n    ]},\n"
              "    {\"name\": \"More\", \"origin\": \"#1#" + more + "\", \"entries\": [\n"
              "      {\"key\": \"x\", \"value\": \"1\", \"origin\": \"#1#" + more + "\"}\n    ]}\n  ]\n}\n");

    ASSERT_EQ(RunTool("ini main.ini --save be.ini --encoding utf16be", dir, out), 0);
    EXPECT_EQ(dir.Read("be.ini").substr(0, 4), std::string("\xFE\xFF\0;", 4));
    ASSERT_EQ(RunTool("ini be.ini", dir, out), 0);
    EXPECT_NE(out.find("\"encoding\": \"utf16be\""), std::string::npos);
    EXPECT_NE(out.find("\"origin\": \"#1#" + more), std::string::npos);

    ASSERT_EQ(RunTool("ini be.ini --save flat.ini --encoding ansi --plain", dir, out), 0);
    EXPECT_EQ(dir.Read("flat.ini"), "; head\r\n\r\n[Main]\r\nKey=Hi \\\" there\r\n; note\r\n\r\n[More]\r\nx=1\r\n\r\n");

    EXPECT_EQ(RunTool("ini missing.ini", dir, out), 1);
    EXPECT_EQ(RunTool("ini main.ini --encoding ansi", dir, out), 2);
    EXPECT_EQ(RunTool("ini main.ini --save x.ini --encoding utf8", dir, out), 2);
}

// Skins the designer would not apply as written.
TEST(QzSkinTool, CheckNamesEachCycleOfBaseTemplatesOnce)
{
    if (!std::filesystem::exists(Tool()))
        GTEST_SKIP() << "qzskin is not built";
    ScratchDir dir;
    std::filesystem::copy(QZ_SKIN_DIR, dir.Path(), std::filesystem::copy_options::recursive);
    // Every dialog template names dialogBase as its base; now dialogBase
    // names one of them, and a further template names itself.
    std::string text = dir.Read("Dialogs/Dialogs.ini");
    const std::string base = "[dialogBase]\n";
    ASSERT_NE(text.find(base), std::string::npos);
    text.insert(text.find(base) + base.size(), "baseTemplate = updateDialog\n");
    text += "\n[loneDialog]\ncontrolClass = CQZ_BeautyDialog\nbaseTemplate = LONEDIALOG\n";
    dir.Write("Dialogs/Dialogs.ini", text);

    std::string out;
    EXPECT_EQ(RunTool("check .", dir, out), 1);
    EXPECT_EQ(out, "Dialogs/Dialogs.ini [dialogBase] baseTemplate: base templates form a cycle: "
                   "dialogBase -> updateDialog -> dialogBase\n"
                   "Dialogs/Dialogs.ini [loneDialog] baseTemplate: base templates form a cycle: "
                   "loneDialog -> loneDialog\n");
}

}  // namespace
