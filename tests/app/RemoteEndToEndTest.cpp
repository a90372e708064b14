#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <QImage>

#include <gtest/gtest.h>

#include "app/RemoteOnXvfbTest.h"
#include "skin/CSkin.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The real program under Xvfb against the real simulator, driven with xdotool and looked at
// with ImageMagick's import, as an operator would.
using RemoteEndToEndTest = RemoteOnXvfbTest;

TEST_F(RemoteEndToEndTest, ConnectShowsLiveMetersAndExitLeavesNothingBehind) {
    ASSERT_TRUE(StartDisplayAndSimulator());
    StoreSettings();
    const QRect leds = SectionRect("Leds");
    const auto place = StartRemoteWindow();
    ASSERT_TRUE(place);
    const QImage offline = display_.Shot(Path("offline.png")).copy(leds.translated(*place));

    EXPECT_TRUE(display_.Click(*place + KeyRect("BtnConnect").center()));
    ASSERT_TRUE(XvfbDisplay::WaitFor([&] { return WindowName() == "Solvei V1.23"; }, 20s))
        << WindowName();
    // Live meters: the panel lights up and keeps changing.
    QImage last;
    int changes = 0;
    ASSERT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            const QImage now = display_.Shot(Path("online.png")).copy(leds.translated(*place));
            if (now != offline && !last.isNull() && now != last) {
                ++changes;
            }
            last = now;
            return changes >= 2;
        },
        30s));

    EXPECT_TRUE(display_.Click(*place + KeyRect("BtnExit").center()));
    TestProcess::Result end = remote_->Finish(10s);
    EXPECT_EQ(end.exitCode, 0) << end.err;
    remote_.reset();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(Path("work"))) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{});
}

// A wrong lock code: the skinned "Incorrect Password" box opens over the window, centred on it,
// drawn from the skin's own image with its corners cut; Enter closes it and the window stays.
TEST_F(RemoteEndToEndTest, WrongLockCodeShowsTheSkinnedBoxAndEnterClosesIt) {
    ASSERT_TRUE(StartDisplayAndSimulator());
    StoreSettings(1234); // the simulator's is 7
    const QPoint connect = KeyRect("BtnConnect").center();
    const QImage* face = Skin().GetImage("MsgBox", "background", 1);
    ASSERT_NE(face, nullptr);
    const QImage boxImage = face->convertToFormat(QImage::Format_RGB32);

    const auto place = StartRemoteWindow();
    ASSERT_TRUE(place);
    const auto mainId = display_.MainWindowId();
    ASSERT_TRUE(mainId);
    const auto main = display_.Geometry(*mainId);
    ASSERT_TRUE(main);
    EXPECT_TRUE(display_.Click(*place + connect));

    // The box: the window named by the skin's caption for boxes, of the skin image's size.
    std::optional<std::string> boxId;
    std::optional<QRect> box;
    ASSERT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            const auto found =
                display_.X({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Solvei$"});
            std::istringstream ids(found.out);
            for (std::string id; std::getline(ids, id);) {
                box = display_.Geometry(id);
                if (box && box->size() == boxImage.size()) {
                    boxId = id;
                    return true;
                }
            }
            return false;
        },
        60s))
        << "no skinned box";
    EXPECT_LE(std::abs(box->center().x() - main->center().x()), 1);
    EXPECT_LE(std::abs(box->center().y() - main->center().y()), 1);
    const QImage shot = display_.Shot(Path("box.png"));
    ASSERT_FALSE(shot.isNull());
    // The skin's own pixels where no text goes (the rule under the caption, the face near
    // the bottom left), and the main window through the cut corner.
    for (const QPoint at : {QPoint(230, 43), QPoint(30, 180), QPoint(230, 150)}) {
        EXPECT_EQ(shot.pixel(box->topLeft() + at) & 0xFFFFFF, boxImage.pixel(at) & 0xFFFFFF)
            << at.x() << "," << at.y();
    }
    EXPECT_NE(shot.pixel(box->topLeft()) & 0xFFFFFF, 0xFF00FFu);
    if (const char* shots = std::getenv("SOLVEI_SHOT_DIR"); shots != nullptr) {
        shot.save(QString::fromStdString(std::string(shots) + "/incorrect-password-xvfb.png"));
    }

    EXPECT_EQ(display_.X({"/usr/bin/xdotool", "key", "Return"}).exitCode, 0);
    EXPECT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            const auto found =
                display_.X({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Solvei$"});
            return found.out.find(*boxId) == std::string::npos;
        },
        20s))
        << "Enter did not close the box";
    EXPECT_TRUE(display_.MainWindowId().has_value());
}

} // namespace
