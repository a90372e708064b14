#include <cmath>

#include <QScreen>
#include <QTest>
#include <QTimer>

#include "widgets/CSkinDialog.h"
#include "widgets/CSkinStatic.h"
#include "skin/ControlId.h"
#include "widgets/SkinFixture.h"

namespace {

struct OpacityCase {
    int transparency;
    double opacity;
};

class DialogTest : public ::testing::TestWithParam<OpacityCase> {};

TEST_P(DialogTest, TakesSizeShapePositionOpacityAndCaptionFromItsSection) {
    SkinFixture skin;
    skin.Image("bk.bmp", WithCorner(40, 30, Qt::darkGreen, 5, kMagenta));
    ASSERT_TRUE(skin.Load("IMAGE(Dlg::background, \"bk.bmp\")\n"
                          "LONG(Dlg::bkcolormask, #FF00FF)\n"
                          "LONG(Dlg::offset_left, 7) LONG(Dlg::offset_top, 9)\n"
                          "LONG(Dlg::transparency, " +
                          std::to_string(GetParam().transparency) +
                          ")\n"
                          "STRING(Dlg::caption, \"Hello\")\n"));
    CSkinDialog dialog("Dlg", &skin.manager);
    dialog.Create(nullptr, std::nullopt, true);

    EXPECT_EQ(dialog.geometry(), QRect(7, 9, 40, 30));
    EXPECT_FALSE(dialog.mask().contains(QPoint(2, 2)));
    EXPECT_TRUE(dialog.mask().contains(QPoint(5, 2)));
    EXPECT_TRUE(dialog.mask().contains(QPoint(39, 29)));
    EXPECT_NEAR(dialog.windowOpacity(), GetParam().opacity, 0.01);
    EXPECT_EQ(dialog.windowTitle(), "Hello");
    EXPECT_EQ(dialog.grab().toImage().pixelColor(20, 15), QColor(Qt::darkGreen));
}

INSTANTIATE_TEST_SUITE_P(Transparency, DialogTest,
                         ::testing::Values(OpacityCase{0, 1.0}, OpacityCase{255, 0.0},
                                           OpacityCase{128, 127.0 / 255.0}));

TEST(DialogStatics, EveryPieceIsAStaticWithTheNextFreeIdAndASecondSkinKeepsThem) {
    SkinFixture skin;
    skin.Image("bk.bmp", Filled(50, 50, Qt::gray));
    const auto script = [](const std::string& caption) {
        return "IMAGE(Dlg::background, \"bk.bmp\")\n"
               "STRING(Dlg::statics, \"A;B;\")\n"
               "LONG(A::width, 20) LONG(A::height, 10)\n"
               "STRING(B::caption, \"" +
               caption + "\")\n";
    };
    ASSERT_TRUE(skin.Load(script("bee")));
    CSkinDialog dialog("Dlg", &skin.manager);
    EXPECT_EQ(dialog.FindFreeControlId(), 101u);
    dialog.Create(nullptr, std::nullopt, true);

    const auto statics = dialog.Statics();
    ASSERT_EQ(statics.size(), 3u);
    const char* sections[] = {"A", "B", ""};
    for (size_t i = 0; i < statics.size(); ++i) {
        EXPECT_EQ(statics[i]->Section(), sections[i]);
        EXPECT_EQ(ControlId(statics[i]), 101u + i);
        EXPECT_EQ(statics[i]->parentWidget(), &dialog);
    }
    EXPECT_EQ(statics[0]->size(), QSize(20, 10));
    EXPECT_EQ(statics[1]->Caption(), "bee");
    EXPECT_EQ(statics[2]->size(), QSize(0, 0));
    EXPECT_EQ(dialog.FindFreeControlId(), 104u);

    skin.Image("bk.bmp", Filled(50, 50, Qt::gray), "U");
    ASSERT_TRUE(skin.Load(script("new"), "U"));
    EXPECT_EQ(dialog.Statics(), statics);
    EXPECT_EQ(statics[1]->Caption(), "new");
    EXPECT_EQ(dialog.findChildren<CSkinStatic*>().size(), 3);
}

TEST(DialogDrag, APopupFollowsTheCursorAndAChildStaysPut) {
    SkinFixture skin;
    skin.Image("bk.bmp", Filled(60, 40, Qt::gray));
    ASSERT_TRUE(skin.Load("IMAGE(Dlg::background, \"bk.bmp\")\n"
                          "LONG(Dlg::offset_left, 100) LONG(Dlg::offset_top, 100)\n"));
    QWidget parent;
    parent.resize(300, 300);
    parent.show();
    CSkinDialog popup("Dlg", &skin.manager);
    popup.Create(&parent, std::nullopt, true);
    CSkinDialog child("Dlg", &skin.manager);
    child.Create(&parent, std::nullopt, false);
    ASSERT_TRUE(popup.isWindow());
    ASSERT_TRUE(child.IsChild());

    for (CSkinDialog* dialog : {&popup, &child}) {
        const QPoint start = dialog->pos();
        QTest::mousePress(dialog, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(dialog, QPoint(25, 17));
        QTest::mouseRelease(dialog, Qt::LeftButton, {}, dialog->mapFromGlobal(QCursor::pos()));
        const QPoint expected = dialog == &popup ? start + QPoint(15, 7) : start;
        EXPECT_EQ(dialog->pos(), expected) << (dialog == &popup ? "popup" : "child");
    }
}

TEST(DialogModal, RunsCentredOnTheScreenWithTheParentDisabledUntilEndModal) {
    SkinFixture skin;
    skin.Image("bk.bmp", Filled(64, 48, Qt::gray));
    ASSERT_TRUE(skin.Load("IMAGE(Dlg::background, \"bk.bmp\")\n"));
    QWidget parent;
    parent.setGeometry(0, 0, 200, 100);
    parent.show();
    CSkinDialog dialog("Dlg", &skin.manager);
    bool parentWasDisabled = false;
    QRect placed;
    QTimer::singleShot(0, &dialog, [&] {
        parentWasDisabled = !parent.isEnabled();
        placed = dialog.geometry();
        dialog.EndModal(5);
    });
    EXPECT_EQ(dialog.DoModal(&parent), 5);
    EXPECT_TRUE(parentWasDisabled);
    EXPECT_TRUE(parent.isEnabled());
    EXPECT_FALSE(dialog.isVisible());
    const QRect screen = dialog.screen()->geometry();
    EXPECT_EQ(placed, QRect(screen.left() + (screen.width() - 64) / 2,
                            screen.top() + (screen.height() - 48) / 2, 64, 48));
}

} // namespace
