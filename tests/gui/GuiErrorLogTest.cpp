#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "gui/GuiErrorLog.h"
#include "platform/FileNames.h"
#include "support/TempFolder.h"

TEST(GuiErrorLog, AppendsTimedLinesOnlyWhenSwitchedOn)
{
    const qz::test::TempFolder folder("qz_gui_log");
    const std::string file = (folder / "QZGUI-Log_Release.txt").string();

    CQZGuiErrorLog::Report(L"not written");
    CQZGuiErrorLog::SetFileLogging(true, qz::platform::WideFileName(folder.string()));
    CQZGuiErrorLog::Report(L"first \u00e9");
    CQZGuiErrorLog::Report(L"second");
    CQZGuiErrorLog::SetFileLogging(false);
    CQZGuiErrorLog::Report(L"not written either");

    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    const std::regex expected("\\d\\d:\\d\\d:\\d\\d: ERROR in QZGUILib: first \xc3\xa9\n"
                              "\\d\\d:\\d\\d:\\d\\d: ERROR in QZGUILib: second\n");
    EXPECT_TRUE(std::regex_match(text.str(), expected)) << text.str();
}
