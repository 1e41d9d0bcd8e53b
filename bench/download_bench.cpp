// Loopback download throughput of the Internet layer against the curl command
// line, on the same server in the same run, with the peak memory of each
// client measured as a process of its own; and the CRM upload of a host that
// has loaded the library against curl posting the same file.
//
//   download_bench [--benchmark_...]      (QZ_BENCH_DOWNLOAD_MIB sets the size, default 1024;
//                                          QZ_BENCH_UPLOAD_MIB that of the upload, default 256)
//
// nginx serves a signed PE image made at start-up from a temporary folder,
// as a process of its own with sendfile: the server costs next to nothing,
// and what it costs is charged to neither client.
#include "platform/internet/Internet.h"
#include "platform/internet/InternetTestApi.h"
#include "platform/pe/ByteSource.h"
#include "platform/trust/Authenticode.h"
#include "patchservice/PatchOnline.h"
#include "patchservice/TavorHttpTransfer.h"

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include "BigImage.h"
#include "support/LoopbackPort.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace qz::platform;

namespace {

// The image's section; the file adds its headers and the signature.
std::uint64_t PayloadSize()
{
    const char* mib = std::getenv("QZ_BENCH_DOWNLOAD_MIB");
    return (mib != nullptr ? std::strtoull(mib, nullptr, 10) : 1024) << 20;
}

bool Accepts(std::uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = qz::test::LoopbackAddress(port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

// nginx under a prefix of its own: "/body" is the signed image, "/query" a
// result document naming it as the patch.
class BodyServer {
  public:
    BodyServer()
    {
        char pattern[] = "/tmp/qz-download-bench-nginx-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            Fail("no temporary folder");
        }
        dir_ = pattern;
        // Run as root, nginx's worker reads the file as nobody.
        chmod(pattern, 0755);
        for (const char* sub : {"www", "logs", "tmp", "conf"}) {
            std::filesystem::create_directory(dir_ / sub);
        }
        std::fprintf(stderr, "making a signed image of %llu MiB...\n",
                     static_cast<unsigned long long>(PayloadSize() >> 20));
        // The keys stay outside nginx's root.
        if (!MakeSigningKeys(dir_) || !MakeSignedImage(dir_, "body.exe", PayloadSize())) {
            Fail("making the signed image failed (openssl and osslsigncode are needed)");
        }
        std::filesystem::rename(dir_ / "body.exe", dir_ / "www" / "body");
        chmod((dir_ / "www" / "body").c_str(), 0644);
        size_ = std::filesystem::file_size(dir_ / "www" / "body");
        for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
            Start();
        }
        if (pid_ <= 0) {
            Fail("nginx did not start; see " + (dir_ / "logs" / "error.log").string());
        }
    }

    ~BodyServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        std::filesystem::remove_all(dir_);
    }

    std::string Url() const { return Base() + "/body"; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::uint64_t Size() const { return size_; }
    std::filesystem::path RootCertificate() const { return dir_ / "root.pem"; }

  private:
    [[noreturn]] static void Fail(const std::string& why)
    {
        std::fprintf(stderr, "download_bench: %s\n", why.c_str());
        std::exit(1);
    }

    void Start()
    {
        port_ = qz::test::UnusedLoopbackPort();
        std::ofstream(dir_ / "conf" / "nginx.conf")
            << "pid logs/nginx.pid;\nerror_log logs/error.log warn;\nworker_processes 1;\n"
               "events { worker_connections 16; }\n"
               "http {\n  access_log off;\n  client_body_temp_path tmp/body;\n  proxy_temp_path tmp/proxy;\n"
               "  fastcgi_temp_path tmp/fastcgi;\n  uwsgi_temp_path tmp/uwsgi;\n  scgi_temp_path tmp/scgi;\n"
               "  default_type application/octet-stream;\n  sendfile on;\n"
               "  server {\n    listen 127.0.0.1:"
            << port_ << ";\n    root www;\n    location = /body { }\n"
            << "    location = /query {\n      default_type text/xml;\n      return 200 '<result filesize=\"" << size_
            << "\" version=\"2.0\" url=\"" << Url() << "\"><patch>bench</patch></result>';\n    }\n"
            << "    location / { return 404; }\n  }\n}\n";
        const std::string prefix = dir_.string() + "/";
        std::vector<std::string> args = {"nginx", "-p", prefix, "-c", "conf/nginx.conf", "-g", "daemon off;"};
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const char* nginx = access("/usr/sbin/nginx", X_OK) == 0 ? "/usr/sbin/nginx" : "nginx";
        pid_t pid = 0;
        if (posix_spawnp(&pid, nginx, nullptr, nullptr, argv.data(), environ) != 0) {
            Fail("nginx is not installed (tools/deps.sh installs nginx-light)");
        }
        for (int i = 0; i < 100; ++i) {
            if (Accepts(port_)) {
                pid_ = pid;
                return;
            }
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                return; // the port was taken after all: another one
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }

    std::filesystem::path dir_;
    std::uint64_t size_ = 0;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

BodyServer* server = nullptr;

BodyServer& Server()
{
    return *server;
}

std::uint64_t BodySize()
{
    return Server().Size();
}

double CpuSeconds(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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
        double cpuSeconds = 0; ///< user and system
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
                result.cpuSeconds = CpuSeconds(usage);
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

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
        seconds += Since(start);
        peak = std::max(peak, result.peakRssKiB);
        total += BodySize();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
}

void BM_InternetLayerProcess(benchmark::State& state)
{
    RunClient(state, {selfPath, "--client", Server().Url(), std::to_string(BodySize())}, layerSeconds);
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
    // The patch's signature is checked against the root that made it.
    RunClient(state,
              {"env", "SSL_CERT_FILE=" + Server().RootCertificate().string(), qzupdate, "download", "--quiet",
               "--service-url", Server().Base() + "/query", "--download-folder", DownloadFolder().string(),
               "--patch-file", "patch.bin"},
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
double copyDigestSeconds = 0;
double noDigestSeconds = 0;
double curlDigestPeerSeconds = 0;

// The digest hashed in the thread that receives, as it was before it got a
// thread of its own: the same engine, fed straight from the transfer.
class InlineDigest final : public ITransferBodyObserver {
  public:
    void OnBodyStart() override { stream_.Restart(); }
    void OnBodyBytes(const std::uint8_t* data, std::size_t length) override { stream_.Update({data, length}); }
    const ImageDigestStream& Finish() { return stream_; }

  private:
    ImageDigestStream stream_;
};

// The digest's thread fed copies of the transfer's block, as before the
// transfer received into the digest's chunks.
class CopyingDigest final : public ITransferBodyObserver {
  public:
    void OnBodyStart() override { worker_.Restart(); }
    void OnBodyBytes(const std::uint8_t* data, std::size_t length) override { worker_.Update({data, length}); }
    const ImageDigestStream& Finish() { return worker_.Finish(); }

  private:
    ImageDigestWorker worker_;
};

enum DigestWay { kNoDigest = 0, kDigestThread = 1, kDigestInline = 2, kDigestThreadCopy = 3 };

// Once per run, outside the timing: the streamed digest is the signed
// image's, and the signature check takes it.
bool DigestVerifies(const ImageDigestStream& stream, const std::filesystem::path& file)
{
    static bool checked = false;
    if (checked) {
        return stream.GetState() == ImageDigestStream::State::Hashing && stream.Fed() == BodySize();
    }
    checked = true;
    ::setenv("SSL_CERT_FILE", Server().RootCertificate().c_str(), 1);
    const auto source = FileByteSource::Open(file);
    const AuthenticodeVerdict verdict = source ? CheckAuthenticode(*source, &stream) : AuthenticodeVerdict{};
    if (!verdict.valid || !verdict.streamedDigest) {
        std::fprintf(stderr, "the streamed digest does not verify: %s\n", verdict.reason.c_str());
        return false;
    }
    return true;
}

// One download by the transfer engine into DigestTarget(); its time, or a
// negative one when it or its digest failed. The time of a digest includes waiting for its last
// chunks' hash, as the check does.
std::filesystem::path DigestTarget()
{
    return DownloadFolder() / "digest.bin";
}

double DownloadWithDigest(DigestWay way, double* finishWaitMs = nullptr)
{
    const std::string url = Server().Url();
    const std::filesystem::path target = DigestTarget();
    const auto start = std::chrono::steady_clock::now();
    CPatchDigest digest;
    InlineDigest inlineDigest;
    CopyingDigest copyingDigest;
    ITransferBodyObserver* const observers[] = {nullptr, &digest, &inlineDigest, &copyingDigest};
    CTavorHttpTransfer transfer;
    transfer.SetAskBeforeOverwriting(false);
    transfer.SetBodyObserver(observers[way]);
    bool ok = transfer.DownloadToFile(std::wstring(url.begin(), url.end()), 0, target.wstring().c_str());
    const auto lastByte = std::chrono::steady_clock::now();
    const ImageDigestStream* stream = !ok                      ? nullptr
                                      : way == kDigestThread   ? &digest.Finish()
                                      : way == kDigestInline   ? &inlineDigest.Finish()
                                      : way == kDigestThreadCopy ? &copyingDigest.Finish()
                                                               : nullptr;
    const auto end = std::chrono::steady_clock::now();
    if (finishWaitMs != nullptr) {
        *finishWaitMs = std::max(*finishWaitMs, std::chrono::duration<double, std::milli>(end - lastByte).count());
    }
    ok = ok && (way == kNoDigest || DigestVerifies(*stream, target));
    return ok ? std::chrono::duration<double>(end - start).count() : -1;
}

// Argument: a DigestWay. What the hashing costs, and what its thread saves.
void BM_TransferWithDigest(benchmark::State& state)
{
    const auto way = static_cast<DigestWay>(state.range(0));
    double* const sum[] = {&noDigestSeconds, &digestSeconds, &inlineDigestSeconds, &copyDigestSeconds};
    std::uint64_t total = 0;
    double finishWait = 0;
    for (auto _ : state) {
        const double seconds = DownloadWithDigest(way, &finishWait);
        std::filesystem::remove(DigestTarget());
        if (seconds < 0) {
            state.SkipWithError("the download or its digest failed");
            break;
        }
        *sum[way] += seconds;
        total += BodySize();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    if (way != kNoDigest)
        state.counters["last_byte_to_digest_ms"] = finishWait;
}

void BM_CurlToFilePeer(benchmark::State& state)
{
    RunClient(state, {"curl", "-s", "-o", (DownloadFolder() / "curl.bin").string(), Server().Url()},
              curlDigestPeerSeconds);
    std::filesystem::remove(DownloadFolder() / "curl.bin");
}

// Rounds of one download with the digest in its thread and one by curl into
// a file, back to back, so that both meet the same load; each round's ratio
// is kept (QZ_BENCH_ROUNDS rounds, default 5).
std::vector<double> pairedRatios;
std::vector<double> pairedLoads;

double LoadAverage()
{
    double load = -1;
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1)
            load = -1;
        std::fclose(file);
    }
    return load;
}

void BM_TransferWithDigestAgainstCurl(benchmark::State& state)
{
    for (auto _ : state) {
        rusage before{};
        rusage after{};
        getrusage(RUSAGE_SELF, &before);
        const double ours = DownloadWithDigest(kDigestThread);
        getrusage(RUSAGE_SELF, &after);
        // The deletion of either client's file is counted for neither.
        std::filesystem::remove(DigestTarget());
        const auto start = std::chrono::steady_clock::now();
        const Launcher::Result curl =
            launcher->Run({"curl", "-s", "-o", (DownloadFolder() / "curl.bin").string(), Server().Url()});
        const double theirs = Since(start);
        std::filesystem::remove(DownloadFolder() / "curl.bin");
        if (ours < 0 || curl.status != 0) {
            state.SkipWithError("a download failed");
            break;
        }
        pairedRatios.push_back(theirs / ours);
        pairedLoads.push_back(LoadAverage());
        // CPU time does not depend on the load as much as the time does.
        std::fprintf(stderr,
                     "round %zu: ours %.0f MB/s (CPU %.2f s), curl %.0f MB/s (CPU %.2f s), ratio %.2f, load %.2f\n",
                     pairedRatios.size(), static_cast<double>(BodySize()) / ours / 1e6,
                     CpuSeconds(after) - CpuSeconds(before), static_cast<double>(BodySize()) / theirs / 1e6,
                     curl.cpuSeconds, pairedRatios.back(), pairedLoads.back());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(2 * state.iterations() * BodySize()));
}

std::int64_t Rounds()
{
    const char* rounds = std::getenv("QZ_BENCH_ROUNDS");
    return rounds != nullptr ? std::max<std::int64_t>(1, std::strtoll(rounds, nullptr, 10)) : 5;
}

// The CRM upload's sink, a process of its own forked while this one is small:
// a GET answers the upload script's URL, a POST is read to the end of its
// Content-Length before the answer, and the body's byte count goes back
// through a pipe, so each round can check that the whole file went out.
class UploadSink {
  public:
    UploadSink()
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = qz::test::LoopbackAddress(0);
        socklen_t length = sizeof address;
        int counts[2];
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            pipe(counts) != 0) {
            std::perror("upload sink");
            std::exit(1);
        }
        port_ = ntohs(address.sin_port);
        pid_ = fork();
        if (pid_ == 0) {
            close(counts[0]);
            Serve(counts[1]);
            _exit(0);
        }
        close(counts[1]);
        close(listener_);
        counts_ = counts[0];
    }

    ~UploadSink()
    {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        close(counts_);
    }

    std::string RedirectUrl() const { return Base() + "/redirect"; }
    std::string UploadUrl() const { return Base() + "/crm/upload.php"; }

    // The body length of the next POST the sink has read; 0 when none came.
    std::uint64_t ReceivedBody()
    {
        pollfd ready{counts_, POLLIN, 0};
        std::uint64_t bytes = 0;
        if (poll(&ready, 1, 30000) != 1 || read(counts_, &bytes, sizeof bytes) != sizeof bytes) {
            return 0;
        }
        return bytes;
    }

  private:
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

    void Serve(int counts)
    {
        std::vector<char> buffer(1 << 20);
        for (;;) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            std::string head;
            std::size_t end = std::string::npos;
            ssize_t got = 0;
            while (end == std::string::npos && (got = recv(client, buffer.data(), buffer.size(), 0)) > 0) {
                head.append(buffer.data(), static_cast<std::size_t>(got));
                end = head.find("\r\n\r\n");
            }
            if (end == std::string::npos) {
                close(client);
                continue;
            }
            std::string lower = head.substr(0, end);
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            const std::size_t lengthAt = lower.find("\r\ncontent-length:");
            const std::uint64_t length =
                lengthAt == std::string::npos ? 0 : std::strtoull(lower.c_str() + lengthAt + 17, nullptr, 10);
            if (lower.find("\r\nexpect: 100-continue") != std::string::npos) {
                Send(client, "HTTP/1.1 100 Continue\r\n\r\n");
            }
            std::uint64_t received = head.size() - end - 4;
            while (received < length && (got = recv(client, buffer.data(), buffer.size(), 0)) > 0) {
                received += static_cast<std::uint64_t>(got);
            }
            const bool post = lower.rfind("post ", 0) == 0;
            const std::string body = post ? "ok" : UploadUrl();
            Send(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\nConnection: close\r\n\r\n" + body);
            close(client);
            if (post && write(counts, &received, sizeof received) != sizeof received) {
                return;
            }
        }
    }

    static void Send(int client, const std::string& bytes)
    {
        if (send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
            std::perror("upload sink: send");
        }
    }

    int listener_ = -1;
    int counts_ = -1;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

UploadSink* uploadSink = nullptr;

// A host as a program that ships the library has it: loaded at its start,
// with DoAction called when the data is to go out. Only what the upload asks
// for is answered.
class UploadHost final : public QzAutoUpdate::CUpdateConfiguration2 {
  public:
    UploadHost(const std::filesystem::path& dataFile, const std::string& redirect)
        : dataFile_(dataFile.wstring()), redirect_(redirect.begin(), redirect.end())
    {
    }
    const wchar_t* GetCrmFilePath(bool) override { return dataFile_.c_str(); }
    const wchar_t* GetCrmRedirectUrl() override { return redirect_.c_str(); }
    const wchar_t* GetProgramName() override { return L"upload_bench"; }
    const wchar_t* GetPatchServiceUrl() override { return L"http://127.0.0.1:9/"; }
    const wchar_t* GetProgramLanguage() override { return L"en-GB"; }
    const wchar_t* GetProgramVersion() override { return L"1.0"; }
    const wchar_t* GetSerialNumber() override { return L""; }
    bool IsInteractive() override { return false; }
    void AddFile(const wchar_t*, QzAutoUpdate::InstallerKind) override {}
    void Log(const wchar_t* line) override { log_ += std::wstring(line) + L"\n"; }
    const std::wstring& LogLines() const { return log_; }

  private:
    std::wstring log_;
    std::wstring dataFile_;
    std::wstring redirect_;
};

// QZ_BENCH_UPLOAD_MIB, 1 to 65536; anything else ends the run before it starts.
std::uint64_t UploadSize()
{
    static const std::uint64_t bytes = [] {
        const char* mib = std::getenv("QZ_BENCH_UPLOAD_MIB");
        if (mib == nullptr) {
            return std::uint64_t{256} << 20;
        }
        char* end = nullptr;
        const unsigned long long value = std::strtoull(mib, &end, 10);
        if (*mib < '1' || *mib > '9' || *end != '\0' || value > 65536) {
            std::fprintf(stderr, "download_bench: QZ_BENCH_UPLOAD_MIB must be a number of MiB from 1 to 65536\n");
            std::exit(2);
        }
        return static_cast<std::uint64_t>(value) << 20;
    }();
    return bytes;
}

// The data file, written afresh before each upload as a host writes it.
bool WriteDataFile(const std::filesystem::path& path)
{
    static const std::vector<char> block = [] {
        std::vector<char> bytes(1 << 20);
        std::mt19937 random(7);
        std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random()); });
        return bytes;
    }();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::uint64_t written = 0; out && written < UploadSize(); written += block.size()) {
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    out.close();
    return !out.fail();
}

QzAutoUpdate::DoActionFunction doAction = nullptr;
std::vector<double> uploadRatios;
std::vector<double> uploadWithRmRatios;
// A round that failed makes the whole run fail, not only its own line.
bool uploadFailed = false;

void FailUpload(benchmark::State& state, const char* why)
{
    uploadFailed = true;
    state.SkipWithError(why);
}

// Rounds of one upload through DoAction (action 2, which deletes the file once
// it has gone out) and one by curl, then the same curl followed by deleting
// the file: the work the library does.
void BM_CrmUploadAgainstCurl(benchmark::State& state)
{
    const std::filesystem::path file = DownloadFolder() / "crm.zip";
    // The multipart head and closing part around the file.
    const auto wholeFileWentOut = [](std::uint64_t body) {
        return body > UploadSize() && body <= UploadSize() + 256;
    };
    const auto freshFile = [&] {
        if (WriteDataFile(file)) {
            return true;
        }
        FailUpload(state, "cannot write the data file (is the disk full?)");
        return false;
    };
    for (auto _ : state) {
        if (!freshFile()) {
            break;
        }
        UploadHost host(file, uploadSink->RedirectUrl());
        auto start = std::chrono::steady_clock::now();
        const std::uint32_t result = doAction(&host, QzAutoUpdate::kActionCrmUpload);
        const double ours = Since(start);
        state.SetIterationTime(ours);
        if (result != QzAutoUpdate::kResultSuccess || std::filesystem::exists(file) ||
            !wholeFileWentOut(uploadSink->ReceivedBody())) {
            std::fprintf(stderr, "%ls", host.LogLines().c_str());
            FailUpload(state, "the upload through DoAction failed or kept its file");
            break;
        }
        const std::vector<std::string> curl = {
            "curl", "-s", "--noproxy", "*", "-o", "/dev/null", "-F",
            "File=@" + file.string() + ";filename=crm.zip;type=application/octet-stream", uploadSink->UploadUrl()};
        if (!freshFile()) {
            break;
        }
        start = std::chrono::steady_clock::now();
        const Launcher::Result plain = launcher->Run(curl);
        const double theirs = Since(start);
        const bool plainOk = plain.status == 0 && wholeFileWentOut(uploadSink->ReceivedBody());
        std::filesystem::remove(file);
        if (!freshFile()) {
            break;
        }
        start = std::chrono::steady_clock::now();
        const Launcher::Result withRm = launcher->Run(curl);
        std::filesystem::remove(file);
        const double theirsWithRm = Since(start);
        if (!plainOk || withRm.status != 0 || !wholeFileWentOut(uploadSink->ReceivedBody())) {
            FailUpload(state, "curl's upload failed");
            break;
        }
        uploadRatios.push_back(theirs / ours);
        uploadWithRmRatios.push_back(theirsWithRm / ours);
        std::fprintf(stderr, "upload round %zu: DoAction %.0f MB/s, curl %.0f MB/s, ratio %.2f, to curl+rm %.2f, load %.2f\n",
                     uploadRatios.size(), static_cast<double>(UploadSize()) / ours / 1e6,
                     static_cast<double>(UploadSize()) / theirs / 1e6, uploadRatios.back(),
                     uploadWithRmRatios.back(), LoadAverage());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * UploadSize()));
}

// Best, median and worst of a run's ratios.
void PrintRatios(const char* what, std::vector<double> ratios)
{
    if (ratios.empty()) {
        return;
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("%s: %zu rounds; ratio best %.2f, median %.2f, worst %.2f\n", what, ratios.size(), ratios.back(),
                ratios[ratios.size() / 2], ratios.front());
}

// Alternated, so that a burst of load on the shared machine hits both.
BENCHMARK(BM_TransferWithDigest)->Arg(kDigestInline)->Arg(kDigestThreadCopy)->Arg(kDigestThread)->Arg(kNoDigest)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlToFilePeer)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TransferWithDigestAgainstCurl)->Iterations(Rounds())->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DoActionDownload)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlToFile)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InternetLayerInProcess)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InternetLayerProcess)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlCommandLine)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CrmUploadAgainstCurl)->Iterations(Rounds())->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--client") == 0) {
        std::size_t highWater = 0;
        return DownloadWithInternetLayer(argv[2], highWater) == std::strtoull(argv[3], nullptr, 10) ? 0 : 1;
    }
    UploadSize(); // a bad size ends the run before anything is made
    Launcher processes;
    launcher = &processes;
    UploadSink sink;
    uploadSink = &sink;
    selfPath = std::filesystem::read_symlink("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    BodyServer body;
    server = &body;
    // Loaded once, as a host loads it at its start; not part of any figure.
    const std::string library = (std::filesystem::path(selfPath).parent_path() / "libQzAutoUpdate.so").string();
    void* loaded = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (loaded != nullptr) {
        doAction = reinterpret_cast<QzAutoUpdate::DoActionFunction>(dlsym(loaded, QzAutoUpdate::kDoActionSymbol));
    }
    if (doAction == nullptr) {
        std::fprintf(stderr, "download_bench: cannot load %s\n", library.c_str());
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
        if (copyDigestSeconds > 0)
            std::printf("throughput ratio, transfer engine with the digest in its thread, fed copies / curl into a "
                        "file: %.2f\n",
                        curlDigestPeerSeconds / copyDigestSeconds);
        if (noDigestSeconds > 0)
            std::printf("throughput ratio, transfer engine without the digest / curl into a file: %.2f\n",
                        curlDigestPeerSeconds / noDigestSeconds);
    }
    if (!pairedLoads.empty()) {
        PrintRatios("the digest in its thread against curl into a file, same load", pairedRatios);
        std::printf("load average %.2f to %.2f\n", *std::min_element(pairedLoads.begin(), pairedLoads.end()),
                    *std::max_element(pairedLoads.begin(), pairedLoads.end()));
    }
    PrintRatios("CRM upload through DoAction against curl, same load", uploadRatios);
    PrintRatios("CRM upload through DoAction against curl followed by deleting the file", uploadWithRmRatios);
    if (actionSeconds > 0 && curlFileSeconds > 0) {
        std::printf("throughput ratio, DoAction action 4 / curl into a file: %.2f\n",
                    curlFileSeconds / actionSeconds);
    }
    return uploadFailed ? 1 : 0;
}
