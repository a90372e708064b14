#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/CDlgMain.h"
#include "app/CInstanceLock.h"
#include "app/CRemoteApp.h"
#include "app/RecordingDialogs.h"

namespace {

namespace fs = std::filesystem;

// The application run for real on the offscreen screen, with a private settings store.
class RemoteApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("solvei-start-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "settings");
        const QString settings = QString::fromStdString((dir_ / "settings").string());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
    }
    void TearDown() override { fs::remove_all(dir_); }

    CRemoteApp::Places Places() const {
        const fs::path shipped(SOLVEI_SHIPPED_SKIN);
        return {dir_.string(), std::string(), shipped.parent_path().string()};
    }

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
        CRemoteApp app(Places());
        EXPECT_EQ(app.Run(dialogs_), 0);
    }

    static QVariant StoredPosition() {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Tarrowin", "FALX");
        return store.value("Window/position");
    }

    fs::path dir_;
    RecordingDialogs dialogs_;
};

TEST_F(RemoteApplicationTest, SecondCopyShowsOneBoxAndEnds) {
    CInstanceLock first(dir_.string());
    ASSERT_TRUE(first.TryAcquire());
    CRemoteApp second(Places());
    EXPECT_EQ(second.Run(dialogs_), 0);
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].text, "A Norvo remote application is already running");
    EXPECT_EQ(dialogs_.boxes[0].caption, "Solvei");
    EXPECT_TRUE(QApplication::topLevelWidgets().empty() ||
                std::none_of(QApplication::topLevelWidgets().begin(),
                             QApplication::topLevelWidgets().end(),
                             [](QWidget* w) { return qobject_cast<CDlgMain*>(w) != nullptr; }));
}

TEST_F(RemoteApplicationTest, RunsTheWindowUntilExitAndFreesTheLockForTheNextCopy) {
    // Exit is pressed as soon as the window runs.
    RunAndLook([](CDlgMain&) {});
    EXPECT_TRUE(dialogs_.boxes.empty());
    // The lock went with the first copy.
    CInstanceLock next(dir_.string());
    EXPECT_TRUE(next.TryAcquire());
}

TEST_F(RemoteApplicationTest, TheLockIsPerUserAndALockThatCannotBeMadeSaysWhy) {
    EXPECT_NE(CInstanceLock::FileName(), CInstanceLock::kName);
    EXPECT_NE(CInstanceLock::FileName().find(std::to_string(::getuid())), std::string::npos);
    // A folder that does not exist: no lock can be made there, whoever runs the test.
    CInstanceLock nowhere((dir_ / "missing" / "deeper").string());
    EXPECT_FALSE(nowhere.TryAcquire());
    EXPECT_FALSE(nowhere.HeldByAnother());
    EXPECT_FALSE(nowhere.Reason().empty());
    // Held by another copy: that is what it says.
    CInstanceLock first(dir_.string());
    ASSERT_TRUE(first.TryAcquire());
    CInstanceLock second(dir_.string());
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_TRUE(second.HeldByAnother());
}

TEST_F(RemoteApplicationTest, ThePositionIsRememberedAndAlwaysOnTheScreen) {
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
    EXPECT_EQ(StoredPosition().toPoint(), shown);

    // Moved by the operator: the next start opens it there (along an axis where the window
    // is larger than the offscreen screen, only its edge is a place it may keep).
    QSize size;
    RunAndLook([&](CDlgMain& window) { size = window.size(); });
    const QPoint moved(screen.left() + (size.width() < screen.width() ? 3 : 0),
                       screen.top() + (size.height() < screen.height() ? 2 : 0));
    RunAndLook([&](CDlgMain& window) { window.move(moved); });
    EXPECT_EQ(StoredPosition().toPoint(), moved);
    RunAndLook([&](CDlgMain& window) { EXPECT_EQ(window.pos(), moved); });
}

} // namespace
