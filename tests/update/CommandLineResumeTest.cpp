// The command-line host killed in the middle of a download, as a crash or a
// closed terminal would end it, and started again: the second run continues
// the file and says where.
#include "support/FileText.h"
#include "support/ResultDocument.h"
#include "support/SigningKitSuite.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

extern char** environ;

namespace {

using qz::test::HttpAnswer;
using qz::test::ServedFile;
using qz::test::TestHttpServer;
namespace fs = std::filesystem;
using qz::test::ReadText;

constexpr std::uint64_t kLength = 3 * 1024 * 1024;

class CommandLineResumeTest : public qz::test::SigningKitSuite {
protected:
    // Starts qzupdate download with its output going to `output`.
    pid_t Start(const fs::path& output)
    {
        std::vector<std::string> args = {qzupdate_.string(), "download", "--service-url", server_.Url("/q"),
                                         "--download-folder", dir_.string(), "--patch-file", "Patch.tar"};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return spawned == 0 ? pid : -1;
    }

    const fs::path qzupdate_ = fs::path(QZ_LIBRARY_PATH).parent_path() / "qzupdate";
    TestHttpServer server_;
};

TEST_F(CommandLineResumeTest, AKilledDownloadIsContinuedByTheNextRun)
{
    if (!fs::exists(qzupdate_))
        GTEST_SKIP() << "qzupdate is not built";
    std::string patch(kLength, '\0');
    for (std::uint64_t i = 0; i < kLength; ++i)
        patch[i] = TestHttpServer::PatternByte(i);
    server_.SetAnswer("/q", HttpAnswer::Ok(qz::test::ResultDocument{server_.Url("/p.tar"), kLength}.Xml()));
    server_.SetAnswer("/p.tar.p7s", HttpAnswer::Ok(kit_->DetachedSignatureOf(patch)));
    ServedFile slow;
    slow.generatedLength = kLength;
    slow.etag = "\"r1\"";
    slow.slowBytes = 64 * 1024;
    slow.slowInterval = std::chrono::milliseconds(100);
    server_.ServeFile("/p.tar", slow);

    // Killed once a third of the patch is on disk.
    const fs::path part = dir_ / "Patch.tar.part";
    const pid_t first = Start(dir_ / "first.out");
    ASSERT_GT(first, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const auto onDisk = [&] {
        std::error_code error;
        const auto size = fs::file_size(part, error);
        return error ? 0 : size;
    };
    while (onDisk() < kLength / 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(kill(first, SIGKILL), 0);
    int status = 0;
    waitpid(first, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::uint64_t kept = fs::file_size(part);
    ASSERT_GE(kept, kLength / 3);
    ASSERT_LT(kept, kLength);
    ASSERT_TRUE(fs::exists(dir_ / "Patch.tar.resume"));

    ServedFile fast = slow;
    fast.slowBytes = 0;
    server_.ServeFile("/p.tar", fast);
    server_.ClearRequests();
    const pid_t second = Start(dir_ / "second.out");
    ASSERT_GT(second, 0);
    waitpid(second, &status, 0);
    const std::string output = ReadText(dir_ / "second.out");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    const unsigned long long tenths = kept * 10 / (1024 * 1024);
    const std::string line =
        "resumed at " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MiB of 3.0 MiB\n";
    EXPECT_NE(output.find(line), std::string::npos) << output;
    EXPECT_TRUE(ReadText(dir_ / "Patch.tar") == patch);
    for (const auto& request : server_.Requests()) {
        if (request.target == "/p.tar") {
            EXPECT_EQ(request.Header("Range"), "bytes=" + std::to_string(kept) + "-");
            EXPECT_EQ(request.Header("If-Range"), "\"r1\"");
        }
    }
    EXPECT_FALSE(fs::exists(part));
    EXPECT_FALSE(fs::exists(dir_ / "Patch.tar.resume"));
}

}  // namespace
