// Loopback download throughput of the Internet layer against the curl command
// line, on the same server in the same run, with the peak memory of each
// client measured as a process of its own.
//
//   download_bench [--benchmark_...]      (QZ_BENCH_DOWNLOAD_MIB sets the size, default 1024)
//
// The server streams a generated body from one small buffer, so neither side
// is limited by disk or by the server's memory.
#include "platform/internet/Internet.h"
#include "platform/internet/InternetTestApi.h"
#include "patchservice/PatchOnline.h"
#include "patchservice/TavorHttpTransfer.h"

#include "BigImage.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace qz::platform;

namespace {

std::uint64_t BodySize()
{
    const char* mib = std::getenv("QZ_BENCH_DOWNLOAD_MIB");
    return (mib != nullptr ? std::strtoull(mib, nullptr, 10) : 1024) * 1024 * 1024;
}

// Answers every connection's first request with BodySize() bytes, except a
// query ("/query"), which gets a result document naming "/body" as the patch.
class BodyServer {
  public:
    BodyServer()
    {
        listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listenFd_, 16);
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    ~BodyServer()
    {
        stop_ = true;
        shutdown(listenFd_, SHUT_RDWR);
        thread_.join();
        close(listenFd_);
    }

    std::string Url() const { return Base() + "/body"; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

  private:
    void Run()
    {
        std::vector<char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<char>(i & 0xFF);
        }
        while (!stop_) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    break;
                }
                head.append(buffer, static_cast<std::size_t>(n));
            }
            if (head.rfind("GET /query", 0) == 0) {
                const std::string document = "<result filesize=\"" + std::to_string(BodySize()) +
                                             "\" version=\"2.0\" url=\"" + Url() + "\"><patch>bench</patch></result>";
                const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(document.size()) +
                                          "\r\nConnection: close\r\n\r\n" + document;
                send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
                close(fd);
                continue;
            }
            const std::uint64_t size = BodySize();
            const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                                       "\r\nConnection: close\r\n\r\n";
            bool ok =
                send(fd, answer.data(), answer.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(answer.size());
            // The body is a PE image whose last 8 bytes stand for the
            // certificate table, so a client's digest hashes all the rest.
            const std::vector<std::uint8_t> headers = BigImageHeaders(size - 0x408, 8);
            ok = ok && send(fd, headers.data(), headers.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(headers.size());
            for (std::uint64_t sent = headers.size(); ok && sent < size;) {
                const std::size_t n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - sent));
                const ssize_t written = send(fd, block.data(), n, MSG_NOSIGNAL);
                ok = written > 0;
                sent += ok ? static_cast<std::uint64_t>(written) : 0;
            }
            close(fd);
        }
    }

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

BodyServer& Server()
{
    static BodyServer server;
    return server;
}

// Runs programs for the benchmarks and reports each one's own peak RSS. It is
// forked first thing, while this process is still small: a child inherits
// its parent's high-water mark at exec, so spawning from the grown benchmark
// process would report the benchmark's memory instead of the child's.
class Launcher {
  public:
    struct Result {
        int status = -1;
        long peakRssKiB = 0;
    };

    Launcher()
    {
        int toLauncher[2];
        int fromLauncher[2];
        if (pipe(toLauncher) != 0 || pipe(fromLauncher) != 0) {
            std::perror("pipe");
            std::exit(1);
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(toLauncher[1]);
            close(fromLauncher[0]);
            Serve(toLauncher[0], fromLauncher[1]);
            _exit(0);
        }
        close(toLauncher[0]);
        close(fromLauncher[1]);
        commands_ = toLauncher[1];
        results_ = fromLauncher[0];
    }

    ~Launcher()
    {
        close(commands_);
        waitpid(pid_, nullptr, 0);
        close(results_);
    }

    // Runs argv (NUL-separated) to its end.
    Result Run(const std::vector<std::string>& argv)
    {
        std::string command;
        for (const std::string& arg : argv) {
            command += arg;
            command += '\0';
        }
        const std::uint32_t length = static_cast<std::uint32_t>(command.size());
        Result result;
        if (write(commands_, &length, sizeof length) != sizeof length ||
            write(commands_, command.data(), command.size()) != static_cast<ssize_t>(command.size()) ||
            read(results_, &result, sizeof result) != sizeof result) {
            result.status = -1;
        }
        return result;
    }

  private:
    static void Serve(int commands, int results)
    {
        std::uint32_t length = 0;
        while (read(commands, &length, sizeof length) == sizeof length) {
            std::string command(length, '\0');
            if (read(commands, command.data(), length) != static_cast<ssize_t>(length)) {
                return;
            }
            std::vector<char*> argv;
            for (std::size_t i = 0; i < command.size(); i += std::strlen(command.data() + i) + 1) {
                argv.push_back(command.data() + i);
            }
            argv.push_back(nullptr);
            Result result;
            pid_t pid = 0;
            if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0) {
                rusage usage{};
                int status = 0;
                wait4(pid, &status, 0, &usage);
                result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                result.peakRssKiB = usage.ru_maxrss;
            }
            if (write(results, &result, sizeof result) != sizeof result) {
                return;
            }
        }
    }

    pid_t pid_ = -1;
    int commands_ = -1;
    int results_ = -1;
};

Launcher* launcher = nullptr;
std::string selfPath;
double layerSeconds = 0;
double curlSeconds = 0;
double actionSeconds = 0;
double curlFileSeconds = 0;

// The client side of one download through the Internet layer; returns the
// bytes read and the most body bytes the layer held at once.
std::uint64_t DownloadWithInternetLayer(const std::string& url, std::size_t& highWater)
{
    const std::wstring wideUrl(url.begin(), url.end());
    std::vector<char> block(65536);
    std::uint64_t total = 0;
    HINTERNET session = InternetOpen(L"bench", INTERNET_OPEN_TYPE_DIRECT);
    HINTERNET request = InternetOpenUrl(session, wideUrl, L"", INTERNET_FLAG_DONT_CACHE, 0);
    std::size_t got = 0;
    while (request != nullptr && InternetReadFile(request, block.data(), block.size(), &got) && got > 0) {
        total += got;
    }
    highWater = InternetTestApi::BufferHighWater(request);
    InternetCloseHandle(request);
    InternetCloseHandle(session);
    return total;
}

void BM_InternetLayerInProcess(benchmark::State& state)
{
    std::uint64_t total = 0;
    std::size_t highWater = 0;
    for (auto _ : state) {
        const std::uint64_t got = DownloadWithInternetLayer(Server().Url(), highWater);
        if (got != BodySize()) {
            state.SkipWithError(InternetGetLastErrorText().c_str());
            break;
        }
        total += got;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    state.counters["buffer_high_water_KiB"] = static_cast<double>(highWater) / 1024;
}

// One download by a separate process, started by the launcher.
void RunClient(benchmark::State& state, const std::vector<std::string>& argv, double& seconds)
{
    long peak = 0;
    std::uint64_t total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const Launcher::Result result = launcher->Run(argv);
        if (result.status != 0) {
            state.SkipWithError((argv[0] + " failed").c_str());
            break;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, result.peakRssKiB);
        total += BodySize();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
}

void BM_InternetLayerProcess(benchmark::State& state)
{
    RunClient(state, {selfPath, "--client", Server().Url()}, layerSeconds);
}

void BM_CurlCommandLine(benchmark::State& state)
{
    RunClient(state, {"curl", "-s", "-o", "/dev/null", Server().Url()}, curlSeconds);
}

// The whole silent download: qzupdate loads the library and runs action 4
// (query, result document, download of the patch into a file, hand-over),
// against curl writing the same body into a file in the same folder.
std::filesystem::path DownloadFolder()
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qz-download-bench";
    std::filesystem::create_directories(dir);
    return dir;
}

void BM_DoActionDownload(benchmark::State& state)
{
    const std::string qzupdate = std::filesystem::path(selfPath).parent_path() / "qzupdate";
    RunClient(state,
              {qzupdate, "download", "--quiet", "--service-url", Server().Base() + "/query", "--download-folder",
               DownloadFolder().string(), "--patch-file", "patch.bin"},
              actionSeconds);
    std::filesystem::remove(DownloadFolder() / "patch.bin");
}

void BM_CurlToFile(benchmark::State& state)
{
    RunClient(state, {"curl", "-s", "-o", (DownloadFolder() / "curl.bin").string(), Server().Url()},
              curlFileSeconds);
    std::filesystem::remove(DownloadFolder() / "curl.bin");
}

// The transfer engine writing the body into a file with the image digest
// computed on the way, as the silent download and the updater run it,
// against curl writing the same body into the same folder.
double digestSeconds = 0;
double inlineDigestSeconds = 0;
double noDigestSeconds = 0;
double curlDigestPeerSeconds = 0;

// The digest hashed in the thread that receives, as it was before it got a
// thread of its own: the same engine, fed straight from the transfer.
class InlineDigest final : public ITransferBodyObserver {
  public:
    void OnBodyStart() override { stream_.Restart(); }
    void OnBodyBytes(const std::uint8_t* data, std::size_t length) override { stream_.Update({data, length}); }
    const ImageDigestStream& Finish() const { return stream_; }

  private:
    ImageDigestStream stream_;
};

enum DigestWay { kNoDigest = 0, kDigestThread = 1, kDigestInline = 2 };

bool DigestOk(const ImageDigestStream& stream)
{
    return stream.GetState() == ImageDigestStream::State::Hashing && stream.Fed() == BodySize();
}

// Argument: a DigestWay. What the hashing costs, and what its thread saves.
void BM_TransferWithDigest(benchmark::State& state)
{
    const auto way = static_cast<DigestWay>(state.range(0));
    const std::string url = Server().Url();
    const std::wstring target = (DownloadFolder() / "digest.bin").wstring();
    std::uint64_t total = 0;
    double finishWait = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        CPatchDigest digest;
        InlineDigest inlineDigest;
        CTavorHttpTransfer transfer;
        transfer.SetAskBeforeOverwriting(false);
        if (way == kDigestThread)
            transfer.SetBodyObserver(&digest);
        else if (way == kDigestInline)
            transfer.SetBodyObserver(&inlineDigest);
        bool ok = transfer.DownloadToFile(std::wstring(url.begin(), url.end()), 0, target.c_str());
        // The time includes waiting for the last chunks' hash, as the check does.
        if (way == kDigestThread) {
            const auto lastByte = std::chrono::steady_clock::now();
            ok = ok && DigestOk(digest.Finish());
            finishWait = std::max(
                finishWait, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - lastByte).count());
        } else if (way == kDigestInline)
            ok = ok && DigestOk(inlineDigest.Finish());
        if (!ok) {
            state.SkipWithError("the download or its digest failed");
            break;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        (way == kDigestThread ? digestSeconds : way == kDigestInline ? inlineDigestSeconds : noDigestSeconds) +=
            seconds;
        total += BodySize();
    }
    std::filesystem::remove(DownloadFolder() / "digest.bin");
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    if (way == kDigestThread)
        state.counters["last_byte_to_digest_ms"] = finishWait;
}

void BM_CurlToFilePeer(benchmark::State& state)
{
    RunClient(state, {"curl", "-s", "-o", (DownloadFolder() / "curl.bin").string(), Server().Url()},
              curlDigestPeerSeconds);
    std::filesystem::remove(DownloadFolder() / "curl.bin");
}

// Alternated, so that a burst of load on the shared machine hits both.
BENCHMARK(BM_TransferWithDigest)->Arg(kDigestInline)->Arg(kDigestThread)->Arg(kNoDigest)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlToFilePeer)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DoActionDownload)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlToFile)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InternetLayerInProcess)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InternetLayerProcess)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlCommandLine)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--client") == 0) {
        std::size_t highWater = 0;
        return DownloadWithInternetLayer(argv[2], highWater) == BodySize() ? 0 : 1;
    }
    Launcher processes;
    launcher = &processes;
    selfPath = std::filesystem::read_symlink("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (layerSeconds > 0 && curlSeconds > 0) {
        // Same body, same number of runs, each a process of its own.
        std::printf("throughput ratio, Internet layer / curl command line: %.2f\n",
                    curlSeconds / layerSeconds);
    }
    if (digestSeconds > 0 && curlDigestPeerSeconds > 0) {
        std::printf("throughput ratio, transfer engine with the image digest in its thread / curl into a file: "
                    "%.2f\n",
                    curlDigestPeerSeconds / digestSeconds);
        if (inlineDigestSeconds > 0)
            std::printf("throughput ratio, transfer engine hashing in the receiving thread / curl into a file: "
                        "%.2f\n",
                        curlDigestPeerSeconds / inlineDigestSeconds);
        if (noDigestSeconds > 0)
            std::printf("throughput ratio, transfer engine without the digest / curl into a file: %.2f\n",
                        curlDigestPeerSeconds / noDigestSeconds);
    }
    if (actionSeconds > 0 && curlFileSeconds > 0) {
        std::printf("throughput ratio, DoAction action 4 / curl into a file: %.2f\n",
                    curlFileSeconds / actionSeconds);
    }
    return 0;
}
