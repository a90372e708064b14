#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include "skin/CSkinManager.h"
#include "skin/IMessageBox.h"
#include "widgets/CSkinButton.h"

namespace {

namespace fs = std::filesystem;

class NoBoxes : public IMessageBox {
public:
    void Show(const std::string& text, const std::string&, Icon) override {
        ADD_FAILURE() << "skin error: " << text;
    }
};

// At twice the pixel density every logical pixel is shown by four device pixels, and the
// pointer on the second of them stands half-way between two logical pixels. A shaped key must
// take exactly the presses on the device pixels that show it.
class ScaledButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path shipped(SOLVEI_SHIPPED_SKIN);
        skin_ =
            std::make_unique<CSkinManager>(shipped.parent_path().string(), std::string(), boxes_);
        ASSERT_TRUE(skin_->ChangeSkin(shipped.filename().string()));
        window_.resize(1000, 700);
        button_ = new CSkinButton("BtnConnect", skin_.get());
        button_->Create(&window_, 1000);
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
        if (window_.devicePixelRatioF() != 2.0) {
            GTEST_SKIP() << "the screen is not scaled by 2 (QT_SCALE_FACTOR)";
        }
    }

    // A press and a release at a device pixel of the window, through the window's own
    // delivery (which picks the widget under the pointer) as the platform would send them.
    void ClickDevicePixel(QPoint device) {
        const QPointF at = QPointF(device) / 2.0;
        const QPointF global = window_.mapToGlobal(at);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, at, global, Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(window_.windowHandle(), &event);
        }
    }

    NoBoxes boxes_;
    std::unique_ptr<CSkinManager> skin_;
    QWidget window_;
    CSkinButton* button_ = nullptr;
};

TEST_F(ScaledButtonTest, PressesOnTheDevicePixelsOfACutCornerFallThrough) {
    const QRegion& shape = button_->Shape();
    ASSERT_FALSE(shape.contains(QPoint(0, 0))) << "the key's corner is no longer cut";
    const QPoint corner = button_->pos() * 2;
    QSignalSpy clicks(button_, &QAbstractButton::clicked);
    std::vector<std::string> wrong;
    int shown = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const QPoint device = corner + QPoint(x, y);
            // The pixel of the key that this device pixel shows.
            const bool showsKey = shape.contains(QPoint(x / 2, y / 2));
            shown += showsKey ? 1 : 0;
            const qsizetype before = clicks.count();
            ClickDevicePixel(device);
            if ((clicks.count() > before) != showsKey) {
                wrong.push_back("(" + std::to_string(x) + "," + std::to_string(y) + ")" +
                                (showsKey ? " shows the key but did not click it"
                                          : " shows the cut but clicked the key"));
            }
        }
    }
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, 64);
    EXPECT_EQ(wrong, std::vector<std::string>{});
}

} // namespace
