#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "config/IniFileCache.h"
#include "config/QZIniFileReader.h"
#include "IniTestUtil.h"

namespace {

using qz::test::ScratchDir;
using qz::test::Value;

TEST(IniFileCache, TextIsReadOnceUntilClearedOrSaved)
{
    ScratchDir dir;
    dir.Write("skin.ini", "[S]\nk=old\n");
    const std::wstring name = dir.File("skin.ini");
    CQZIniFileReader::ClearCache(true);
    {
        CQZIniFileReader first;
        ASSERT_TRUE(first.Open(name.c_str()));
        EXPECT_EQ(CQZIniFileCache::Users(), 1);
        EXPECT_EQ(CQZIniFileCache::Count(), 1u);
        // A change on disk stays unseen while the cache holds the file, also
        // under another spelling of the same name.
        dir.Write("skin.ini", "[S]\nk=new\n");
        CQZIniFileReader second;
        ASSERT_TRUE(second.Open((dir.Path().wstring() + L"/./x/../skin.ini").c_str()));
        EXPECT_EQ(Value(second, L"S", L"k"), L"old");
        EXPECT_EQ(CQZIniFileCache::Users(), 2);

        // Marked for clearing: emptied only when the last user is gone.
        CQZIniFileReader::ClearCache(false);
        EXPECT_EQ(CQZIniFileCache::Count(), 1u);
    }
    EXPECT_EQ(CQZIniFileCache::Users(), 0);
    EXPECT_EQ(CQZIniFileCache::Count(), 0u);

    CQZIniFileReader reader;
    ASSERT_TRUE(reader.Open(name.c_str()));
    EXPECT_EQ(Value(reader, L"S", L"k"), L"new");
    dir.Write("skin.ini", "[S]\nk=disk\n");
    CQZIniFileReader::ClearCache(true);
    ASSERT_TRUE(reader.Open(name.c_str()));
    EXPECT_EQ(Value(reader, L"S", L"k"), L"disk");

    // Our own save replaces what the cache knew of the file.
    reader.WriteProfileString(L"S", L"k", L"saved");
    ASSERT_TRUE(reader.Save());
    CQZIniFileReader after;
    ASSERT_TRUE(after.Open(name.c_str()));
    EXPECT_EQ(Value(after, L"S", L"k"), L"saved");
}

TEST(IniFileCache, ReadersOnManyThreadsShareOneText)
{
    ScratchDir dir;
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    dir.Write("shared.ini", text);
    const std::wstring name = dir.File("shared.ini");
    CQZIniFileReader::ClearCache(true);
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 10; ++round) {
                CQZIniFileReader reader;
                if (reader.Open(name.c_str()) && reader.GetProfileInt(L"S199", L"k", -1) == 199)
                    ++good;
                if (round % 5 == 0)
                    CQZIniFileReader::ClearCache(round % 10 == 0);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(good, 40);
    EXPECT_EQ(CQZIniFileCache::Users(), 0);
}

TEST(IniFileCache, LockedFilesAreRetriedForABoundedTime)
{
    ScratchDir dir;
    dir.Write("locked.ini", "[S]\nk=v\n");
    const std::wstring name = dir.File("locked.ini");
    std::string bytes;

    // An exclusive flock on another descriptor holds readers and writers off.
    int holder = open(dir.Narrow("locked.ini").c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CQZIniFileText::ReadBytes(name, bytes, 50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_FALSE(CQZIniFileText::WriteBytes(name, "x", 0));
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        flock(holder, LOCK_UN);
    });
    EXPECT_TRUE(CQZIniFileText::ReadBytes(name, bytes, 5000));
    EXPECT_EQ(bytes, "[S]\nk=v\n");
    release.join();
    close(holder);

    // A POSIX write lock of another process counts too.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        int fd = open(dir.Narrow("locked.ini").c_str(), O_RDWR);
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        fcntl(fd, F_SETLKW, &lock);
        (void)!write(ready[1], "1", 1);
        usleep(200 * 1000);
        _exit(0);
    }
    char signal = 0;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    EXPECT_FALSE(CQZIniFileText::ReadBytes(name, bytes, 20));
    EXPECT_TRUE(CQZIniFileText::ReadBytes(name, bytes, 5000));
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(ready[1]);
}

}  // namespace
