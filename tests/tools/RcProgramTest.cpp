// qz_rc as the build runs it: what it does with paths that are no script.
#include "support/RunCommand.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

// Exit status and what the program wrote; 124 when it ran out of time.
int RunRc(const std::string& args, std::string& output)
{
    return qz::test::RunCommand("timeout 20 '" QZ_RC_PROGRAM "' --symbol s " + args + " 2>&1", output);
}

TEST(RcProgramTest, FoldersAndDevicesAreRefusedWithAnError)
{
    qz::test::TempFolder dir;
    const std::string folder = dir.string();
    const std::string script = (dir / "a.rc").string();
    std::ofstream(script) << "#define X 1\n";
    std::ofstream(dir / "zero.rc") << "// device\n#include \"/dev/zero\"\n";
    std::string out;

    EXPECT_EQ(RunRc("-o '" + folder + "' '" + script + "'", out), 1);
    EXPECT_EQ(out, folder + ": error: is a directory\n");
    EXPECT_EQ(RunRc("-o '" + folder + "/o.cpp' --depfile '" + folder + "' '" + script + "'", out), 1);
    EXPECT_EQ(out, folder + ": error: is a directory\n");
    EXPECT_EQ(RunRc("-o '" + folder + "/o.cpp' '" + folder + "'", out), 1);
    EXPECT_EQ(out, folder + ": error: not a regular file\n");
    EXPECT_EQ(RunRc("-o '" + folder + "/o.cpp' '" + (dir / "zero.rc").string() + "'", out), 1);
    EXPECT_EQ(out, (dir / "zero.rc").string() + ":2: error: cannot open include file '/dev/zero'\n");
    EXPECT_EQ(RunRc("-o '" + folder + "/o.cpp' '" + script + "'", out), 0) << out;
}

}  // namespace
