#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include "app/XvfbDisplay.h"
#include "skin/CSkin.h"
#include "skin/CSkinManager.h"
#include "skin/IMessageBox.h"
#include "skin/SkinDrawing.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kScale = 2;

class NoBoxes : public IMessageBox {
public:
    void Show(const std::string& text, const std::string&, Icon) override {
        ADD_FAILURE() << "skin error: " << text;
    }
};

QRgb Rgb(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFFu;
}

// True when every device pixel of the logical area shows the picture's pixel at the same
// device place: the picture is drawn at the device's resolution (from the skin's twins).
bool ShowsDevicePixels(const QImage& screen, QPoint deviceOrigin, const QImage& picture,
                       const QRect& area) {
    for (int y = area.top() * kScale; y < (area.bottom() + 1) * kScale; ++y) {
        for (int x = area.left() * kScale; x < (area.right() + 1) * kScale; ++x) {
            const QPoint device = deviceOrigin + QPoint(x, y);
            if (Rgb(screen, device.x(), device.y()) != Rgb(picture, x, y)) {
                return false;
            }
        }
    }
    return true;
}

// The real solvei-remote at a device pixel ratio of 2 under its own Xvfb display, against
// the real simulator; looked at with ImageMagick's import and handled with xdotool.
class HiDpiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto missing = XvfbDisplay::MissingTool()) {
            GTEST_SKIP() << *missing << " is not installed; the scaled window is not checked";
        }
        dir_ = fs::temp_directory_path() / ("solvei-hidpi-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        for (const char* sub : {"settings/Tarrowin", "work", "tmp"}) {
            fs::create_directories(dir_ / sub);
        }

        NoBoxes boxes;
        const fs::path shipped(SOLVEI_SHIPPED_SKIN);
        skin_ =
            std::make_unique<CSkinManager>(shipped.parent_path().string(), std::string(), boxes);
        ASSERT_TRUE(skin_->ChangeSkin(shipped.filename().string()));

        ASSERT_TRUE(display_.Start("2000x1300x24")) << "Xvfb did not start";
        root_ = Shot("root.png");
        ASSERT_FALSE(root_.isNull());

        const auto simPort = StartSimulator(sim_);
        ASSERT_TRUE(simPort);
        std::ofstream(dir_ / "settings/Tarrowin/FALX.conf")
            << "[Settings]\nsHost=127.0.0.1\nsPortName=Ethernet\ndwPort=" << *simPort
            << "\ndwLockCode=7\n";

        remote_ = StartRemote(display_, Path("work"), Path("settings"), Path("tmp"),
                              {{"QT_SCALE_FACTOR", std::to_string(kScale)}});
        if (!WaitFor([&] { return (window_ = MainWindowId()).has_value(); }, 20s)) {
            const TestProcess::Result end = remote_->Finish(1s);
            remote_.reset();
            FAIL() << "the main window did not appear; exit " << end.exitCode << ": " << end.err;
        }
    }

    void TearDown() override {
        if (remote_) {
            remote_->Stop(SIGKILL, 10s);
        }
        if (sim_) {
            sim_->Stop(SIGTERM, 10s);
        }
        if (!dir_.empty()) {
            fs::remove_all(dir_);
        }
    }

    CSkin& Skin() const { return *skin_->Current(); }
    const QImage& Image(const char* section, const char* key) const {
        static const QImage none;
        const QImage* image = Skin().GetImage(section, key, 1);
        return image != nullptr ? *image : none;
    }

    // The image's twin of twice the size in its own pixels, or a null image when it has none.
    QImage Twin(const char* section, const char* key) const {
        const QImage* twin = Skin().GetImage(section, key, 1, kScale);
        if (twin == nullptr || twin->devicePixelRatio() != kScale) {
            return {};
        }
        QImage pixels = twin->convertToFormat(QImage::Format_RGB32);
        pixels.setDevicePixelRatio(1.0);
        return pixels;
    }

    std::string Path(const std::string& sub) const { return (dir_ / sub).string(); }

    TestProcess::Result X(const std::vector<std::string>& argv) const { return display_.X(argv); }

    template <typename Done> static bool WaitFor(Done done, std::chrono::milliseconds deadline) {
        return XvfbDisplay::WaitFor(done, deadline);
    }

    QImage Shot(const std::string& name) const {
        QImage shot = display_.Shot(Path(name));
        EXPECT_FALSE(shot.isNull()) << "no screenshot " << name;
        return shot;
    }

    std::optional<std::string> MainWindowId() const { return display_.MainWindowId(); }
    std::optional<QRect> Geometry(const std::string& id) const { return display_.Geometry(id); }

    QPoint Place() const {
        const auto geometry = Geometry(*window_);
        return geometry ? geometry->topLeft() : QPoint(-1, -1);
    }

    std::string WindowName() const { return display_.WindowName(*window_); }

    // The window the X server finds under the pointer at a screen point: the one a click
    // there would reach.
    std::string WindowAt(QPoint at) const {
        EXPECT_EQ(X({"/usr/bin/xdotool", "mousemove", "--sync", std::to_string(at.x()),
                     std::to_string(at.y())})
                      .exitCode,
                  0);
        const auto out = X({"/usr/bin/xdotool", "getmouselocation", "--shell"}).out;
        std::smatch m;
        return std::regex_search(out, m, std::regex("WINDOW=(\\d+)")) ? m[1].str() : "";
    }

    // Press, moves in even steps, release, as a hand does: the window follows the pointer's
    // way once, however many motion events arrive while it is still being moved.
    void Drag(QPoint from, QPoint to, int steps = 1) const {
        const auto s = [](int v) { return std::to_string(v); };
        std::vector<std::string> args = {"/usr/bin/xdotool", "mousemove", "--sync", s(from.x()),
                                         s(from.y()), "mousedown", "1"};
        for (int i = 1; i <= steps; ++i) {
            const QPoint at = from + (to - from) * i / steps;
            args.insert(args.end(), {"mousemove", s(at.x()), s(at.y())});
        }
        args.insert(args.end(), {"mouseup", "1"});
        EXPECT_EQ(X(args).exitCode, 0);
    }

    std::unique_ptr<CSkinManager> skin_;
    fs::path dir_;
    XvfbDisplay display_;
    QImage root_;
    std::optional<std::string> window_;
    std::unique_ptr<TestProcess> sim_;
    std::unique_ptr<TestProcess> remote_;
};

// Where each corner of the main window's background is cut away, the screen must still show
// the root window at twice the size, and the rest of the corner must show the background's
// twin: its own finer curve, and where the twin is cut inside the window's shape, the
// background's colour (nothing lies beneath a window to show there).
struct CornerCheck {
    int cutPixels = 0;   // logical pixels of the corners that the mask colour cuts away
    int wrongCut = 0;    // of those, drawn by the window on the screen
    int wrongDrawn = 0;  // device pixels of the rest not shown as the twin says
    int finerDrawn = 0;  // device pixels of the rest that differ from the enlarged background
};

TEST_F(HiDpiTest, WindowDoublesAndItsCutCornersNeitherDrawNorTakeClicks) {
    const QImage& background = Image("DlgMain", "background");
    ASSERT_FALSE(background.isNull());
    const QImage twin = Twin("DlgMain", "background");
    ASSERT_FALSE(twin.isNull()) << "the shipped background has no twin";
    const QRgb cut = ColorFromSkin(Skin().GetLong("DlgMain", "bkcolormask")).rgb() & 0xFFFFFFu;
    const auto geometry = Geometry(*window_);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->size(), background.size() * kScale);
    const QPoint origin = geometry->topLeft();

    // The four corners, 16 logical pixels square; the shipped background rounds them.
    constexpr int kCorner = 16;
    const QSize logical = background.size();
    const std::array<QPoint, 4> corners = {
        QPoint(0, 0), QPoint(logical.width() - kCorner, 0), QPoint(0, logical.height() - kCorner),
        QPoint(logical.width() - kCorner, logical.height() - kCorner)};
    const auto check = [&](const QImage& screen) {
        CornerCheck result;
        for (const QPoint& corner : corners) {
            for (int y = corner.y(); y < corner.y() + kCorner; ++y) {
                for (int x = corner.x(); x < corner.x() + kCorner; ++x) {
                    const bool isCut = Rgb(background, x, y) == cut;
                    result.cutPixels += isCut ? 1 : 0;
                    for (int j = 0; j < kScale; ++j) {
                        for (int i = 0; i < kScale; ++i) {
                            const QPoint d = origin + QPoint(x * kScale + i, y * kScale + j);
                            const QRgb shown = Rgb(screen, d.x(), d.y());
                            const QRgb art = Rgb(twin, x * kScale + i, y * kScale + j);
                            const QRgb expected = art == cut ? Rgb(background, x, y) : art;
                            if (isCut && shown != Rgb(root_, d.x(), d.y())) {
                                ++result.wrongCut;
                            } else if (!isCut && shown != expected) {
                                ++result.wrongDrawn;
                            }
                            result.finerDrawn +=
                                !isCut && expected != Rgb(background, x, y) ? 1 : 0;
                        }
                    }
                }
            }
        }
        return result;
    };
    CornerCheck seen;
    const bool shown = WaitFor(
        [&] {
            seen = check(Shot("corners.png"));
            return seen.wrongCut == 0 && seen.wrongDrawn == 0;
        },
        10s);
    ASSERT_GT(seen.cutPixels, 4 * 8) << "the skin's corners are no longer cut: nothing to check";
    ASSERT_TRUE(shown) << seen.wrongCut << " device pixels drawn where the corners are cut, "
                       << seen.wrongDrawn << " corner pixels not showing the background's twin";
    // The twin's curve is its own, not the enlarged one.
    EXPECT_GT(seen.finerDrawn, 0);

    // The pointer over the very corner is over the root window; a little inside, over ours.
    EXPECT_NE(WindowAt(origin), *window_);
    EXPECT_NE(WindowAt(origin + QPoint(geometry->width() - 1, geometry->height() - 1)), *window_);
    EXPECT_EQ(WindowAt(origin + QPoint(20, 20) * kScale), *window_);

    // A drag that starts on a cut corner moves nothing; one on the window's face moves the
    // window by the pointer's way. The second is handled after the first, so once the window
    // has moved, the first drag has had its chance too.
    Drag(origin, origin + QPoint(300, 200));
    const QPoint face = origin + QPoint(logical.width() / 2, 4) * kScale;
    Drag(face, face + QPoint(100, 60), 6);
    ASSERT_TRUE(WaitFor([&] { return Place() != origin; }, 10s)) << "the window did not move";
    // Let every motion event land before judging where the window came to rest.
    WaitFor([&] { return Place() == origin + QPoint(100, 60); }, 2s);
    EXPECT_EQ(Place(), origin + QPoint(100, 60));
}

// Text is drawn at the device's resolution. A picture drawn at the skin's size and enlarged
// shows every logical pixel as a uniform 2 x 2 block; glyphs rasterised at twice the size
// have edges inside those blocks. Looked at on a button's caption and on two static texts
// of the settings panel, where the rest is the skin's own bitmaps.
TEST_F(HiDpiTest, TextIsDrawnAtTheDeviceResolution) {
    const QImage& up = Image("BtnConnect", "up");
    ASSERT_FALSE(up.isNull());
    const QPoint panel(Skin().GetLong("Settings", "offset_left"),
                       Skin().GetLong("Settings", "offset_top"));
    const auto place = [&](const char* section) {
        return QRect(
            QPoint(Skin().GetLong(section, "offset_left"), Skin().GetLong(section, "offset_top")) +
                panel,
            QSize(Skin().GetLong(section, "width"), Skin().GetLong(section, "height")));
    };
    const std::vector<std::pair<std::string, QRect>> texts = {
        {"the Connect key", QRect(QPoint(Skin().GetLong("BtnConnect", "offset_left"),
                                         Skin().GetLong("BtnConnect", "offset_top")),
                                  up.size())},
        {"the settings caption", place("SettingsCaption")},
        {"the host's label", place("SetStaticHost")}};
    const QPoint origin = Place();
    // Logical pixels whose 2 x 2 device block is not one colour.
    const auto finePixels = [&](const QImage& screen, const QRect& area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QPoint d = origin + QPoint(x, y) * kScale;
                const QRgb first = Rgb(screen, d.x(), d.y());
                if (Rgb(screen, d.x() + 1, d.y()) != first ||
                    Rgb(screen, d.x(), d.y() + 1) != first ||
                    Rgb(screen, d.x() + 1, d.y() + 1) != first) {
                    ++count;
                }
            }
        }
        return count;
    };
    // A caption of a dozen letters has well over this many edge pixels at twice the size.
    constexpr int kEnough = 40;
    std::string report;
    const bool sharp = WaitFor(
        [&] {
            const QImage screen = Shot("text.png");
            report.clear();
            for (const auto& [name, area] : texts) {
                const int fine = finePixels(screen, area);
                if (fine < kEnough) {
                    report += name + ": " + std::to_string(fine) + " fine pixels; ";
                }
            }
            return report.empty();
        },
        10s);
    EXPECT_TRUE(sharp) << report;
}

// At twice the size every LED segment still lands on its cell of the panel's background:
// outside the cells the screen shows the background, each cell shows the background with at
// most one whole segment image on it, and the running meters light some of them.
TEST_F(HiDpiTest, LedSegmentsLandOnTheirCells) {
    const QImage& up = Image("BtnConnect", "up");
    ASSERT_FALSE(up.isNull());
    const QPoint origin = Place();
    const QPoint connect(Skin().GetLong("BtnConnect", "offset_left") + up.width() / 2,
                         Skin().GetLong("BtnConnect", "offset_top") + up.height() / 2);
    ASSERT_EQ(X({"/usr/bin/xdotool", "mousemove", "--sync",
                 std::to_string(origin.x() + connect.x() * kScale),
                 std::to_string(origin.y() + connect.y() * kScale), "click", "1"})
                  .exitCode,
              0);
    ASSERT_TRUE(WaitFor([&] { return WindowName() == "Solvei V1.23"; }, 20s)) << WindowName();

    const QRect panel(Skin().GetLong("Leds", "offset_left"), Skin().GetLong("Leds", "offset_top"),
                      Skin().GetLong("Leds", "width"), Skin().GetLong("Leds", "height"));
    // Sizes in logical pixels from the images, pictures from their twins.
    std::array<QImage, 7> leds;
    std::array<QImage, 7> twins;
    for (std::size_t k = 0; k < leds.size(); ++k) {
        const std::string key = "led" + std::to_string(k + 1);
        leds[k] = Image("Leds", key.c_str());
        twins[k] = Twin("Leds", key.c_str());
        ASSERT_FALSE(leds[k].isNull());
        ASSERT_FALSE(twins[k].isNull()) << key << " has no twin";
    }
    const QSize cell = leds[0].size();
    // A segment image is copied at the size of the image its colour group names (the
    // processor reports type 3: unlit, and the first two lit images, at their own sizes, the
    // rest at the third one's).
    const auto copySize = [&](std::size_t k) { return leds[std::min<std::size_t>(k, 2)].size(); };

    struct Seen {
        int strayPixels = 0; // outside every cell, not the background
        int oddCells = 0;    // cells showing neither the background nor one whole segment
        int litCells = 0;
    };
    const auto look = [&](const QImage& screen, const QImage& backgroundSource) {
        Seen seen;
        const QImage background = backgroundSource.copy(QRect(QPoint(0, 0), panel.size() * kScale));
        std::vector<QRect> places;
        for (int r = 0; r < 8; ++r) {
            for (int s = 0; s < 32; ++s) {
                places.emplace_back(QPoint(12 * s, 19 + 12 * r), cell);
            }
        }
        // The panel as it would look with every cell showing segment image k (the first: none).
        std::vector<QImage> drawn(1, background);
        for (std::size_t k = 0; k < leds.size(); ++k) {
            QImage all = background;
            QPainter painter(&all);
            for (const QRect& place : places) {
                painter.drawImage(place.topLeft() * kScale, twins[k],
                                  QRect(QPoint(0, 0), copySize(k) * kScale));
            }
            drawn.push_back(all);
        }
        const QPoint device = origin + panel.topLeft() * kScale;
        QImage inside(panel.size(), QImage::Format_Mono);
        inside.fill(0);
        for (const QRect& place : places) {
            for (int y = place.top(); y <= place.bottom(); ++y) {
                for (int x = place.left(); x <= place.right(); ++x) {
                    inside.setPixel(x, y, 1);
                }
            }
            std::size_t match = 0;
            while (match < drawn.size() && !ShowsDevicePixels(screen, device, drawn[match], place)) {
                ++match;
            }
            seen.oddCells += match == drawn.size() ? 1 : 0;
            // drawn[1] is the unlit segment.
            seen.litCells += match >= 2 && match < drawn.size() ? 1 : 0;
        }
        for (int y = 0; y < panel.height(); ++y) {
            for (int x = 0; x < panel.width(); ++x) {
                if (inside.pixelIndex(x, y) == 0 &&
                    !ShowsDevicePixels(screen, device, background, QRect(x, y, 1, 1))) {
                    ++seen.strayPixels;
                }
            }
        }
        return seen;
    };

    // The meter view chooses one of two backgrounds; the first reply sets it.
    const QImage agc = Twin("Leds", "background_agc");
    const QImage io = Twin("Leds", "background_io");
    ASSERT_FALSE(agc.isNull());
    ASSERT_FALSE(io.isNull());
    Seen best;
    const auto faults = [](const Seen& seen) { return seen.strayPixels + seen.oddCells; };
    const bool landed = WaitFor(
        [&] {
            const QImage screen = Shot("leds.png");
            const Seen withAgc = look(screen, agc);
            const Seen withIo = look(screen, io);
            best = faults(withAgc) <= faults(withIo) ? withAgc : withIo;
            return faults(best) == 0 && best.litCells > 0;
        },
        15s);
    EXPECT_TRUE(landed) << best.strayPixels << " device pixels off the cells, " << best.oddCells
                        << " cells not showing a whole segment, " << best.litCells << " lit";
}

} // namespace
