#include <filesystem>

#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include "app/CWaitDlg.h"
#include "app/RecordingDialogs.h"
#include "skin/CSkinManager.h"
#include "skin/ControlId.h"
#include "widgets/CSkinProgress.h"

namespace {

TEST(WaitDlgTest, ShowsCentredOnItsOwnerWithTheRunningStrip) {
    RecordingDialogs boxes;
    const std::filesystem::path shipped(SOLVEI_SHIPPED_SKIN);
    CSkinManager skin(shipped.parent_path().string(), std::string(), boxes);
    ASSERT_TRUE(skin.ChangeSkin(shipped.filename().string()));
    QWidget owner;
    owner.setGeometry(100, 50, 628, 362);
    owner.show();

    CWaitDlg wait(&skin);
    wait.ShowOver(&owner);
    ASSERT_TRUE(wait.isVisible());
    ASSERT_GT(wait.width(), 0);
    const QPoint ownerTopLeft = owner.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(wait.x(), ownerTopLeft.x() + (628 - wait.width()) / 2);
    EXPECT_EQ(wait.y(), ownerTopLeft.y() + (362 - wait.height()) / 2);
    ASSERT_NE(wait.Progress(), nullptr);
    EXPECT_EQ(ControlId(wait.Progress()), CWaitDlg::kProgressId);
    EXPECT_EQ(wait.Progress()->parentWidget(), &wait);
    EXPECT_TRUE(wait.Progress()->IsRunning());
    EXPECT_EQ(wait.Progress()->Count(), 14);
    EXPECT_TRUE(boxes.boxes.empty());

    // The operator drags the main window aside and makes it larger: the wait window follows.
    owner.setGeometry(300, 200, 700, 420);
    QCoreApplication::processEvents();
    const QPoint movedTopLeft = owner.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(wait.x(), movedTopLeft.x() + (700 - wait.width()) / 2);
    EXPECT_EQ(wait.y(), movedTopLeft.y() + (420 - wait.height()) / 2);
}

} // namespace
