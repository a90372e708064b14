#include <cstdlib>
#include <filesystem>

#include <QApplication>

#include <benchmark/benchmark.h>

// The benchmarks build real widgets: Qt runs on the offscreen platform unless told otherwise.
int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        auto dir = std::filesystem::temp_directory_path() / "solvei-bench-runtime";
        std::filesystem::create_directories(dir);
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
