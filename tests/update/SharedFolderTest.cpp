// The download folder as another local user sees it: the default folder is
// the user's own, planted links and files are replaced rather than written
// through, and processes sharing one folder never read each other's
// half-written files. Run as root, the planted files belong to another uid.
#include "support/FileText.h"
#include "support/RecordingHost.h"
#include "support/ResultDocument.h"
#include "support/ScopedEnvironment.h"
#include "support/SigningKitSuite.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"
#include "update/Actions.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

extern char** environ;

namespace {

using namespace QzAutoUpdate;
using qz::test::HttpAnswer;
using qz::test::RecordingHost;
using qz::test::TestHttpServer;
using qz::test::Wide;
namespace fs = std::filesystem;
using qz::test::ReadText;

constexpr uid_t kOtherUser = 65534;

class SharedFolderTest : public qz::test::SigningKitSuite {
  protected:
    void SetUp() override
    {
        SigningKitSuite::SetUp();
        if (HasFatalFailure())
            return;
        // A folder every user may write into, as /tmp is.
        ASSERT_EQ(chmod(shared_.c_str(), 01777), 0);
        server_.SetAnswer("/q", HttpAnswer::Ok(qz::test::ResultDocument{server_.Url("/p"), patch_.size()}.Xml()));
        server_.SetAnswer("/p", HttpAnswer::Ok(patch_));
        signature_ = kit_->DetachedSignatureOf(patch_);
        server_.SetAnswer("/p.p7s", HttpAnswer::Ok(signature_));
        host_.patchServiceUrl = Wide(server_.Url("/q"));
    }
    // A file of another user's, or of ours when the test cannot be root.
    void Plant(const fs::path& path, const std::string& bytes) const
    {
        std::ofstream(path, std::ios::binary) << bytes;
        chmod(path.c_str(), 0666);
        if (geteuid() == 0) {
            ASSERT_EQ(chown(path.c_str(), kOtherUser, kOtherUser), 0);
        }
    }

    const std::string patch_ = std::string(5000, 'P');
    std::string signature_;
    TestHttpServer server_;
    RecordingHost host_;
    qz::test::TempFolder folder_{"qz-shared"};
    const fs::path& shared_ = folder_.path();
};

TEST_F(SharedFolderTest, TheDefaultFolderIsTheUsersOwnOrNone)
{
    qz::test::ScopedEnvironment tmp("TMPDIR", shared_.c_str());
    const fs::path own = shared_ / ("QzAutoUpdate-" + std::to_string(geteuid()));
    EXPECT_EQ(qz::update::DispatchAction(&host_, kActionDownload), kResultSuccess);
    struct stat st {};
    ASSERT_EQ(lstat(own.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(ReadText(own / "QzUpdate.exe"), patch_);
    // A document without pug_installer hands the file over as kind 0.
    EXPECT_EQ(host_.ArgumentsOf("AddFile"), std::vector<std::wstring>{(own / "QzUpdate.exe").wstring() + L"|0"});

    // A folder others may write into, another user's, or a link: refused
    // with a log line, and nothing is fetched into it.
    const fs::path elsewhere = shared_ / "elsewhere";
    fs::create_directory(elsewhere);
    // Why the folder is refused, and how it is planted.
    std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"others may write into it", [&] { fs::create_directory(own); chmod(own.c_str(), 0777); }},
        {"it is a link", [&] { fs::create_directory_symlink(elsewhere, own); }},
    };
    if (geteuid() == 0) {
        cases.emplace_back("it belongs to another user", [&] {
            fs::create_directory(own);
            chmod(own.c_str(), 0700);
            ASSERT_EQ(chown(own.c_str(), kOtherUser, kOtherUser), 0);
        });
    }
    for (const auto& [why, plant] : cases) {
        SCOPED_TRACE(why);
        fs::remove_all(own);
        plant();
        host_.ClearCalls();
        EXPECT_EQ(qz::update::DispatchAction(&host_, kActionCheck), kResultFailed);
        // The download's own check is refused first, so no URL is known.
        EXPECT_EQ(qz::update::DispatchAction(&host_, kActionDownload), kResultNoDownloadUrl);
        const std::wstring refusal = L"CPatchOnline::ResolveDownloadFolder(): the temporary folder " +
                                     own.wstring() + L" is refused: " + Wide(why) + L".";
        const auto lines = host_.LogLines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), refusal), 2) << lines.back();
        EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
        EXPECT_TRUE(fs::is_empty(elsewhere));
    }
    fs::remove_all(own);
}

TEST_F(SharedFolderTest, PlantedLinksAndFilesAreReplacedNeverWrittenThrough)
{
    // The host names the shared folder itself; an attacker has planted links
    // under every name the library writes, and a file of their own under
    // the patch's name that they keep open to rewrite after the check.
    host_.texts["GetDownloadFolder"] = shared_.wstring() + L"/";
    const fs::path victims = shared_ / "victims";
    fs::create_directory(victims);
    for (const char* name : {"result.xml", "result.html", "QzUpdate.exe.p7s"}) {
        Plant(victims / name, "victim");
        fs::create_symlink(victims / name, shared_ / name);
    }
    Plant(shared_ / "QzUpdate.exe", "planted");
    const int attacker = open((shared_ / "QzUpdate.exe").c_str(), O_WRONLY);
    ASSERT_GE(attacker, 0);

    EXPECT_EQ(qz::update::DispatchAction(&host_, kActionDownload), kResultSuccess);
    host_.bools["IsInteractive"] = false;
    EXPECT_EQ(qz::update::DispatchAction(&host_, kActionUpdate), kResultSuccess);
    EXPECT_EQ(host_.ArgumentsOf("SetPatchVersion").back(), L"9.1.0.0");

    // The attacker's file and the link targets are untouched; the name the
    // host was given holds our file, which only we may write.
    for (const char* name : {"result.xml", "result.html", "QzUpdate.exe.p7s"})
        EXPECT_EQ(ReadText(victims / name), "victim") << name;
    ASSERT_EQ(pwrite(attacker, "evil", 4, 0), 4);
    close(attacker);
    EXPECT_EQ(ReadText(shared_ / "QzUpdate.exe"), patch_);
    struct stat st {};
    ASSERT_EQ(lstat((shared_ / "QzUpdate.exe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // No staged file is left behind; the signature stays beside the patch.
    EXPECT_EQ(ReadText(shared_ / "QzUpdate.exe.p7s"), signature_);
    for (const auto& entry : fs::directory_iterator(shared_)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "QzUpdate.exe.p7s" || name.find("QzUpdate.exe.") == std::string::npos) << name;
    }

    // Without the sticky bit anybody may rename over the file after the
    // hand-over; the host hears so.
    const std::wstring warning = L"CPatchOnline::ResolveDownloadFolder(): anybody may rename files in " +
                                 shared_.wstring() + L"/; the patch handed over may be swapped there.";
    auto warned = [&] {
        const auto lines = host_.LogLines();
        return std::find(lines.begin(), lines.end(), warning) != lines.end();
    };
    EXPECT_FALSE(warned());
    ASSERT_EQ(chmod(shared_.c_str(), 0777), 0);
    EXPECT_EQ(qz::update::DispatchAction(&host_, kActionDownload), kResultSuccess);
    EXPECT_TRUE(warned());
}

TEST_F(SharedFolderTest, ProcessesSharingOneFolderNeverReadEachOthersHalfFiles)
{
    const fs::path qzupdate = fs::path(QZ_LIBRARY_PATH).parent_path() / "qzupdate";
    if (!fs::exists(qzupdate))
        GTEST_SKIP() << "qzupdate is not built";
    // A long document, so that a reader meeting a half-written one would notice.
    const qz::test::ResultDocument longNotes{server_.Url("/p"), 1, "9.1", std::string(200000, 'n')};
    server_.SetAnswer("/q", HttpAnswer::Ok(longNotes.Xml()));
    std::vector<std::string> args = {qzupdate.string(), "check", "--quiet", "--service-url", server_.Url("/q"),
                                     "--download-folder", shared_.string()};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<pid_t> children(40);
    for (pid_t& pid : children)
        ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    int found = 0;
    for (const pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        found += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
    }
    EXPECT_EQ(found, 40);
}

}  // namespace
