#include <cstdlib>
#include <filesystem>

#include <QApplication>

#include <gtest/gtest.h>

// The widgets of this program's own tests run on the offscreen platform at twice the pixel
// density, as on a scaled screen. Both are chosen here, before the application exists, unless
// the caller chose otherwise; the windows under Xvfb are separate processes with their own.
int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    if (std::getenv("QT_SCALE_FACTOR") == nullptr) {
        setenv("QT_SCALE_FACTOR", "2", 1);
    }
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        auto dir = std::filesystem::temp_directory_path() / "solvei-test-runtime";
        std::filesystem::create_directories(dir);
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
