// The codec against the gzip tool on the same files in the same run. Wall-clock time throughout:
// the tool runs in a child process, whose CPU time the benchmark library would not see.
#include "gzip/GzipFile.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using quorral::GunzipFile;
using quorral::GzipFile;

constexpr std::size_t DataSize = 100u * 1000 * 1000;

fs::path WorkFolder()
{
    const char* configured = std::getenv("QUORRAL_BENCH_DIR");
    fs::path folder =
        configured != nullptr ? fs::path(configured) : fs::temp_directory_path() / "quorral-gzip-bench";
    fs::create_directories(folder);
    return folder;
}

// Sales-record lines, the kind of file that travels to and from a till.
void MakeCompressible(const fs::path& path)
{
    std::mt19937 random(1);
    static const char* const Items[] = {"COFFEE", "TEA", "BAGEL", "MUFFIN", "WATER", "SANDWICH", "SALAD"};
    std::ofstream out(path, std::ios::binary);
    std::string line;
    for (std::size_t written = 0; written < DataSize; written += line.size()) {
        line = std::to_string(100000 + random() % 900000) + ";" + Items[random() % 7] + ";" +
               std::to_string(random() % 5 + 1) + ";" + std::to_string(random() % 2000) + "." +
               std::to_string(10 + random() % 90) + ";EUR\r\n";
        if (written + line.size() > DataSize) {
            line.resize(DataSize - written);
        }
        out << line;
    }
}

void MakeRandom(const fs::path& path)
{
    std::mt19937_64 random(7);
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (std::size_t written = 0; written < DataSize; written += block.size()) {
        for (std::size_t i = 0; i < block.size(); i += 8) {
            const std::uint64_t bits = random();
            for (std::size_t j = 0; j < 8; ++j) {
                block[i + j] = static_cast<char>(bits >> (8 * j));
            }
        }
        out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), DataSize - written)));
    }
}

// The plain file and its gzip form (made by the tool, so both sides decode the same bytes).
struct CInputs
{
    fs::path Plain;
    fs::path Packed;
};

const CInputs& Inputs(bool compressible)
{
    static const auto make = [](const char* name, void (*generate)(const fs::path&)) {
        const fs::path folder = WorkFolder();
        CInputs inputs{folder / name, folder / (std::string(name) + ".gz")};
        if (!fs::exists(inputs.Plain) || fs::file_size(inputs.Plain) != DataSize) {
            generate(inputs.Plain);
        }
        const std::string command =
            "gzip -6 -n -c '" + inputs.Plain.string() + "' > '" + inputs.Packed.string() + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "gzip tool failed: %s\n", command.c_str());
            std::exit(1);
        }
        return inputs;
    };
    static const CInputs compressibleInputs = make("compressible.bin", MakeCompressible);
    static const CInputs randomInputs = make("random.bin", MakeRandom);
    return compressible ? compressibleInputs : randomInputs;
}

void Finish(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * DataSize));
}

void BM_GzipFile(benchmark::State& state)
{
    const CInputs& inputs = Inputs(state.range(0) != 0);
    const fs::path out = WorkFolder() / "ours.gz";
    for (auto _ : state) {
        if (!GzipFile(inputs.Plain, out)) {
            state.SkipWithError("GzipFile failed");
        }
    }
    Finish(state);
}

void BM_GzipTool(benchmark::State& state)
{
    const CInputs& inputs = Inputs(state.range(0) != 0);
    const std::string command =
        "gzip -6 -c '" + inputs.Plain.string() + "' > '" + (WorkFolder() / "tool.gz").string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gzip failed");
        }
    }
    Finish(state);
}

void BM_GunzipFile(benchmark::State& state)
{
    const CInputs& inputs = Inputs(state.range(0) != 0);
    const fs::path out = WorkFolder() / "ours.out";
    for (auto _ : state) {
        if (!GunzipFile(inputs.Packed, out, false, nullptr)) {
            state.SkipWithError("GunzipFile failed");
        }
    }
    Finish(state);
}

void BM_GunzipTool(benchmark::State& state)
{
    const CInputs& inputs = Inputs(state.range(0) != 0);
    const std::string command =
        "gzip -dc '" + inputs.Packed.string() + "' > '" + (WorkFolder() / "tool.out").string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gzip -dc failed");
        }
    }
    Finish(state);
}

// Argument: 1 compressible records, 0 random bytes. Each of ours runs right next to the tool's on
// the same input, so a disturbance of the machine tends to hit both sides alike.
#define QUORRAL_GZIP_BENCH(name, compressible)                                                               \
    BENCHMARK(name)                                                                                          \
        ->ArgName("compressible")                                                                            \
        ->Arg(compressible)                                                                                  \
        ->Iterations(3)                                                                                      \
        ->UseRealTime()                                                                                      \
        ->Unit(benchmark::kMillisecond)

QUORRAL_GZIP_BENCH(BM_GzipFile, 1);
QUORRAL_GZIP_BENCH(BM_GzipTool, 1);
QUORRAL_GZIP_BENCH(BM_GzipFile, 0);
QUORRAL_GZIP_BENCH(BM_GzipTool, 0);
QUORRAL_GZIP_BENCH(BM_GunzipFile, 1);
QUORRAL_GZIP_BENCH(BM_GunzipTool, 1);
QUORRAL_GZIP_BENCH(BM_GunzipFile, 0);
QUORRAL_GZIP_BENCH(BM_GunzipTool, 0);

} // namespace

BENCHMARK_MAIN();
