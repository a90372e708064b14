#include <filesystem>
#include <string>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/CDlgMain.h"
#include "app/CRemoteApp.h"
#include "app/RecordingDialogs.h"

namespace {

namespace fs = std::filesystem;

// The application run for real on the offscreen screen, with a private settings store.
class WindowPositionTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("solvei-place-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "settings");
        const QString settings = QString::fromStdString((dir_ / "settings").string());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs the program; while its window shows, look() sees it and Exit is pressed.
    void RunAndLook(const std::function<void(CDlgMain&)>& look) {
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* window = qobject_cast<CDlgMain*>(w);
                    window != nullptr && window->isVisible()) {
                    look(*window);
                    window->OnExitClicked();
                }
            }
        });
        const fs::path shipped(SOLVEI_SHIPPED_SKIN);
        CRemoteApp app({dir_.string(), std::string(), shipped.parent_path().string()});
        EXPECT_EQ(app.Run(dialogs_), 0);
    }

    static QVariant Stored() {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Tarrowin", "FALX");
        return store.value("Window/position");
    }

    fs::path dir_;
    RecordingDialogs dialogs_;
};

TEST_F(WindowPositionTest, ThePositionIsRememberedAndAlwaysOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    {
        // Left far off the screen last time (a monitor since removed).
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Tarrowin", "FALX");
        store.setValue("Window/position", QPoint(screen.right() + 5000, screen.top() - 4000));
    }
    QPoint shown;
    RunAndLook([&](CDlgMain& window) {
        const QRect frame = window.geometry();
        shown = frame.topLeft();
        // Its top left corner, and with it the title area, is on the screen; all of it when
        // it fits.
        EXPECT_TRUE(screen.contains(frame.topLeft())) << shown.x() << "," << shown.y();
        if (frame.width() <= screen.width() && frame.height() <= screen.height()) {
            EXPECT_TRUE(screen.contains(frame));
        }
    });
    EXPECT_EQ(Stored().toPoint(), shown);

    // Moved by the operator: the next start opens it there (along an axis where the window
    // is larger than the offscreen screen, only its edge is a place it may keep).
    QSize size;
    RunAndLook([&](CDlgMain& window) { size = window.size(); });
    const QPoint moved(screen.left() + (size.width() < screen.width() ? 3 : 0),
                       screen.top() + (size.height() < screen.height() ? 2 : 0));
    RunAndLook([&](CDlgMain& window) { window.move(moved); });
    EXPECT_EQ(Stored().toPoint(), moved);
    RunAndLook([&](CDlgMain& window) { EXPECT_EQ(window.pos(), moved); });
}

} // namespace
