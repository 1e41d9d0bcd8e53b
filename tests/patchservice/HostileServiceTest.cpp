// The patch query and download against servers that trickle, stall, send
// without end, lie about lengths or redirect from https to http.
#include "patchservice/PatchOnline.h"
#include "patchservice/TavorHttpTransfer.h"

#include "support/RecordingHost.h"
#include "support/ScopedEnvironment.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <vector>

namespace {

using qz::test::HttpAnswer;
using qz::test::RecordingHost;
using qz::test::TestHttpServer;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
namespace fs = std::filesystem;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The times the host was asked whether to cancel; it says yes from `after` on.
class CancelClock {
  public:
    explicit CancelClock(milliseconds after) : start_(Clock::now()), after_(after) {}
    bool Ask()
    {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = Clock::now();
        asked_.push_back(now);
        if (now - start_ < after_)
            return false;
        if (!firstYes_)
            firstYes_ = now;
        return true;
    }
    // The longest wait between two questions up to the first yes.
    milliseconds LongestGap() const
    {
        std::lock_guard lock(mutex_);
        Clock::duration longest{};
        for (std::size_t i = 1; i < asked_.size(); ++i) {
            const Clock::time_point t = asked_[i];
            longest = std::max(longest, t - asked_[i - 1]);
            if (firstYes_ && t >= *firstYes_)
                break;
        }
        return std::chrono::duration_cast<milliseconds>(longest);
    }
    // From the first yes to now.
    milliseconds SinceYes() const
    {
        std::lock_guard lock(mutex_);
        return firstYes_ ? std::chrono::duration_cast<milliseconds>(Clock::now() - *firstYes_) : milliseconds::max();
    }

  private:
    mutable std::mutex mutex_;
    Clock::time_point start_;
    milliseconds after_;
    std::vector<Clock::time_point> asked_;
    std::optional<Clock::time_point> firstYes_;
};

// The facade asks every 250 ms; a loaded, sanitized build gets some slack.
constexpr milliseconds kAskedAtLeastEvery{400};
constexpr milliseconds kStopsWithin{1000};

class HostileServiceTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("qz-hostile-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        host_.patchServiceUrl = Wide(server_.Url("/query"));
        host_.texts["GetDownloadFolder"] = dir_.wstring();
        host_.texts["GetPatchFileName"] = L"Patch.exe";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A result document that offers `size` bytes at `url`.
    static std::string Document(const std::string& url, std::uint64_t size)
    {
        return "<?xml version=\"1.0\"?><result filesize=\"" + std::to_string(size) +
               "\" version=\"2.0.0.0\" url=\"" + url + "\"><patch>Notes</patch></result>";
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TestHttpServer server_;
    RecordingHost host_;
    fs::path dir_;
};

TEST_F(HostileServiceTest, SlowSilentAndEndlessServersNeverHoldTheCaller)
{
    // A body of 2 bytes every half second: the host is asked whether to
    // cancel at least every 250 ms, sees progress, and a yes ends the
    // download at once, its bytes kept beside the patch name.
    server_.SetAnswer("/query", HttpAnswer::Ok(Document(server_.Url("/patch.exe"), 1000)));
    HttpAnswer trickle = HttpAnswer::Ok(std::string(1000, 'p'));
    trickle.slowBytes = 2;
    trickle.slowInterval = milliseconds(500);
    server_.SetAnswer("/patch.exe", trickle);
    {
        CancelClock clock(milliseconds(2000));
        host_.cancelled = [&clock] { return clock.Ask(); };
        CPatchOnline online(&host_);
        EXPECT_EQ(online.Download(true), QzAutoUpdate::kResultTransferFailed);
        EXPECT_LT(clock.SinceYes(), kStopsWithin);
        EXPECT_LE(clock.LongestGap(), kAskedAtLeastEvery);
        EXPECT_GE(host_.ArgumentsOf("OnProgress").size(), 2u);
        EXPECT_EQ(Names(), (std::vector<std::string>{"Patch.exe.part", "result.xml"}));
    }

    // A service that never answers: the query ends when the host cancels.
    HttpAnswer silent = HttpAnswer::Ok(Document(server_.Url("/patch.exe"), 1000));
    silent.silence = milliseconds(60000);
    server_.SetAnswer("/query", silent);
    {
        CancelClock clock(milliseconds(300));
        host_.cancelled = [&clock] { return clock.Ask(); };
        CPatchOnline online(&host_);
        EXPECT_EQ(online.IsAvailable(true), QzAutoUpdate::kResultFailed);
        EXPECT_LT(clock.SinceYes(), kStopsWithin);
    }

    // Without anybody cancelling, a body below the low-speed floor is a time-out.
    {
        host_.cancelled = nullptr;
        CTavorHttpTransfer transfer;
        transfer.SetAskBeforeOverwriting(false);
        transfer.SetTimeouts({5, 1024, 1, 0});
        const Clock::time_point start = Clock::now();
        EXPECT_FALSE(transfer.DownloadToFile(Wide(server_.Url("/patch.exe")), 0, (dir_ / "slow.bin").wstring().c_str()));
        EXPECT_EQ(qz::platform::InternetGetLastError(), qz::platform::ERROR_INTERNET_TIMEOUT);
        EXPECT_LT(Clock::now() - start, milliseconds(4000));
    }

    // An answer without end is cut at the cap, with a log line, and leaves
    // nothing behind.
    HttpAnswer endless = HttpAnswer::Generated(1ull << 40);
    endless.framing = HttpAnswer::Framing::Close;
    server_.SetAnswer("/query", endless);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    host_.ClearCalls();
    {
        CPatchOnline online(&host_);
        EXPECT_EQ(online.IsAvailable(true), QzAutoUpdate::kResultFailed);
        EXPECT_EQ(host_.LogLines().back(),
                  L"CPatchOnline::IsAvailable(): the answer is longer than 4194304 bytes; refused.");
        EXPECT_TRUE(Names().empty());
    }
}

TEST_F(HostileServiceTest, OnlyABodyOfTheAnnouncedLengthIsHandedOver)
{
    const std::string patch(103352, 'p');
    struct Case {
        const char* name;
        HttpAnswer answer;
        std::uint32_t result;
    };
    HttpAnswer cut = HttpAnswer::Ok(patch);
    cut.declaredLength = 1000;
    const std::vector<Case> cases = {
        {"a Content-Length shorter than the patch", cut, QzAutoUpdate::kResultTransferFailed},
        {"an empty body", HttpAnswer::Ok(""), QzAutoUpdate::kResultTransferFailed},
        {"a longer body", HttpAnswer::Ok(patch + "tail"), QzAutoUpdate::kResultTransferFailed},
        {"the patch", HttpAnswer::Ok(patch), QzAutoUpdate::kResultSuccess},
    };
    server_.SetAnswer("/query", HttpAnswer::Ok(Document(server_.Url("/patch.exe"), patch.size())));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        host_.ClearCalls();
        server_.SetAnswer("/patch.exe", c.answer);
        CPatchOnline online(&host_);
        EXPECT_EQ(online.Download(true), c.result);
        const bool good = c.result == QzAutoUpdate::kResultSuccess;
        EXPECT_EQ(host_.ArgumentsOf("AddFile").size(), good ? 1u : 0u);
        EXPECT_EQ(fs::exists(dir_ / "Patch.exe"), good);
        if (good)
            EXPECT_EQ(fs::file_size(dir_ / "Patch.exe"), patch.size());
    }
}

TEST_F(HostileServiceTest, HttpsNeverTurnsIntoHttpAndQueryValuesTravelWhole)
{
    TestHttpServer secure(TestHttpServer::Mode::Https);
    qz::test::ScopedEnvironment trust("SSL_CERT_FILE", TestHttpServer::CaFile().c_str());
    const std::string patch(100, 'p');
    server_.SetAnswer("/query", HttpAnswer::Ok(Document(server_.Url("/patch.exe"), patch.size())));
    server_.SetAnswer("/patch.exe", HttpAnswer::Ok(patch));
    secure.SetAnswer("/query", HttpAnswer::Redirect(302, server_.Url("/query")));
    secure.SetAnswer("/secure-query", HttpAnswer::Ok(Document(secure.Url("/patch.exe"), patch.size())));
    secure.SetAnswer("/patch.exe", HttpAnswer::Redirect(301, server_.Url("/patch.exe")));

    // The query and the download are each redirected to plain http: refused.
    host_.patchServiceUrl = Wide(secure.Url("/query"));
    EXPECT_EQ(CPatchOnline(&host_).IsAvailable(true), QzAutoUpdate::kResultFailed);
    host_.patchServiceUrl = Wide(secure.Url("/secure-query"));
    EXPECT_EQ(CPatchOnline(&host_).Download(true), QzAutoUpdate::kResultTransferFailed);
    EXPECT_TRUE(host_.ArgumentsOf("AddFile").empty());
    EXPECT_TRUE(server_.Requests().empty()) << server_.Requests().front().requestLine;

    // A program named with characters a request target cannot carry as
    // they are arrives whole at the service.
    host_.programName = L"C# Tools 100%";
    host_.patchServiceUrl = Wide(server_.Url("/query"));
    EXPECT_EQ(CPatchOnline(&host_).IsAvailable(true), QzAutoUpdate::kResultSuccess);
    ASSERT_FALSE(server_.Requests().empty());
    EXPECT_NE(server_.Requests().back().target.find("&program=C%23%20Tools%20100%25&"), std::string::npos)
        << server_.Requests().back().target;
}

}  // namespace
