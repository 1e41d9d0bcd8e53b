#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "gui/GuiErrorLog.h"
#include "platform/FileNames.h"

TEST(GuiErrorLog, AppendsTimedLinesOnlyWhenSwitchedOn)
{
    char pattern[] = "/tmp/qz_gui_log_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string file = folder + "/QZGUI-Log_Release.txt";

    CQZGuiErrorLog::Report(L"not written");
    CQZGuiErrorLog::SetFileLogging(true, qz::platform::WideFileName(folder));
    CQZGuiErrorLog::Report(L"first \u00e9");
    CQZGuiErrorLog::Report(L"second");
    CQZGuiErrorLog::SetFileLogging(false);
    CQZGuiErrorLog::Report(L"not written either");

    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::filesystem::remove_all(folder);
    const std::regex expected("\\d\\d:\\d\\d:\\d\\d: ERROR in QZGUILib: first \xc3\xa9\n"
                              "\\d\\d:\\d\\d:\\d\\d: ERROR in QZGUILib: second\n");
    EXPECT_TRUE(std::regex_match(text.str(), expected)) << text.str();
}
