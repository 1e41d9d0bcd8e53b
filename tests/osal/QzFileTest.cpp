#include "osal/QzFile.h"
#include "osal/QzFileFind.h"
#include "osal/QzFileSystemItem.h"

#include "support/FileText.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>

using QzOSAL::QzFile;
using QzOSAL::QzFileFind;
using QzOSAL::QzFileSystemItem;
using QzOSAL::QzPath;
namespace fs = std::filesystem;
namespace sp = qz::platform;

namespace {

class QzFileTest : public ::testing::Test {
  protected:
    std::wstring Path(const std::string& name) const { return (dir_ / name).wstring(); }
    void WriteFile(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
    std::string ReadFile(const std::string& name) const { return qz::test::ReadText(dir_ / name); }

    qz::test::TempFolder folder_{"qz-file"};
    const fs::path& dir_ = folder_.path();
};

TEST_F(QzFileTest, OpenModesAndTheirResults)
{
    QzFile mustExist(Path("missing"));
    EXPECT_EQ(mustExist.Open(0), 1);
    EXPECT_EQ(mustExist.Open(QzFile::kModeWrite | QzFile::kModeMustExist), 3);
    // Read access alone never creates, even with the create bits.
    EXPECT_EQ(mustExist.Open(QzFile::kModeRead | QzFile::kModeTruncate), 3);
    EXPECT_FALSE(fs::exists(dir_ / "missing"));

    QzFile created(Path("created"));
    EXPECT_EQ(created.Open(QzFile::kModeWrite), 0);
    EXPECT_TRUE(fs::exists(dir_ / "created"));
    EXPECT_EQ(created.Open(QzFile::kModeRead), 1) << "a second Open while open";
    EXPECT_EQ(created.Close(), 0);
    EXPECT_EQ(created.Close(), 8);

    // Write without truncation keeps what is there; with it the file starts empty.
    WriteFile("kept", "0123456789");
    QzFile kept(Path("kept"));
    ASSERT_EQ(kept.Open(QzFile::kModeWrite), 0);
    ASSERT_EQ(kept.Write("ab", 2), 0);
    kept.Close();
    EXPECT_EQ(ReadFile("kept"), "ab23456789");
    ASSERT_EQ(kept.Open(QzFile::kModeWrite | QzFile::kModeTruncate), 0);
    kept.Close();
    EXPECT_EQ(ReadFile("kept"), "");

    // A folder is no file, and a missing folder on the way is a failure.
    QzFile folder(dir_.wstring());
    EXPECT_EQ(folder.Open(QzFile::kModeRead), 1);
    QzFile deep(Path("no-such-folder/file"));
    EXPECT_EQ(deep.Open(QzFile::kModeWrite), 3);
}

// Open's result in a child process that runs as an unprivileged user, so
// that permissions bind even when the tests run as root.
int OpenAsNobody(const std::wstring& path, std::uint32_t mode)
{
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(100);
        }
        QzFile file{QzPath(path)};
        _exit(file.Open(mode));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(QzFileTest, WritingToAReadOnlyFileGivesFive)
{
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    WriteFile("locked", "x");
    fs::permissions(dir_ / "locked", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(OpenAsNobody(Path("locked"), QzFile::kModeWrite), 5);
    EXPECT_EQ(OpenAsNobody(Path("locked"), QzFile::kModeReadWrite | QzFile::kModeMustExist), 5);
    EXPECT_EQ(OpenAsNobody(Path("locked"), QzFile::kModeRead), 0);

    // Denied by a folder rather than by the file: any other failure.
    fs::create_directory(dir_ / "closed");
    WriteFile("closed/inside", "x");
    fs::permissions(dir_ / "closed", fs::perms::owner_all);
    EXPECT_EQ(OpenAsNobody(Path("closed/inside"), QzFile::kModeWrite), 1);
}

TEST_F(QzFileTest, ReadWriteSeekAndLength)
{
    QzFile file(Path("data"));
    char buffer[16] = {};
    std::size_t read = 99;
    std::uint64_t position = 0;
    EXPECT_EQ(file.Read(buffer, 4, read), 1) << "closed";
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(file.Write("x", 1), 1);

    ASSERT_EQ(file.Open(QzFile::kModeReadWrite), 0);
    ASSERT_EQ(file.Write("hello world", 11), 0);
    ASSERT_EQ(file.GetPosition(position), 0);
    EXPECT_EQ(position, 11u);

    ASSERT_EQ(file.SeekToBegin(), 0);
    ASSERT_EQ(file.Read(buffer, 5, read), 0);
    EXPECT_EQ(std::string(buffer, read), "hello");
    ASSERT_EQ(file.Seek(1, 1), 0) << "any other origin moves from the current position";
    ASSERT_EQ(file.Read(buffer, 2, read), 0);
    EXPECT_EQ(std::string(buffer, read), "wo");
    ASSERT_EQ(file.Seek(-3, QzFile::kFromEnd), 0);
    ASSERT_EQ(file.Read(buffer, sizeof buffer, read), 0);
    EXPECT_EQ(std::string(buffer, read), "rld") << "a short read only at the end";
    ASSERT_EQ(file.Read(buffer, sizeof buffer, read), 0);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(file.Seek(-1, QzFile::kFromBegin), 1);

    ASSERT_EQ(file.Seek(5, QzFile::kFromBegin), 0);
    ASSERT_EQ(file.SetLength(), 0);
    std::uint64_t length = 0;
    ASSERT_EQ(file.GetLength(length), 0);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(ReadFile("data"), "hello");

    // Write access alone cannot read.
    ASSERT_EQ(file.Open(QzFile::kModeWrite), 0);
    EXPECT_EQ(file.Read(buffer, 1, read), 1);
}

TEST_F(QzFileTest, ItemRecordsOfFilesFoldersAndMissingPaths)
{
    WriteFile("ten.bin", "0123456789");
    fs::create_directory(dir_ / "dir");
    WriteFile(".hidden", "");

    const QzFileSystemItem file(QzPath(Path("ten.bin")));
    EXPECT_TRUE(file.Exists());
    EXPECT_EQ(file.GetKind(), 0);
    EXPECT_EQ(file.GetSize(), 10u);
    EXPECT_EQ(file.GetRecord().fileName, L"ten.bin");
    EXPECT_EQ(file.GetRecord().attributes, sp::FILE_ATTRIBUTE_NORMAL);
    // Times are FILETIME ticks: 100 ns steps since 1601.
    struct stat info {};
    ASSERT_EQ(stat((dir_ / "ten.bin").c_str(), &info), 0);
    const std::uint64_t expected = 116444736000000000ULL +
                                   static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 10000000ULL +
                                   static_cast<std::uint64_t>(info.st_mtim.tv_nsec) / 100;
    EXPECT_EQ(file.GetRecord().lastWriteTime, expected);

    // A folder written with a trailing separator reads the folder itself.
    for (const std::wstring& text : {Path("dir") + L"/", Path("dir") + L"\\"}) {
        const QzFileSystemItem folder{QzPath(text)};
        EXPECT_EQ(folder.GetFullPath(), Path("dir"));
        EXPECT_TRUE(folder.IsDirectory());
    }
    // Only one separator comes off; the root keeps its own.
    EXPECT_FALSE(QzFileSystemItem(QzPath(Path("dir") + L"//")).Exists());
    EXPECT_EQ(QzFileSystemItem(QzPath(L"/")).GetFullPath(), L"/");

    EXPECT_EQ(QzFileSystemItem(QzPath(Path(".hidden"))).GetRecord().attributes, sp::FILE_ATTRIBUTE_HIDDEN);
    fs::permissions(dir_ / "ten.bin", fs::perms::owner_read);
    EXPECT_EQ(QzFileSystemItem(QzPath(Path("ten.bin"))).GetRecord().attributes, sp::FILE_ATTRIBUTE_READONLY);

    // A missing path is a valid item with a zero record.
    const QzFileSystemItem missing{QzPath(Path("missing.txt"))};
    EXPECT_FALSE(missing.Exists());
    EXPECT_EQ(missing.GetRecord().lastWriteTime, 0u);
}

std::map<std::wstring, QzFileSystemItem> FindAll(QzFileFind& find)
{
    std::map<std::wstring, QzFileSystemItem> found;
    while (find.FindNext()) {
        found.emplace(find.GetItem().GetRecord().fileName, find.GetItem());
    }
    return found;
}

std::vector<std::wstring> Names(const std::map<std::wstring, QzFileSystemItem>& found)
{
    std::vector<std::wstring> names;
    for (const auto& entry : found) {
        names.push_back(entry.first);
    }
    return names;
}

TEST_F(QzFileTest, FoundItemOfANameWithABackslashIsThatFile)
{
    WriteFile("a\\b", "xyz");
    QzFileFind find(QzPath(dir_.wstring()), L"a*");
    ASSERT_TRUE(find.FindNext());
    const QzFileSystemItem& item = find.GetItem();
    EXPECT_EQ(item.GetFullPath(), Path("a\\b"));
    const QzFileSystemItem fresh{QzPath(item.GetFullPath())};
    EXPECT_TRUE(fresh.Exists());
    EXPECT_EQ(fresh.GetSize(), 3u);
}

TEST_F(QzFileTest, FindListsMatchingEntriesWithoutDotEntries)
{
    WriteFile("a.txt", "aaa");
    WriteFile("b.txt", "");
    WriteFile("c.log", "");
    WriteFile("[a].txt", "");
    WriteFile(".hidden", "");
    fs::create_directory(dir_ / "sub");
    WriteFile("sub/inner.txt", "");

    QzFileFind all(QzPath(dir_.wstring() + L"/"));
    const auto found = FindAll(all);
    EXPECT_EQ(Names(found),
              (std::vector<std::wstring>{L".hidden", L"[a].txt", L"a.txt", L"b.txt", L"c.log", L"sub"}));
    EXPECT_EQ(all.GetLastError(), sp::ERROR_NO_MORE_FILES);
    EXPECT_FALSE(all.FindNext()) << "an ended search stays ended";
    EXPECT_EQ(found.at(L"a.txt").GetSize(), 3u);

    // Brackets are plain characters, the folder is not searched recursively, "*.*" takes names without a
    // dot, and without wildcards the pattern names one entry.
    const std::pair<const wchar_t*, std::vector<std::wstring>> patterns[] = {
        {L"*.txt", {L"[a].txt", L"a.txt", L"b.txt"}}, {L"?.log", {L"c.log"}}, {L"a*t", {L"a.txt"}},
        {L"*.*", {L".hidden", L"[a].txt", L"a.txt", L"b.txt", L"c.log", L"sub"}}, {L"c.log", {L"c.log"}}};
    for (const auto& [pattern, names] : patterns) {
        QzFileFind find(QzPath(dir_.wstring()), pattern);
        EXPECT_EQ(Names(FindAll(find)), names) << pattern;
    }

    // "." and ".." match "*" but are filtered out, so in an empty folder the search simply ends.
    fs::create_directory(dir_ / "empty");
    const std::tuple<std::wstring, const wchar_t*, std::uint32_t> failures[] = {
        {dir_.wstring(), L"x*", sp::ERROR_FILE_NOT_FOUND}, {Path("missing"), L"*", sp::ERROR_PATH_NOT_FOUND},
        {Path("empty"), L"*", sp::ERROR_NO_MORE_FILES}};
    for (const auto& [folder, pattern, error] : failures) {
        QzFileFind find{QzPath(folder), pattern};
        EXPECT_FALSE(find.FindNext()) << folder;
        EXPECT_EQ(find.GetLastError(), error) << folder;
    }
}

} // namespace
