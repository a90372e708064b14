#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "skin/ResourceArchive.h"
#include "skin/ResourceArchiveWriter.h"
#include "skin/SkinFileSource.h"

namespace {

// A program of about 1.5 MB with a skin of 125 entries behind it, like the shipped build:
// bitmaps of 1 to 21 KB with runs of colour, so that they compress as real
// skin bitmaps do.
class SkinnedProgram {
public:
    SkinnedProgram() {
        std::mt19937 random(1203);
        std::vector<char> program(1200 * 1024);
        for (char& c : program) {
            c = static_cast<char>(random() & 0xFF);
        }
        ResourceArchiveWriter writer("none");
        const char* folders[] = {"Backgrounds", "Buttons", "Icons", "Leds",
                                 "ScrollBar",   "Slider",  "Spin",  "WaitDlg"};
        for (int i = 0; i < 125; ++i) {
            std::string name = std::string(folders[i % 8]) + "\\Image" + std::to_string(i) + ".bmp";
            std::vector<char> bitmap(1000 + (i * 797) % 20000);
            for (std::size_t k = 0; k < bitmap.size(); ++k) {
                bitmap[k] =
                    static_cast<char>((k / 37 + (random() % 16 == 0 ? random() : 0)) & 0xFF);
            }
            if (!writer.Add(name, bitmap)) {
                std::abort();
            }
            names.push_back(name);
        }
        path = (std::filesystem::temp_directory_path() / "solvei-skin-bench.bin").string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(program.data(), static_cast<std::streamsize>(program.size()));
        out.write(reinterpret_cast<const char*>(writer.Bytes().data()),
                  static_cast<std::streamsize>(writer.Bytes().size()));
        size = program.size() + writer.Bytes().size();
    }
    ~SkinnedProgram() { std::filesystem::remove(path); }

    std::string path;
    std::vector<std::string> names;
    std::size_t size = 0;
};

const SkinnedProgram& Program() {
    static const SkinnedProgram program;
    return program;
}

// One skin load as the original reader did it: the whole file read again for every entry.
void BM_SkinLoadRereadingTheProgramPerEntry(benchmark::State& state) {
    const SkinnedProgram& program = Program();
    for (auto _ : state) {
        for (const std::string& name : program.names) {
            auto data = ResourceArchive::Extract(program.path, name);
            benchmark::DoNotOptimize(data);
        }
    }
    state.counters["entries"] = static_cast<double>(program.names.size());
    state.counters["file_MB"] = static_cast<double>(program.size) / 1e6;
}
BENCHMARK(BM_SkinLoadRereadingTheProgramPerEntry)->Unit(benchmark::kMillisecond);

// One skin load through the file source: the program is read and indexed once.
void BM_SkinLoadReadingTheProgramOnce(benchmark::State& state) {
    const SkinnedProgram& program = Program();
    for (auto _ : state) {
        SkinFileSource files(program.path);
        for (const std::string& name : program.names) {
            auto data = files.ReadArchived(name);
            benchmark::DoNotOptimize(data);
        }
    }
    state.counters["entries"] = static_cast<double>(program.names.size());
}
BENCHMARK(BM_SkinLoadReadingTheProgramOnce)->Unit(benchmark::kMillisecond);

// What is left of a load once the file is in memory: decompressing the entries.
void BM_SkinLoadDecompressionOnly(benchmark::State& state) {
    const SkinnedProgram& program = Program();
    SkinFileSource files(program.path);
    benchmark::DoNotOptimize(files.ReadArchived(program.names.front()));
    for (auto _ : state) {
        for (const std::string& name : program.names) {
            auto data = files.ReadArchived(name);
            benchmark::DoNotOptimize(data);
        }
    }
}
BENCHMARK(BM_SkinLoadDecompressionOnly)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
