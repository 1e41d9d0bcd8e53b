// Downloads that continue where an earlier one stopped, against a loopback server that honours Range
// and If-Range, cuts connections, ignores Range, lies in Content-Range or changes the file, and
// against partial files and records planted by another user.
#include "patchservice/ResumeRecord.h"
#include "patchservice/TavorHttpTransfer.h"

#include "support/FileText.h"
#include "support/FolderNames.h"
#include "support/RecordingHost.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using qz::test::RecordingHost;
using qz::test::ServedFile;
using qz::test::TestHttpServer;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr std::uint64_t kLength = 1000000;
constexpr std::uint64_t kCancelAt = 300000;
constexpr uid_t kOtherUser = 65534;

std::string Pattern(std::uint64_t length)
{
    std::string bytes(length, '\0');
    for (std::uint64_t i = 0; i < length; ++i)
        bytes[i] = TestHttpServer::PatternByte(i);
    return bytes;
}

ServedFile PatternFile(std::string etag)
{
    ServedFile file;
    file.generatedLength = kLength;
    file.etag = std::move(etag);
    return file;
}

// A patch download's transfer, without pauses, that records what it shows its host, its log and the
// body as its observer sees it.
struct Download : ITransferBodyObserver {
    explicit Download(std::uint64_t cancelAt = 0)
    {
        transfer.SetAskBeforeOverwriting(false);
        transfer.SetSaveErrorAnswer(false);
        transfer.SetResume(true);
        transfer.SetResumePause(std::chrono::milliseconds(0));
        transfer.SetProgressReceiver(&host);
        transfer.SetLogSink([this](const std::wstring& line) { lines.push_back(line); });
        transfer.SetBodyObserver(this);
        if (cancelAt != 0)
            host.cancelled = [this, cancelAt] { return seen.size() >= cancelAt; };
    }
    void OnBodyStart() override { seen.clear(); }
    void OnBodyBytes(const std::uint8_t* data, std::size_t length) override
    {
        seen.append(reinterpret_cast<const char*>(data), length);
    }
    bool Logged(const std::wstring& part) const
    {
        return std::any_of(lines.begin(), lines.end(),
                            [&](const std::wstring& line) { return line.find(part) != std::wstring::npos; });
    }
    std::vector<std::uint64_t> Progress() const
    {
        std::vector<std::uint64_t> values;
        for (const std::wstring& value : host.ArgumentsOf("OnProgress"))
            values.push_back(std::stoull(value));
        return values;
    }

    RecordingHost host;
    CTavorHttpTransfer transfer;
    std::vector<std::wstring> lines;
    std::string seen;
};

class ResumeTest : public ::testing::Test {
protected:
    void Clean()
    {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        server_.ClearRequests();
    }
    bool Fetch(Download& download, const std::string& path)
    {
        return download.transfer.DownloadToFile(qz::test::Wide(server_.Url(path)), 0, target_.wstring().c_str());
    }
    static std::string Read(const fs::path& path) { return qz::test::ReadText(path); }
    fs::path PartName() const { return target_.string() + ".part"; }
    std::string Part() const { return Read(PartName()); }
    fs::path RecordName() const { return target_.string() + ".resume"; }
    // A first run that the host cancels: its partial file is the first bytes of `file`.
    void Interrupt(const std::string& path, const std::string& file)
    {
        Download first(kCancelAt);
        ASSERT_FALSE(Fetch(first, path));
        ASSERT_TRUE(first.transfer.WasStopped());
        const std::string part = Part();
        ASSERT_GE(part.size(), kCancelAt);
        ASSERT_LT(part.size(), file.size());
        ASSERT_EQ(part, file.substr(0, part.size()));
        server_.ClearRequests();
    }
    std::vector<std::string> Ranges() const
    {
        std::vector<std::string> ranges;
        for (const auto& request : server_.Requests())
            ranges.push_back(request.Header("Range").value_or("-"));
        return ranges;
    }

    TestHttpServer server_;
    qz::test::TempFolder folder_{"qz-resume"};
    const fs::path& dir_ = folder_.path();
    const fs::path target_ = dir_ / "target.bin";
};

TEST_F(ResumeTest, AnInterruptedBodyContinuesWhereItStopped)
{
    const std::string file = Pattern(kLength);
    server_.ServeFile("/patch", PatternFile("\"v1\""));

    // Across runs: the cancelled run leaves its partial file and record.
    Interrupt("/patch", file);
    const std::uint64_t kept = Part().size();
    EXPECT_EQ(qz::test::FolderNames(dir_), (Names{"target.bin.part", "target.bin.resume"}));
    Download second;
    ASSERT_TRUE(Fetch(second, "/patch"));
    EXPECT_EQ(Read(target_), file);
    EXPECT_EQ(qz::test::FolderNames(dir_), Names{"target.bin"});
    ASSERT_EQ(Ranges(), Names{"bytes=" + std::to_string(kept) + "-"});
    EXPECT_EQ(server_.Requests()[0].Header("If-Range"), "\"v1\"");
    EXPECT_EQ(second.transfer.GetResumedFrom(), kept);
    EXPECT_TRUE(second.Logged(L"CTavorHttpTransfer::ReceiveToFile(): resumed at " + std::to_wstring(kept) +
                              L" of 1000000 bytes."));
    // The observer saw the whole file from its first byte; the host, the whole file's length and
    // progress from what was already on disk.
    EXPECT_TRUE(second.seen == file);
    EXPECT_EQ(second.host.ArgumentsOf("SetPatchSize"), std::vector<std::wstring>{L"1000000"});
    ASSERT_FALSE(second.Progress().empty());
    EXPECT_EQ(second.Progress().front(), kept);
    EXPECT_EQ(second.Progress().back(), kLength);

    // Within a run: two dropped connections are resumed.
    Clean();
    ServedFile cut = PatternFile("\"v1\"");
    cut.cuts = {250000, 600000};
    server_.ServeFile("/cut", cut);
    Download twice;
    ASSERT_TRUE(Fetch(twice, "/cut"));
    EXPECT_EQ(Read(target_), file);
    EXPECT_TRUE(twice.seen == file);
    EXPECT_EQ(twice.transfer.GetResumeCount(), 2);
    const auto ranges = Ranges();
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0], "-");
    for (std::size_t i = 1; i < 3; ++i) {
        const std::uint64_t from = std::stoull(ranges[i].substr(6));
        EXPECT_GT(from, i == 1 ? 0 : std::stoull(ranges[1].substr(6)));
        EXPECT_LE(from, cut.cuts[i - 1]);
        EXPECT_EQ(server_.Requests()[i].Header("If-Range"), "\"v1\"");
    }
    const auto progress = twice.Progress();
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), kLength);

    // A fourth drop fails the transfer and keeps what arrived, to be continued.
    Clean();
    cut.cuts = {100000, 200000, 300000, 400000};
    server_.ServeFile("/cut", cut);
    Download four;
    EXPECT_FALSE(Fetch(four, "/cut"));
    EXPECT_EQ(four.transfer.GetResumeCount(), 3);
    EXPECT_EQ(server_.Requests().size(), 4u);
    EXPECT_TRUE(four.Logged(L"CTavorHttpTransfer::ReceiveToFile(): the connection dropped at "));
    EXPECT_TRUE(four.Logged(L"resuming (3 of 3)."));
    const std::string part = Part();
    EXPECT_GT(part.size(), 300000u);
    EXPECT_LE(part.size(), 400000u);
    EXPECT_TRUE(part == file.substr(0, part.size()));
    EXPECT_TRUE(fs::exists(RecordName()));
    EXPECT_FALSE(fs::exists(target_));

    // Without a validator nothing vouches that the rest belongs to these bytes.
    Clean();
    ServedFile unvouched = PatternFile("");
    unvouched.cuts = {250000};
    server_.ServeFile("/cut", unvouched);
    Download once;
    EXPECT_FALSE(Fetch(once, "/cut"));
    EXPECT_EQ(once.transfer.GetResumeCount(), 0);
    EXPECT_EQ(Ranges(), Names{"-"});
}

TEST_F(ResumeTest, APartialFileIsContinuedOnlyWhenTheServerVouchesForIt)
{
    const std::string file = Pattern(kLength);
    const std::string changed(kLength, 'n');
    ServedFile newFile;
    newFile.body = changed;
    newFile.etag = "\"v2\"";
    ServedFile ignoring = PatternFile("\"v1\"");
    ignoring.ignoreRange = true;
    // True to itself, length and all, but a range from another offset.
    ServedFile otherOffset = PatternFile("\"v1\"");
    otherOffset.earlyBytes = 100;
    otherOffset.contentRange = [](std::uint64_t first, std::uint64_t total) {
        return "bytes " + std::to_string(first - 100) + "-" + std::to_string(total - 1) + "/" + std::to_string(total);
    };
    ServedFile longer = PatternFile("\"v1\"");
    longer.contentRange = [](std::uint64_t first, std::uint64_t total) {
        return "bytes " + std::to_string(first) + "-" + std::to_string(total - 1) + "/" + std::to_string(total + 1);
    };
    ServedFile missing = PatternFile("\"v1\"");
    missing.contentRange = [](std::uint64_t, std::uint64_t) { return std::string(); };
    // The same validator for a shorter file: the rest lies past its end.
    ServedFile shorter;
    shorter.body = file.substr(0, 200000);
    shorter.etag = "\"v1\"";
    ServedFile noValidator = PatternFile("");
    ServedFile weak = PatternFile("W/\"v1\"");
    ServedFile dated = PatternFile("");
    dated.lastModified = "Tue, 01 Dec 2026 10:00:00 GMT";
    // A weak tag says the server does not vouch for the bytes: its date does not either.
    ServedFile weakDated = weak;
    weakDated.lastModified = dated.lastModified;
    ServedFile huge = PatternFile("\"" + std::string(2000, 'v') + "\"");
    ServedFile early = PatternFile("\"v1\"");
    early.earlyBytes = 100;

    struct Case {
        const char* name;
        ServedFile first;
        ServedFile second;
        std::string secondPath;
        std::vector<std::string> ranges;  // "from" for the kept length, "-" for none
        const std::string& result;
        bool continued;
    };
    const std::vector<Case> cases = {
        {"the file changed on the server", PatternFile("\"v1\""), newFile, "/f", {"from"}, changed, false},
        {"a server that ignores Range", PatternFile("\"v1\""), ignoring, "/f", {"from"}, file, false},
        {"Content-Range from another offset", PatternFile("\"v1\""), otherOffset, "/f", {"from", "-"}, file, false},
        {"Content-Range of another length", PatternFile("\"v1\""), longer, "/f", {"from", "-"}, file, false},
        {"no Content-Range", PatternFile("\"v1\""), missing, "/f", {"from", "-"}, file, false},
        {"416", PatternFile("\"v1\""), shorter, "/f", {"from", "-"}, shorter.body, false},
        {"no validator", noValidator, noValidator, "/f", {"-"}, file, false},
        {"a weak ETag alone", weak, weak, "/f", {"-"}, file, false},
        {"Last-Modified alone", dated, dated, "/f", {"from"}, file, true},
        {"a weak ETag beside Last-Modified", weakDated, weakDated, "/f", {"-"}, file, false},
        {"a validator too long to keep", huge, huge, "/f", {"-"}, file, false},
        {"a 206 body longer than its Content-Range", PatternFile("\"v1\""), early, "/f", {"from", "-"}, file, false},
        {"another URL", PatternFile("\"v1\""), PatternFile("\"v1\""), "/g", {"-"}, file, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        server_.ServeFile("/f", c.first);
        Interrupt("/f", file);
        const std::string& tag = c.first.etag;
        const bool validated = tag.empty() ? !c.first.lastModified.empty() : tag[0] == '"' && tag.size() < 1000;
        EXPECT_EQ(fs::exists(RecordName()), validated);
        const std::string from = "bytes=" + std::to_string(Part().size()) + "-";
        server_.ServeFile(c.secondPath, c.second);
        Download second;
        ASSERT_TRUE(Fetch(second, c.secondPath));
        EXPECT_TRUE(Read(target_) == c.result) << Read(target_).size();
        EXPECT_TRUE(second.seen == c.result);
        std::vector<std::string> expected = c.ranges;
        std::replace(expected.begin(), expected.end(), std::string("from"), from);
        EXPECT_EQ(Ranges(), expected);
        if (expected[0] != "-") {
            EXPECT_EQ(server_.Requests()[0].Header("If-Range"), tag.empty() ? c.first.lastModified : tag);
        }
        EXPECT_EQ(second.transfer.GetResumedFrom() != 0, c.continued);
        EXPECT_EQ(qz::test::FolderNames(dir_), Names{"target.bin"});
    }
}

TEST_F(ResumeTest, APartialFileOrRecordSomebodyElseCouldHavePlantedIsNotContinued)
{
    const std::string file = Pattern(kLength);
    server_.ServeFile("/f", PatternFile("\"v1\""));
    const fs::path victim = dir_.string() + "-victim";
    struct Case {
        const char* name;
        std::function<void()> plant;
        std::wstring reason;
        bool needsRoot;
    };
    const auto giveAway = [](const fs::path& name) { ASSERT_EQ(chown(name.c_str(), kOtherUser, kOtherUser), 0); };
    const auto linkToVictim = [&](const fs::path& name) {
        fs::rename(name, victim);
        fs::create_symlink(victim, name);
    };
    const std::wstring other = L"it belongs to another user", link = L"it is a link";
    const std::vector<Case> cases = {
        {"a partial file of another user's", [&] { giveAway(PartName()); }, other, true},
        {"a record of another user's", [&] { giveAway(RecordName()); }, other, true},
        {"a partial file others may read", [&] { fs::permissions(PartName(), fs::perms::others_read, fs::perm_options::add); },
         L"others may read or write it", false},
        {"a partial file with a second name",
         [&] { fs::create_hard_link(PartName(), victim); }, L"it has more than one name", false},
        {"a link as partial file", [&] { linkToVictim(PartName()); }, link, false},
        {"a link as record", [&] { linkToVictim(RecordName()); }, link, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && geteuid() != 0)
            continue;
        Clean();
        fs::remove(victim);
        Interrupt("/f", file);
        c.plant();
        const std::string planted = fs::exists(victim) ? Read(victim) : "";
        Download second;
        ASSERT_TRUE(Fetch(second, "/f"));
        EXPECT_TRUE(Read(target_) == file);
        EXPECT_EQ(Ranges(), Names{"-"});
        EXPECT_TRUE(second.Logged(L"is not continued: " + c.reason + L".")) << (second.lines.empty() ? L"" : second.lines[0]);
        // Nothing was written through a link or a second name.
        if (!planted.empty()) {
            EXPECT_TRUE(Read(victim) == planted);
        }
    }
    fs::remove(victim);
}

TEST(ResumeRecord, OnlyAWholeRecordOfOursIsRead)
{
    const CResumeRecord record{"http://h/p?a=1", "\"x y\"", 1234567890123ull};
    const std::string text = record.Serialize();
    const auto back = CResumeRecord::Parse(text);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->url, record.url);
    EXPECT_EQ(back->validator, record.validator);
    EXPECT_EQ(back->total, record.total);
    // What cannot stand on one line, or is missing, is not written.
    EXPECT_EQ((CResumeRecord{"http://h/p\nx", "v", 1}.Serialize()), "");
    EXPECT_EQ((CResumeRecord{"http://h/p", "", 1}.Serialize()), "");
    EXPECT_EQ((CResumeRecord{"http://h/p", "v", 0}.Serialize()), "");
    const std::string head = "QzAutoUpdate partial download\n";
    for (const std::string& bad : {
             text.substr(0, text.size() - 1),                                    // cut short
             head + "url=u\nvalidator=v\n",                                      // no length
             head + "url=u\nvalidator=v\ntotal=5\ntotal=6\n",                    // twice
             head + "url=u\nvalidator=v\ntotal=5\nowner=me\n",                   // unknown key
             head + "url=u\nvalidator=v\ntotal=-5\n", head + "url=u\nvalidator=v\ntotal=5x\n",
             head + "url=u\nvalidator=v\ntotal=99999999999999999999\n",          // past 64 bits
             head + "url=u\nvalidator=v\ntotal=0\n", head + "url=u\nvalidator=\ntotal=5\n",
             head + "url=u\r\nvalidator=v\ntotal=5\n", std::string("other\nurl=u\nvalidator=v\ntotal=5\n"),
             std::string(),
         }) {
        EXPECT_FALSE(CResumeRecord::Parse(bad).has_value()) << bad;
    }
}

}  // namespace
