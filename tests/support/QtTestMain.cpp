#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

#include <QApplication>

#include <gtest/gtest.h>

// Widget tests run on Qt's offscreen platform. The test discovery step runs this binary
// outside ctest's environment, so the platform is chosen here when nothing else set it.
// A test program built with SOLVEI_TEST_SCALE_FACTOR runs its widgets at that pixel density,
// as on a scaled screen, unless the caller chose another.
int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
#ifdef SOLVEI_TEST_SCALE_FACTOR
    if (std::getenv("QT_SCALE_FACTOR") == nullptr) {
        setenv("QT_SCALE_FACTOR", SOLVEI_TEST_SCALE_FACTOR, 1);
    }
#endif
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        auto dir = std::filesystem::temp_directory_path() / "solvei-test-runtime";
        std::filesystem::create_directories(dir);
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    // The window keeps snapshots in the user's data folder: tests, and the programs they start,
    // keep theirs in a folder of their own that goes with them.
    const auto data = std::filesystem::temp_directory_path() /
                      ("solvei-test-data-" + std::to_string(::getpid()));
    std::filesystem::create_directories(data);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(data, ignored);
    return result;
}
