#include <QTest>

#include "widgets/CSkinDialog.h"
#include "widgets/CSkinEdit.h"
#include "widgets/CSkinStatic.h"
#include "widgets/SkinTextFlags.h"
#include "widgets/SkinFixture.h"

namespace {

const QColor kPage(0, 128, 128), kFill(0, 0, 160), kText(255, 255, 255), kShadow(255, 0, 0);

int Count(const QImage& image, QColor colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// A dialog of kPage colour holding the static "S" at (10, 10), 80 x 30, with the given keys.
struct StaticOnPage {
    explicit StaticOnPage(const std::string& keys) {
        skin.Image("page.bmp", Filled(120, 60, kPage));
        loaded = skin.Load("IMAGE(Dlg::background, \"page.bmp\") STRING(Dlg::statics, \"S\")\n"
                           "LONG(S::offset_left, 10) LONG(S::offset_top, 10)\n"
                           "LONG(S::width, 80) LONG(S::height, 30)\n"
                           "LONG(S::font_height, 20) LONG(S::bold, 1)\n"
                           "LONG(S::font_alignment, 37) LONG(S::text_color, " +
                           Hex(kText) + ")\n" + keys);
        dialog.Create(nullptr, std::nullopt, true);
    }
    QImage Shot() { return dialog.grab().toImage().copy(10, 10, 80, 30); }
    CSkinStatic& Static() { return *dialog.Statics().at(0); }

    SkinFixture skin;
    bool loaded = false;
    CSkinDialog dialog{"Dlg", &skin.manager};
};

struct BackgroundCase {
    const char* name;
    std::string keys;
    QColor corner;
};
// Listed by its name, not as a dump of its bytes.
void PrintTo(const BackgroundCase& c, std::ostream* os) {
    *os << c.name;
}

class StaticBackgroundTest : public ::testing::TestWithParam<BackgroundCase> {};

TEST_P(StaticBackgroundTest, FillsFromImageOrColourOrShowsTheParent) {
    StaticOnPage page(GetParam().keys);
    ASSERT_TRUE(page.loaded);
    EXPECT_EQ(page.Static().geometry(), QRect(10, 10, 80, 30));
    EXPECT_EQ(page.Shot().pixelColor(1, 1), GetParam().corner);
}

INSTANTIATE_TEST_SUITE_P(
    Backgrounds, StaticBackgroundTest,
    ::testing::Values(BackgroundCase{"parent", "", kPage},
                      BackgroundCase{"colour", "LONG(S::bkcolor, " + Hex(kFill) + ")\n", kFill},
                      // Black is 0: no solid background.
                      BackgroundCase{"black", "LONG(S::bkcolor, #000000)\n", kPage}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Static, AShadowDrawsTheTextASecondTimeOffset) {
    const std::string base = "LONG(S::bkcolor, " + Hex(kFill) + ") STRING(S::caption, \"HI\")\n" +
                             "LONG(S::shadow_color, " + Hex(kShadow) + ")\n";
    StaticOnPage plain(base);
    StaticOnPage shadowed(base + "LONG(S::shadow_hor, 1) LONG(S::shadow_vert, 1)\n");
    ASSERT_TRUE(plain.loaded && shadowed.loaded);
    const QImage a = plain.Shot();
    const QImage b = shadowed.Shot();
    EXPECT_GT(Count(a, kText), 10);
    EXPECT_EQ(Count(a, kShadow), 0);
    EXPECT_GT(Count(b, kShadow), 5);
    // The shadow lies one pixel right and down of the text: the text's left column, just
    // above a stem, is followed by shadow one step down-right.
    bool found = false;
    for (int y = 0; y + 1 < b.height() && !found; ++y) {
        for (int x = 0; x + 1 < b.width() && !found; ++x) {
            found = a.pixelColor(x, y) == kText && b.pixelColor(x + 1, y + 1) != kFill;
        }
    }
    EXPECT_TRUE(found);
}

TEST(Static, SetCaptionRepaintsWithTheNewText) {
    StaticOnPage page("LONG(S::bkcolor, " + Hex(kFill) + ") STRING(S::caption, \"I\")\n");
    ASSERT_TRUE(page.loaded);
    const int before = Count(page.Shot(), kText);
    page.Static().SetCaption("WWW");
    EXPECT_EQ(page.Static().Caption(), "WWW");
    EXPECT_GT(Count(page.Shot(), kText), before * 2);
    page.Static().SetCaption("");
    EXPECT_EQ(Count(page.Shot(), kText), 0);
}

TEST(Static, ASeparatorRepeatsItsResizeColumnAcrossTheWidth) {
    SkinFixture skin;
    QImage separator = Filled(5, 4, Qt::darkGray);
    for (int y = 0; y < 4; ++y) {
        separator.setPixelColor(2, y, Qt::yellow);
        separator.setPixelColor(4, y, Qt::red);
    }
    skin.Image("sep.bmp", separator);
    ASSERT_TRUE(skin.Load("IMAGE(Separator::background, \"sep.bmp\")\n"
                          "LONG(Separator::resize_line_x, 2)\n"
                          "LONG(Separator::width, 300) LONG(Separator::height, 4)\n"));
    CSkinStatic line("Separator", &skin.manager);
    line.Create(nullptr, 101);
    const QImage shot = line.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(300, 4));
    EXPECT_EQ(shot.pixelColor(1, 1), QColor(Qt::darkGray));
    for (int x = 2; x < 298; ++x) {
        ASSERT_EQ(shot.pixelColor(x, 1), QColor(Qt::yellow)) << x;
    }
    EXPECT_EQ(shot.pixelColor(299, 1), QColor(Qt::red));
}

struct FlagsCase {
    int32_t skin;
    int qt;
    bool noClip;
};

class TextFlagsTest : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(TextFlagsTest, MapsTheSkinsAlignmentFlags) {
    EXPECT_EQ(TextFlagsFromSkin(GetParam().skin), GetParam().qt);
    EXPECT_EQ(SkinTextNoClip(GetParam().skin), GetParam().noClip);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, TextFlagsTest,
    ::testing::Values(FlagsCase{0, Qt::AlignLeft | Qt::AlignTop, false},
                      FlagsCase{1, Qt::AlignHCenter | Qt::AlignTop, false},
                      FlagsCase{2, Qt::AlignRight | Qt::AlignTop, false},
                      FlagsCase{37, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
                                false},
                      FlagsCase{40, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine, false},
                      FlagsCase{17, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, false},
                      FlagsCase{273, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, true}));

TEST(Edit, TakesPlaceColoursAndFontFromItsSection) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load("LONG(E::offset_left, 5) LONG(E::offset_top, 6)\n"
                          "LONG(E::width, 70) LONG(E::height, 18)\n"
                          "LONG(E::bkcolor, " +
                          Hex(kFill) + ") LONG(E::textcolor, " + Hex(kText) +
                          ")\n"
                          "LONG(E::font_height, 13) LONG(E::italic, 1)\n"));
    QWidget host;
    CSkinEdit edit("E", &skin.manager);
    edit.Create(&host, 300);
    host.show();
    EXPECT_EQ(edit.geometry(), QRect(5, 6, 70, 18));
    EXPECT_EQ(edit.palette().color(QPalette::Base), kFill);
    EXPECT_EQ(edit.palette().color(QPalette::Text), kText);
    EXPECT_EQ(edit.font().pixelSize(), 13);
    EXPECT_TRUE(edit.font().italic());
    edit.setText("WWW");
    const QImage shot = edit.grab().toImage();
    EXPECT_EQ(shot.pixelColor(68, 2), kFill);
    EXPECT_GT(Count(shot, kText), 5);
}

} // namespace
