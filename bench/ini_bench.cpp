// INI parsing throughput of CQZIniFileReader against the C library inih on
// the same generated 50 MB file in the same run, and the cost of value
// lookups on a 5,000-key file.
//
//   cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_BENCH=ON -DQZ_BUILD_TESTS=OFF
//   cmake --build build-rel --target ini_bench && build-rel/bin/ini_bench
#include <benchmark/benchmark.h>

#include <ini.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

#include "config/QZIniFileReader.h"

namespace {

constexpr std::size_t kBigFileBytes = 50u << 20;

// A skin-like file: sections of twenty keys with rectangles, colours, texts
// and a comment now and then, CR LF line ends.
std::string MakeIni(std::size_t targetBytes, std::size_t maxKeys)
{
    std::string text;
    text.reserve(targetBytes + 4096);
    std::size_t keys = 0;
    for (std::size_t s = 0; text.size() < targetBytes && keys < maxKeys; ++s) {
        text += "[Control" + std::to_string(s) + "]\r\n; generated control\r\n";
        for (int k = 0; k < 20 && keys < maxKeys; ++k, ++keys) {
            text += "key" + std::to_string(k) + " = ";
            switch (k % 4) {
            case 0: text += std::to_string(s) + ", " + std::to_string(k) + ", 120, 24"; break;
            case 1: text += "255 128 " + std::to_string(k); break;
            case 2: text += "\"A text value for control " + std::to_string(s) + "\""; break;
            default: text += "QZBS_OPT_ONE | QZBS_FLG_TWO"; break;
            }
            text += "\r\n";
        }
    }
    return text;
}

class Files {
public:
    Files()
    {
        dir_ = std::filesystem::temp_directory_path() / ("qz-ini-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
        big_ = Write("big.ini", MakeIni(kBigFileBytes, static_cast<std::size_t>(-1)));
        lookup_ = Write("lookup.ini", MakeIni(static_cast<std::size_t>(-1), 5000));
    }
    ~Files() { std::filesystem::remove_all(dir_); }

    const std::string& Big() const { return big_; }
    const std::string& Lookup() const { return lookup_; }
    std::size_t BigSize() const { return std::filesystem::file_size(big_); }

private:
    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
        return path;
    }

    std::filesystem::path dir_;
    std::string big_;
    std::string lookup_;
};

Files& TheFiles()
{
    static Files files;
    return files;
}

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());  // the generated paths are ASCII
}

void BM_Reader_FromCache(benchmark::State& state)
{
    const std::wstring name = Wide(TheFiles().Big());
    {
        CQZIniFileReader warm;
        warm.Open(name.c_str());
    }
    for (auto _ : state) {
        CQZIniFileReader reader;
        benchmark::DoNotOptimize(reader.Open(name.c_str()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheFiles().BigSize()));
}

void BM_Reader_FromDisk(benchmark::State& state)
{
    const std::wstring name = Wide(TheFiles().Big());
    for (auto _ : state) {
        CQZIniFileReader::ClearCache(true);
        CQZIniFileReader reader;
        benchmark::DoNotOptimize(reader.Open(name.c_str()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheFiles().BigSize()));
}

int CountHandler(void* user, const char*, const char*, const char*)
{
    ++*static_cast<std::size_t*>(user);
    return 1;
}

using StringMaps = std::map<std::string, std::map<std::string, std::string>>;

int StoreHandler(void* user, const char* section, const char* key, const char* value)
{
    (*static_cast<StringMaps*>(user))[section][key] = value;
    return 1;
}

// inih reading the file and only counting what it finds.
void BM_Inih_Count(benchmark::State& state)
{
    for (auto _ : state) {
        std::size_t count = 0;
        benchmark::DoNotOptimize(ini_parse(TheFiles().Big().c_str(), CountHandler, &count));
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheFiles().BigSize()));
}

// inih reading the file into maps, as the reader does.
void BM_Inih_Store(benchmark::State& state)
{
    for (auto _ : state) {
        StringMaps maps;
        benchmark::DoNotOptimize(ini_parse(TheFiles().Big().c_str(), StoreHandler, &maps));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheFiles().BigSize()));
}

// 10,000 GetProfileString look-ups spread over a 5,000-key file.
void BM_Reader_GetProfileString10k(benchmark::State& state)
{
    CQZIniFileReader reader;
    const std::wstring name = Wide(TheFiles().Lookup());
    reader.Open(name.c_str());
    std::vector<std::pair<std::wstring, std::wstring>> queries;
    for (int i = 0; i < 10000; ++i) {
        const int n = (i * 7919) % 5000;
        queries.emplace_back(L"control" + std::to_wstring(n / 20), L"KEY" + std::to_wstring(n % 20));
    }
    wchar_t buffer[260];
    for (auto _ : state) {
        std::uint32_t total = 0;
        for (const auto& [section, key] : queries)
            total += reader.GetProfileString(section.c_str(), key.c_str(), L"", buffer, 260);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * queries.size()));
}

BENCHMARK(BM_Reader_FromCache)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Reader_FromDisk)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Inih_Count)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Inih_Store)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Reader_GetProfileString10k)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
