// Signature checking of 256 MiB: a signed PE file, our verifier against
// `osslsigncode verify` and `openssl dgst -sha256`; a file that is no PE file
// with its detached signature, our verifier against `openssl cms -verify`;
// all in the same run, with the ratios and our peak memory at the end. Then
// the time from the last byte of a 1 GiB download to the verdict, with the
// file read again and with the digest computed during the transfer.
// The certificates and the file are made at run time in a temporary folder.
#include "platform/trust/Authenticode.h"
#include "platform/trust/DetachedSignature.h"
#include "platform/trust/ImageDigest.h"

#include "BigImage.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr std::uint64_t kPayloadSize = 256ull << 20;

std::filesystem::path g_dir;

// The patch of the last-byte benchmarks: 1 GiB unless QZ_BENCH_LASTBYTE_MIB says.
std::uint64_t LastBytePayload()
{
    const char* mib = std::getenv("QZ_BENCH_LASTBYTE_MIB");
    return (mib != nullptr ? std::strtoull(mib, nullptr, 10) : 1024) << 20;
}

std::filesystem::path Signed()
{
    return g_dir / "big-signed.exe";
}

std::wstring Wide(const std::filesystem::path& path)
{
    const std::string s = path.string();
    return std::wstring(s.begin(), s.end());
}

bool Shell(const std::string& command)
{
    return ShellIn(g_dir, command);
}

bool SetUpFiles()
{
    char pattern[] = "/tmp/qz-authenticode-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        return false;
    }
    g_dir = pattern;
    return MakeSigningKeys(g_dir) &&
           WriteBigImage(g_dir / "big.exe", kPayloadSize) &&
           Shell(
               "osslsigncode sign -certs leaf.pem -key leaf.key -h sha256 -in big.exe -out big-signed.exe") &&
           // The same bytes, but for the first two, as a file that is no PE
           // file, signed detached.
           Shell("cp big.exe big.tar && printf PK | dd of=big.tar bs=1 count=2 conv=notrunc") &&
           Shell("openssl cms -sign -binary -in big.tar -signer leaf.pem -inkey leaf.key -md sha256 -outform DER "
                 "-out big.tar.p7s") &&
           std::filesystem::remove(g_dir / "big.exe") && MakeSignedImage(g_dir, "huge-signed.exe", LastBytePayload());
}

// Our check of a patch, as the updater makes it.
bool CheckOnce(const std::filesystem::path& path)
{
    const auto source = qz::platform::FileByteSource::Open(path);
    return source && qz::platform::CheckPatchSignature(*source, Wide(path) + L".p7s").valid;
}

void BM_QzVerify(benchmark::State& state)
{
    ::setenv("SSL_CERT_FILE", (g_dir / "root.pem").c_str(), 1);
    for (auto _ : state) {
        const auto verdict = qz::platform::CheckAuthenticode(Wide(Signed()));
        if (!verdict.valid) {
            state.SkipWithError(verdict.reason.c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayloadSize));
}

void BM_OsslsigncodeVerify(benchmark::State& state)
{
    for (auto _ : state) {
        if (!Shell("osslsigncode verify -CAfile root.pem -in big-signed.exe")) {
            state.SkipWithError("osslsigncode verify failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayloadSize));
}

void BM_QzVerifyDetached(benchmark::State& state)
{
    ::setenv("SSL_CERT_FILE", (g_dir / "root.pem").c_str(), 1);
    for (auto _ : state) {
        if (!CheckOnce(g_dir / "big.tar")) {
            state.SkipWithError("detached signature not valid");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayloadSize));
}

void BM_OpensslCmsVerify(benchmark::State& state)
{
    for (auto _ : state) {
        if (!Shell("openssl cms -verify -binary -inform DER -in big.tar.p7s -content big.tar -CAfile root.pem "
                   "-purpose any -out /dev/null")) {
            state.SkipWithError("openssl cms -verify failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayloadSize));
}

void BM_OpensslDgst(benchmark::State& state)
{
    for (auto _ : state) {
        if (!Shell("openssl dgst -sha256 big-signed.exe")) {
            state.SkipWithError("openssl dgst failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayloadSize));
}

// From the last byte of a download to the verdict. Today's way reads the
// finished file again for its digest; the new way fed the digest as the
// bytes were written (untimed here: it ran during the transfer), so only
// the headers and the signature remain.
void BM_LastByteFullCheck(benchmark::State& state)
{
    ::setenv("SSL_CERT_FILE", (g_dir / "root.pem").c_str(), 1);
    for (auto _ : state) {
        const auto source = qz::platform::FileByteSource::Open(g_dir / "huge-signed.exe");
        const auto verdict = qz::platform::CheckAuthenticode(*source);
        if (!verdict.valid) {
            state.SkipWithError(verdict.reason.c_str());
            break;
        }
    }
}

void BM_LastByteStreamedDigest(benchmark::State& state)
{
    ::setenv("SSL_CERT_FILE", (g_dir / "root.pem").c_str(), 1);
    const auto source = qz::platform::FileByteSource::Open(g_dir / "huge-signed.exe");
    std::vector<std::uint8_t> block(1u << 16);
    for (auto _ : state) {
        state.PauseTiming();
        qz::platform::ImageDigestStream stream;
        for (std::uint64_t at = 0; at < source->Size(); at += block.size()) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), source->Size() - at));
            source->Read(at, std::span(block.data(), n));
            stream.Update(std::span(block.data(), n));
        }
        state.ResumeTiming();
        const auto verdict = qz::platform::CheckAuthenticode(*source, &stream);
        if (!verdict.valid || !verdict.streamedDigest) {
            state.SkipWithError(verdict.valid ? "the streamed digest was not used" : verdict.reason.c_str());
            break;
        }
    }
}

BENCHMARK(BM_LastByteFullCheck)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LastByteStreamedDigest)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QzVerify)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OsslsigncodeVerify)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpensslDgst)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QzVerifyDetached)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpensslCmsVerify)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

// Keeps each benchmark's real time per iteration for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

// Peak RSS in KiB of a fresh process that verifies `file` once.
long PeakRssOfOneVerification(const char* self, const std::filesystem::path& file)
{
    const std::string command = std::string("'") + self + "' --verify-once '" + file.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    long kib = -1;
    if (pipe) {
        if (std::fscanf(pipe, "%ld", &kib) != 1) {
            kib = -1;
        }
        ::pclose(pipe);
    }
    return kib;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--verify-once") == 0) {
        const bool valid = CheckOnce(argv[2]);
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld\n", valid ? usage.ru_maxrss : -1L);
        return valid ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (!SetUpFiles()) {
        std::fprintf(stderr, "cannot make the signed test file in %s\n", g_dir.c_str());
        return 1;
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double ours = reporter.times["BM_QzVerify/iterations:5/real_time"];
    const double peer = reporter.times["BM_OsslsigncodeVerify/iterations:5/real_time"];
    const double dgst = reporter.times["BM_OpensslDgst/iterations:5/real_time"];
    const double detached = reporter.times["BM_QzVerifyDetached/iterations:5/real_time"];
    const double cms = reporter.times["BM_OpensslCmsVerify/iterations:5/real_time"];
    if (ours > 0 && peer > 0 && dgst > 0) {
        std::printf("ours / openssl dgst:        %.2f (goal at most 1.15)\n", ours / dgst);
        std::printf("osslsigncode verify / ours: %.2f (goal at least 1.5)\n", peer / ours);
    }
    if (detached > 0 && cms > 0 && dgst > 0) {
        std::printf("detached: ours / openssl dgst:         %.2f (goal at most 1.15)\n", detached / dgst);
        std::printf("detached: openssl cms -verify / ours:  %.2f (goal above 1)\n", cms / detached);
    }
    const double fullRead = reporter.times["BM_LastByteFullCheck/iterations:5/real_time"];
    const double streamed = reporter.times["BM_LastByteStreamedDigest/iterations:5/real_time"];
    if (fullRead > 0 && streamed > 0) {
        std::printf("last byte to verdict, %llu MiB: full read %.1f ms, streamed digest %.2f ms (goal under 50)\n",
                    static_cast<unsigned long long>(LastBytePayload() >> 20), fullRead, streamed);
    }
    ::setenv("SSL_CERT_FILE", (g_dir / "root.pem").c_str(), 1);
    std::printf("peak RSS of one verification: %.1f MiB, detached %.1f MiB (goal under 16)\n",
                static_cast<double>(PeakRssOfOneVerification(argv[0], Signed())) / 1024.0,
                static_cast<double>(PeakRssOfOneVerification(argv[0], g_dir / "big.tar")) / 1024.0);
    std::filesystem::remove_all(g_dir);
    return 0;
}
