// `qzskin check` on skins the designer would not apply as written.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>
#include <filesystem>
#include <string>

#include "IniTestUtil.h"

namespace {

namespace fs = std::filesystem;
using qz::test::ScratchDir;

fs::path Tool()
{
    return fs::read_symlink("/proc/self/exe").parent_path() / "qzskin";
}

int Check(const fs::path& skin, std::string& out)
{
    const std::string command = "'" + Tool().string() + "' check '" + skin.string() + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    out.clear();
    char chunk[4096];
    for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        out.append(chunk, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(QzSkinCheck, NamesEachCycleOfBaseTemplatesOnce)
{
    if (!fs::exists(Tool()))
        GTEST_SKIP() << "qzskin is not built";
    ScratchDir dir;
    fs::copy(QZ_SKIN_DIR, dir.Path(), fs::copy_options::recursive);
    // Every dialog template names dialogBase as its base; now dialogBase
    // names one of them, and a further template names itself.
    std::string text = dir.Read("Dialogs/Dialogs.ini");
    const std::string base = "[dialogBase]\n";
    ASSERT_NE(text.find(base), std::string::npos);
    text.insert(text.find(base) + base.size(), "baseTemplate = updateDialog\n");
    text += "\n[loneDialog]\ncontrolClass = CQZ_BeautyDialog\nbaseTemplate = LONEDIALOG\n";
    dir.Write("Dialogs/Dialogs.ini", text);

    std::string out;
    EXPECT_EQ(Check(dir.Path(), out), 1);
    EXPECT_EQ(out, "Dialogs/Dialogs.ini [dialogBase] baseTemplate: base templates form a cycle: "
                   "dialogBase -> updateDialog -> dialogBase\n"
                   "Dialogs/Dialogs.ini [loneDialog] baseTemplate: base templates form a cycle: "
                   "loneDialog -> loneDialog\n");
}

}  // namespace
