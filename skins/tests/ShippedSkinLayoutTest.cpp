#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include "skin/CSkin.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinButtonGroup.h"
#include "widgets/CSkinDialog.h"
#include "skin/CSkinManager.h"
#include "skin/IMessageBox.h"

// Checks that the parts of the shipped skin fit together: every window and key of the main
// window has its own place on the opaque face, the panels fill the page area exactly, the
// meter matrix fits its panel, the art of faders, spins and the progress strip fits the
// controls that draw it, and every key shows five different state images.
namespace {

class SilentBox : public IMessageBox {
public:
    void Show(const std::string& text, const std::string& caption, Icon) override {
        shown.push_back(caption + ": " + text);
    }
    std::vector<std::string> shown;
};

// Keys of the main window and the sections whose images they draw.
const std::vector<std::string> kMainKeys = {
    "BtnConnect",
    "BtnDisconnect",
    "BtnExit",
    "BtnMinimize",
    "BtnBypass",
    "BtnOnline",
    "BtnAGC",
    "BtnIO",
    "BtnA",
    "BtnB",
    "BtnMenu",
    "BtnPresets",
    "BtnHistory",
    "BtnScrollUp",
    "BtnScrollDown",
    "PresetIconLoad",
    "PresetIconSave",
    "PresetIconRename",
    "PresetIconLoadFile",
    "PresetIconSaveFile",
};
const std::vector<std::string> kAllKeySections = [] {
    std::vector<std::string> all = kMainKeys;
    all.push_back("Button");
    return all;
}();
const char* const kStates[] = {"up", "over", "down", "disabled", "down_disabled"};

class ShippedSkinLayout : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(manager_.ChangeSkin("Solvei"));
        skin_ = manager_.Current();
        ASSERT_NE(skin_, nullptr);
        ASSERT_TRUE(skin_->IsLoaded());
    }
    void TearDown() override { EXPECT_TRUE(box_.shown.empty()) << box_.shown.front(); }

    int Long(const std::string& section, const std::string& key) {
        return skin_->GetLong(section, key);
    }
    const QImage& Image(const std::string& section, const std::string& key) {
        const QImage* image = skin_->GetImage(section, key, 1);
        static const QImage kNone;
        EXPECT_NE(image, nullptr) << section << "::" << key;
        return image != nullptr ? *image : kNone;
    }
    QRect Placed(const std::string& section) {
        return QRect(Long(section, "offset_left"), Long(section, "offset_top"),
                     Long(section, "width"), Long(section, "height"));
    }
    // Where a key sits: its skin position, at its "up" image's size unless a width is set.
    QRect KeyRect(const std::string& section) {
        QRect r = Placed(section);
        if (r.width() == 0) {
            r.setSize(Image(section, "up").size());
        }
        return r;
    }
    // A dialog panel: at its skin position with its background's size.
    QRect PanelRect(const std::string& section) {
        return QRect(QPoint(Long(section, "offset_left"), Long(section, "offset_top")),
                     Image(section, "background").size());
    }
    bool Opaque(const QImage& image, QPoint p, int maskColour) {
        const QRgb pixel = image.pixel(p);
        const int value = qRed(pixel) + qGreen(pixel) * 256 + qBlue(pixel) * 65536;
        return value != maskColour;
    }

    SilentBox box_;
    CSkinManager manager_{SOLVEI_SKINS_FOLDER, std::string(), box_};
    CSkin* skin_ = nullptr;
};

TEST_F(ShippedSkinLayout, MainWindowPartsSitOnTheFaceWithoutOverlapping) {
    const QImage& face = Image("DlgMain", "background");
    const int mask = Long("DlgMain", "bkcolormask");
    std::vector<std::pair<std::string, QRect>> parts;
    for (const std::string& key : kMainKeys) {
        parts.emplace_back(key, KeyRect(key));
    }
    for (const char* section : {"Leds", "Frame", "Tree", "List"}) {
        parts.emplace_back(section, Placed(section));
    }
    for (const auto& [name, r] : parts) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(r.isEmpty());
        ASSERT_TRUE(face.rect().contains(r));
        for (QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
            EXPECT_TRUE(Opaque(face, corner, mask)) << corner.x() << "," << corner.y();
        }
    }
    // Connect and Disconnect are one key in two sections; tree and list take turns.
    const std::vector<std::pair<std::string, std::string>> shared = {
        {"BtnConnect", "BtnDisconnect"}, {"Tree", "List"}};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (std::size_t j = i + 1; j < parts.size(); ++j) {
            const std::pair<std::string, std::string> pair{parts[i].first, parts[j].first};
            if (std::find(shared.begin(), shared.end(), pair) != shared.end()) {
                EXPECT_EQ(parts[i].second, parts[j].second) << pair.first << " " << pair.second;
                continue;
            }
            EXPECT_FALSE(parts[i].second.intersects(parts[j].second))
                << parts[i].first << " overlaps " << parts[j].first;
        }
    }
}

TEST_F(ShippedSkinLayout, SettingsPanelAndPagesFillThePageArea) {
    const QRect frame = Placed("Frame");
    EXPECT_EQ(PanelRect("Settings"), frame);
    EXPECT_EQ(PanelRect("PPage"), frame);
    // The caption line of a page holds the chevron between its names.
    EXPECT_LE(Long("Separator", "offset_top") + Image("Separator", "background").height(),
              Long("FrameCaption", "height"));
    EXPECT_EQ(Long("Separator", "width"), Image("Separator", "background").width());
    EXPECT_EQ(Long("FrameCaption", "width"), frame.width());
}

TEST_F(ShippedSkinLayout, LedPanelHoldsEightRowsOfThirtyTwoSegments) {
    const int pitch = 12;
    const QRect panel = Placed("Leds");
    for (const char* key : {"background", "background_agc", "background_io"}) {
        EXPECT_EQ(Image("Leds", key).size(), panel.size()) << key;
    }
    const QSize segment = Image("Leds", "led1").size();
    for (int i = 1; i <= 7; ++i) {
        const std::string key = "led" + std::to_string(i);
        EXPECT_EQ(Image("Leds", key).size(), segment) << key;
    }
    EXPECT_LE(segment.width(), pitch);
    EXPECT_LE(segment.height(), pitch);
    EXPECT_GE(panel.width(), 31 * pitch + segment.width());
    EXPECT_GE(panel.height(), 19 + 7 * pitch + segment.height());
    // The unlit matrix is part of each background: offline the panel draws no segments.
    for (const char* key : {"background", "background_agc", "background_io"}) {
        const QImage& background = Image("Leds", key);
        const QImage& off = Image("Leds", "led1");
        for (int r : {0, 7}) {
            for (int s : {0, 31}) {
                EXPECT_EQ(
                    background.copy(s * pitch, 19 + r * pitch, segment.width(), segment.height()),
                    off.convertToFormat(background.format()))
                    << key << " row " << r << " segment " << s;
            }
        }
    }
}

TEST_F(ShippedSkinLayout, PortSelectorLeavesTheFieldsFreeWithTwentyOnePorts) {
    QWidget host;
    host.resize(2000, 2000);
    CSkinDialog settings("Settings", &manager_);
    settings.Create(&host, std::nullopt, false);
    CSkinButtonGroup group(&manager_, "ConnectGroup");
    group.Create(&settings, 1100, QPoint(0, 0));
    QStringList ports{"Ethernet"};
    for (int i = 1; i <= 20; ++i) {
        ports << QString("COM%1").arg(i);
    }
    group.SetButtons(ports);
    ASSERT_EQ(group.Buttons().size(), ports.size());
    const QRect groupRect = group.geometry();
    ASSERT_TRUE(settings.rect().contains(groupRect));
    for (const char* section : {"SetStaticHost", "SetStaticPort", "SetStaticCodeLock",
                                "SettingsHost", "SettingsPort", "SettingsCode", "SetCommand"}) {
        const QRect r = Placed(section);
        EXPECT_TRUE(settings.rect().contains(r)) << section;
        EXPECT_GT(r.top(), groupRect.bottom()) << section;
    }
    // Each port's name fits its key (a key is its cell less the one-pixel gap).
    for (const auto& button : group.Buttons()) {
        EXPECT_GE(button->width() + 1, button->MeasureCaption(button->text()).width())
            << button->text().toStdString();
    }
}

TEST_F(ShippedSkinLayout, FaderSpinAndProgressArtFitTheirControls) {
    // Fader: 40 pixels wide; the cap never leaves the control at either end of the travel.
    const QImage& thumb = Image("Slider", "up");
    EXPECT_LE(thumb.width(), 40);
    EXPECT_EQ(Image("Slider", "background").width(), 40);
    EXPECT_GE(Long("Slider", "offset_top"), Long("Slider", "thumb_center"));
    EXPECT_GE(Long("Slider", "offset_bottom"), thumb.height() - Long("Slider", "thumb_center"));
    for (const char* key : {"down", "thumb_disabled"}) {
        EXPECT_EQ(Image("Slider", key).size(), thumb.size()) << key;
    }
    // Spin: both arrows fit one half of a 30-pixel spin, the lowest a page gives.
    const int half = 30 / 2;
    EXPECT_LE(Long("Spin", "up_ofs_top") + Image("Spin", "up_up").height(), half);
    EXPECT_LE(Long("Spin", "down_ofs_bottom") + Image("Spin", "down_up").height(), half);
    // Progress strip: every cell inside the strip, the strip inside the wait window.
    const QRect strip = Placed("ProgressBar");
    const QImage& cell = Image("ProgressBar", "active");
    EXPECT_EQ(Image("ProgressBar", "inactive").size(), cell.size());
    EXPECT_LE(Long("ProgressBar", "ofs_left") + Long("ProgressBar", "count") * cell.width(),
              strip.width());
    EXPECT_LE(Long("ProgressBar", "ofs_top") + cell.height(), strip.height());
    EXPECT_TRUE(Image("Wait", "background").rect().contains(strip));
}

TEST_F(ShippedSkinLayout, EveryKeyShowsFiveDifferentStates) {
    for (const std::string& section : kAllKeySections) {
        SCOPED_TRACE(section);
        std::map<std::string, QImage> images;
        for (const char* state : kStates) {
            images[state] = Image(section, state);
            EXPECT_EQ(images[state].size(), images["up"].size()) << state;
        }
        for (std::size_t i = 0; i < std::size(kStates); ++i) {
            for (std::size_t j = i + 1; j < std::size(kStates); ++j) {
                EXPECT_NE(images[kStates[i]], images[kStates[j]])
                    << kStates[i] << " looks like " << kStates[j];
            }
        }
    }
}

TEST_F(ShippedSkinLayout, MaskedKeysAreCutAtTheCornersOnly) {
    for (const std::string& section : kMainKeys) {
        SCOPED_TRACE(section);
        const QImage& up = Image(section, "up");
        const int mask = Long(section, "bkcolormask");
        EXPECT_FALSE(Opaque(up, QPoint(0, 0), mask));
        EXPECT_FALSE(Opaque(up, QPoint(up.width() - 1, up.height() - 1), mask));
        EXPECT_TRUE(Opaque(up, QPoint(up.width() / 2, 0), mask));
        EXPECT_TRUE(Opaque(up, QPoint(up.width() / 2, up.height() / 2), mask));
        EXPECT_TRUE(Opaque(up, QPoint(0, up.height() / 2), mask));
    }
}

} // namespace
