#include "platform/ShellFolders.h"

#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace qz::platform;

using qz::test::Wide;

namespace {

// Gives each test a home of its own with the XDG variables cleared; the
// tests set these variables only, so all of them are put back afterwards.
class ShellFolders : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"TMPDIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                 "XDG_STATE_HOME", "XDG_DATA_DIRS"}) {
            environment_.Unset(name);
        }
        environment_.Set("HOME", home_);
    }

    void WriteUserDirs(const std::string& folder, const std::string& text) {
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/user-dirs.dirs") << text;
    }

    qz::test::TempFolder folder_{"qz-folders"};
    const std::string home_ = folder_.string();
    qz::test::ScopedEnvironment environment_;
};

}  // namespace

TEST_F(ShellFolders, UserDirectoriesFromTheUserDirsFile) {
    WriteUserDirs(home_ + "/.config",
                  "# written by the test\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n"
                  "XDG_MUSIC_DIR=\"/srv/music/\"\n"
                  "  XDG_VIDEOS_DIR=\"$HOME/Films \\\"neu\\\"\"\n"
                  "XDG_TEMPLATES_DIR=\"relative/ignored\"\n"
                  "XDG_DOCUMENTS_DIR=\"$HOME/Old\"\n"
                  "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
                  "#XDG_PICTURES_DIR=\"$HOME/Commented\"\n"
                  "XDG_PUBLICSHARE_DIR=$HOME\n"
                  "XDG_DESKTOP_DIRX=\"$HOME/Wrong\"\n");
    const std::wstring home = Wide(home_);

    EXPECT_EQ(GetSpecialFolderPath(kCsidlDesktop), home + L"/Bureau");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlDesktopDirectory), home + L"/Bureau");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlMyMusic), L"/srv/music");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlMyVideo), home + L"/Films \"neu\"");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlPersonal), home + L"/Dokumente");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlMyDocuments), home + L"/Dokumente");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlCommonDocuments), home);
    // Unusable or missing lines fall back to the defaults.
    EXPECT_EQ(GetSpecialFolderPath(kCsidlTemplates), home + L"/Templates");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlMyPictures), home + L"/Pictures");

    // The file is found through XDG_CONFIG_HOME, read at every call.
    WriteUserDirs(home_ + "/elsewhere", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    setenv("XDG_CONFIG_HOME", (home_ + "/elsewhere").c_str(), 1);
    EXPECT_EQ(GetSpecialFolderPath(kCsidlMyPictures), home + L"/Bilder");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlDesktop), home + L"/Desktop");
}

TEST_F(ShellFolders, BaseDirectoriesFromTheEnvironmentOrDefaults) {
    const std::wstring home = Wide(home_);
    EXPECT_EQ(GetSpecialFolderPath(kCsidlProfile), home);
    EXPECT_EQ(GetSpecialFolderPath(kCsidlAppData), home + L"/.local/share");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlFonts), home + L"/.local/share/fonts");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlLocalAppData), home + L"/.config");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlInternetCache), home + L"/.cache");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlCookies), home + L"/.cache");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlHistory), home + L"/.local/state");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlCommonAppData), L"/usr/local/share");

    setenv("XDG_DATA_HOME", "/d/data/", 1);
    setenv("XDG_CONFIG_HOME", "/d/config", 1);
    setenv("XDG_CACHE_HOME", "/d/cache", 1);
    setenv("XDG_STATE_HOME", "relative/state", 1);  // not absolute: ignored
    setenv("XDG_DATA_DIRS", "relative:/usr/share/:/opt/share", 1);
    EXPECT_EQ(GetSpecialFolderPath(kCsidlAppData), L"/d/data");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlFonts), L"/d/data/fonts");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlLocalAppData), L"/d/config");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlInternetCache), L"/d/cache");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlHistory), home + L"/.local/state");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlCommonAppData), L"/usr/share");

    EXPECT_EQ(GetSpecialFolderPath(kCsidlProgramFiles), L"/opt");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlProgramFilesX86), L"/opt");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlSystem), L"/usr/lib");
}

TEST_F(ShellFolders, UndecodableBytesInNamesAreKept) {
    setenv("HOME", "/tmp/caf\xc3\xa9-\xff", 1);
    EXPECT_EQ(GetSpecialFolderPath(kCsidlProfile), L"/tmp/caf\u00e9-\xdcff");
    EXPECT_EQ(GetSpecialFolderPath(kCsidlMyMusic), L"/tmp/caf\u00e9-\xdcff/Music");
}
