// Every text of the shipped skin stands out from what it is drawn on by at least 4.5 to 1
// (the WCAG AA ratio), computed from the skin's own colours and images: a text colour
// against a colour, against the image under it, and texts drawn into the images themselves.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <gtest/gtest.h>

#include "skin/CSkin.h"
#include "skin/SkinDrawing.h"
#include "skin/SkinFileSource.h"
#include "skin/SkinTestSupport.h"

namespace {

constexpr double kMinimum = 4.5;

std::string ShippedSkinFolder() {
    const char* source = std::getenv("SOLVEI_SOURCE_DIR");
    return std::string(source != nullptr ? source : SOLVEI_SOURCE_DIR_DEFAULT) + "/skins/Solvei";
}

double Channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(QRgb colour) {
    return 0.2126 * Channel(qRed(colour)) + 0.7152 * Channel(qGreen(colour)) +
           0.0722 * Channel(qBlue(colour));
}

double Contrast(QRgb a, QRgb b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(ContrastRatio, FollowsTheDefinition) {
    EXPECT_NEAR(Contrast(qRgb(0, 0, 0), qRgb(255, 255, 255)), 21.0, 1e-9);
    EXPECT_NEAR(Contrast(qRgb(0x77, 0x77, 0x77), qRgb(255, 255, 255)), 4.48, 0.01);
    EXPECT_NEAR(Contrast(qRgb(10, 20, 30), qRgb(10, 20, 30)), 1.0, 1e-9);
}

// The shipped skin, loaded once from its folder.
class SkinContrast : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string folder = ShippedSkinFolder();
        if (!QFile::exists(QString::fromStdString(folder + "/skin.ini"))) {
            return;
        }
        messages_ = new RecordingMessageBox;
        skin_ = new CSkin(std::make_shared<SkinFileSource>(""), *messages_);
        if (!skin_->Load(folder)) {
            delete skin_;
            skin_ = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete skin_;
        skin_ = nullptr;
        delete messages_;
        messages_ = nullptr;
    }
    void SetUp() override {
        if (skin_ == nullptr) {
            GTEST_SKIP() << "no shipped skin at " << ShippedSkinFolder();
        }
    }

    static QRgb Colour(const std::string& section, const std::string& key) {
        return ColorFromSkin(skin_->GetLong(section, key)).rgb();
    }
    static bool Has(const std::string& section, const std::string& key) {
        return skin_->Numbers().count(section + "::" + key) != 0;
    }
    static QImage Image(const std::string& section, const std::string& key) {
        const QImage* image = skin_->GetImage(section, key, reinterpret_cast<CSkin::User>(&user_));
        return image != nullptr ? image->convertToFormat(QImage::Format_RGB32) : QImage();
    }

    // The ratio of ink to the backdrop in rect, where the text sits: the pixel that is the
    // tenth-worst percent decides, so a hairline border inside the rectangle does not, but
    // any sizeable patch of low contrast does. Mask-coloured pixels are not drawn on.
    static double AgainstImage(QRgb ink, const QImage& image, const QRect& rect, QRgb mask) {
        std::vector<double> ratios;
        const QRect r = rect.intersected(image.rect());
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if ((pixel & 0xFFFFFF) != (mask & 0xFFFFFF)) {
                    ratios.push_back(Contrast(ink, pixel));
                }
            }
        }
        if (ratios.empty()) {
            return 0;
        }
        std::sort(ratios.begin(), ratios.end());
        return ratios[ratios.size() / 10];
    }

    // A text drawn into an image: the backdrop is the commonest colour in rect, the ink the
    // colour that stands out most from it.
    static double DrawnText(const QImage& image, const QRect& rect, QRgb* backdrop = nullptr) {
        std::map<QRgb, int> counts;
        const QRect r = rect.intersected(image.rect());
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                ++counts[image.pixel(x, y)];
            }
        }
        if (counts.empty()) {
            return 0;
        }
        const QRgb ground =
            std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                return a.second < b.second;
            })->first;
        double best = 1;
        for (const auto& [pixel, count] : counts) {
            best = std::max(best, Contrast(pixel, ground));
        }
        if (backdrop != nullptr) {
            *backdrop = ground;
        }
        return best;
    }

    static QRect OwnRect(const std::string& section) {
        return {skin_->GetLong(section, "offset_left"), skin_->GetLong(section, "offset_top"),
                skin_->GetLong(section, "width"), skin_->GetLong(section, "height")};
    }

    static RecordingMessageBox* messages_;
    static CSkin* skin_;
    static int user_;
};

RecordingMessageBox* SkinContrast::messages_ = nullptr;
CSkin* SkinContrast::skin_ = nullptr;
int SkinContrast::user_ = 0;

TEST_F(SkinContrast, TextColoursOnTheirColours) {
    const std::vector<std::array<const char*, 3>> pairs{
        {"Tree", "text_color", "bkcolor"},
        {"Tree", "selected_text_color", "selection_color"},
        {"Tree", "disabled_text_color", "disabled_color"},
        {"List", "textcolor", "bkcolor"},
        {"List", "current_text_color", "bkcolor"},
        {"List", "selected_text_color", "selection_color"},
        {"ListEdit", "textcolor", "bkcolor"},
        {"PopupMenu", "textcolor_normal", "bkcolor_normal"},
        {"PopupMenu", "textcolor_selected", "bkcolor_selected"},
        {"SettingsHost", "textcolor", "bkcolor"},
        {"SettingsPort", "textcolor", "bkcolor"},
        {"SettingsCode", "textcolor", "bkcolor"},
        {"SpinEdit", "textcolor", "bkcolor"},
    };
    for (const auto& [section, ink, ground] : pairs) {
        ASSERT_TRUE(Has(section, ink)) << section << "::" << ink;
        ASSERT_TRUE(Has(section, ground)) << section << "::" << ground;
        EXPECT_GE(Contrast(Colour(section, ink), Colour(section, ground)), kMinimum)
            << section << "::" << ink << " on " << ground;
    }
}

// The tree's expanders are drawn in their own colour on the tree's background; they are
// controls, not text, but a tired eye must find them as easily.
TEST_F(SkinContrast, TreeExpandersStandOut) {
    ASSERT_TRUE(Has("Tree", "expander_color"));
    EXPECT_GE(Contrast(Colour("Tree", "expander_color"), Colour("Tree", "bkcolor")), kMinimum);
}

// Statics without a colour of their own show their window's background through them.
TEST_F(SkinContrast, StaticsOnTheWindowUnderThem) {
    struct Case {
        const char* section;
        const char* window;
        QRect rect; // empty: the static's own rectangle
    };
    const QImage page = Image("PPage", "background");
    ASSERT_FALSE(page.isNull());
    // Page statics go wherever a description puts them: the whole inside of the page.
    const QRect pageInside = page.rect().adjusted(2, 2, -2, -2);
    const std::vector<Case> cases{
        {"SettingsCaption", "Settings", {}},    {"SetStaticHost", "Settings", {}},
        {"SetStaticPort", "Settings", {}},      {"SetStaticCodeLock", "Settings", {}},
        {"SetCommand", "Settings", {}},         {"FrameCaption", "PPage", {}},
        {"SliderCaption", "PPage", pageInside}, {"SpinCaption", "PPage", pageInside},
        {"MsgBoxCaption", "MsgBox", {}},        {"MsgBoxText", "MsgBox", {}},
    };
    for (const Case& c : cases) {
        const QImage under = Image(c.window, "background");
        ASSERT_FALSE(under.isNull()) << c.window;
        const QRect rect = c.rect.isEmpty() ? OwnRect(c.section) : c.rect;
        ASSERT_FALSE(rect.isEmpty()) << c.section;
        EXPECT_GE(AgainstImage(Colour(c.section, "text_color"), under, rect,
                               Colour(c.window, "bkcolormask")),
                  kMinimum)
            << c.section << " on " << c.window;
    }
    // The value read-out draws on its own stretched image.
    const QImage readout = Image("SliderValue", "background");
    ASSERT_FALSE(readout.isNull());
    EXPECT_GE(AgainstImage(Colour("SliderValue", "text_color"), readout,
                           readout.rect().adjusted(3, 3, -3, -3), qRgb(255, 0, 255)),
              kMinimum);
}

// Key captions on the face of each state's image; the disabled images take their caption
// colours crosswise, as the keys draw them.
TEST_F(SkinContrast, KeyCaptionsOnEveryState) {
    const std::vector<std::pair<const char*, const char*>> states{
        {"up", "text_color_up"},
        {"over", "text_color_over"},
        {"down", "text_color_down"},
        {"disabled", "text_color_down_disabled"},
        {"down_disabled", "text_color_disabled"},
    };
    int keys = 0;
    for (const auto& [key, value] : skin_->Numbers()) {
        const std::string suffix = "::draw_text";
        if (value == 0 || key.size() <= suffix.size() ||
            key.compare(key.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        const std::string section = key.substr(0, key.size() - suffix.size());
        ++keys;
        for (const auto& [image, ink] : states) {
            const QImage face = Image(section, image);
            if (face.isNull()) {
                continue;
            }
            // The caption is centred: the middle of the key is what it is drawn on.
            const QRect middle(face.width() / 4, face.height() / 4, face.width() / 2,
                               face.height() / 2);
            EXPECT_GE(
                AgainstImage(Colour(section, ink), face, middle, Colour(section, "bkcolormask")),
                kMinimum)
                << section << "::" << ink << " on " << image;
        }
    }
    EXPECT_GE(keys, 10);
}

// Group captions run along the top edge of the group frame.
TEST_F(SkinContrast, GroupCaptionsOnTheirFrames) {
    for (const char* section : {"ButtonGroup", "ConnectGroup"}) {
        for (const char* image : {"background", "background_disabled"}) {
            const QImage frame = Image(section, image);
            ASSERT_FALSE(frame.isNull()) << section << "::" << image;
            const int top = skin_->GetLong(section, "buttons_ofs_top");
            const QRect band(frame.width() / 4, 1, frame.width() / 2, std::max(4, top - 3));
            EXPECT_GE(AgainstImage(Colour(section, "text_color"), frame, band,
                                   Colour(section, "bkcolormask")),
                      kMinimum)
                << section << " caption on " << image;
        }
    }
}

// Texts drawn into the images: labels of the face plate, the meters, the settings panel
// and the wait window.
TEST_F(SkinContrast, TextsDrawnIntoTheImages) {
    struct Case {
        const char* section;
        const char* key;
        QRect rect;
        const char* what;
    };
    std::vector<Case> cases{
        {"DlgMain", "background", {318, 15, 300, 20}, "product line"},
        {"DlgMain", "background", {30, 592, 300, 14}, "foot line"},
        {"DlgMain", "background", {534, 70, 60, 14}, "OUTPUT"},
        {"DlgMain", "background", {728, 70, 60, 14}, "METERS"},
        {"DlgMain", "background", {534, 142, 70, 14}, "COMPARE"},
        {"DlgMain", "background", {728, 142, 110, 14}, "PROCESSOR LINK"},
        {"DlgMain", "background", {64, 8, 100, 32}, "SOLVEI"},
        {"DlgMain", "background", {176, 8, 120, 32}, "REMOTE"},
        {"Settings", "background", {252, 244, 60, 26}, "UDP"},
        {"Settings", "background", {416, 238, 176, 36}, "lock code hint"},
        {"Settings", "background", {36, 169, 70, 14}, "ETHERNET"},
        {"Settings", "background", {416, 169, 60, 14}, "ACCESS"},
        {"Wait", "background", {58, 18, 200, 22}, "PLEASE WAIT"},
        {"Wait", "background", {58, 42, 260, 18}, "wait line"},
    };
    // The marks of the message boxes: the symbol on its disc.
    for (const char* mark : {"icon_information", "icon_warning", "icon_error", "icon_question"}) {
        cases.push_back({"MsgBox", mark, {6, 6, 24, 24}, "message mark"});
    }
    for (const char* view : {"background", "background_agc", "background_io"}) {
        cases.push_back({"Leds", view, {0, 1, 300, 14}, "meter title"});
        cases.push_back({"Leds", view, {322, 1, 34, 14}, "AGC indicator"});
        cases.push_back({"Leds", view, {362, 1, 34, 14}, "I/O indicator"});
        for (int row = 0; row < 8; ++row) {
            cases.push_back({"Leds", view, {392, 18 + 12 * row, 68, 12}, "row label"});
        }
    }
    for (const char* view : {"background_agc", "background_io"}) {
        cases.push_back({"Leds", view, {0, 120, 40, 12}, "scale start"});
        cases.push_back({"Leds", view, {172, 120, 40, 12}, "scale middle"});
        cases.push_back({"Leds", view, {392, 120, 68, 12}, "scale unit"});
    }
    for (const Case& c : cases) {
        const QImage image = Image(c.section, c.key);
        ASSERT_FALSE(image.isNull()) << c.section << "::" << c.key;
        QRgb ground = 0;
        const double ratio = DrawnText(image, c.rect, &ground);
        EXPECT_GE(ratio, kMinimum) << c.what << " in " << c.section << "::" << c.key << " on #"
                                   << std::hex << (ground & 0xFFFFFF);
    }
}

// The discs of the message boxes' marks stand out from the box (3:1, as for any graphic that
// carries meaning).
TEST_F(SkinContrast, MessageMarksOnTheBox) {
    const QImage box = Image("MsgBox", "background");
    ASSERT_FALSE(box.isNull());
    const QPoint place(skin_->GetLong("MsgBox", "icon_left"), skin_->GetLong("MsgBox", "icon_top"));
    for (const char* mark : {"icon_information", "icon_warning", "icon_error", "icon_question"}) {
        const QImage image = Image("MsgBox", mark);
        ASSERT_FALSE(image.isNull()) << mark;
        QRgb disc = 0;
        DrawnText(image, image.rect().adjusted(4, 4, -4, -4), &disc);
        EXPECT_GE(
            AgainstImage(disc, box, QRect(place, image.size()), Colour("MsgBox", "bkcolormask")),
            3.0)
            << mark;
    }
}

} // namespace
