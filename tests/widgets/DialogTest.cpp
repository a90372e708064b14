#include <cmath>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "widgets/CSkinButton.h"
#include "widgets/CSkinButtonGroup.h"
#include "widgets/CSkinDialog.h"
#include "widgets/CSkinSlider.h"
#include "widgets/CSkinSpin.h"
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

TEST(DialogModal, RunsCentredOnTheScreenWithTheParentBlockedUntilEndModal) {
    SkinFixture skin;
    skin.Image("bk.bmp", Filled(64, 48, Qt::gray));
    ASSERT_TRUE(skin.Load("IMAGE(Dlg::background, \"bk.bmp\")\n"));
    QWidget parent;
    parent.setGeometry(0, 0, 200, 100);
    parent.show();
    CSkinDialog dialog("Dlg", &skin.manager);
    bool parentWasBlocked = false;
    QRect placed;
    QTimer::singleShot(0, &dialog, [&] {
        parentWasBlocked = QGuiApplication::modalWindow() == dialog.windowHandle() &&
                           QApplication::activeModalWidget() == &dialog;
        placed = dialog.geometry();
        dialog.EndModal(5);
    });
    EXPECT_EQ(dialog.DoModal(&parent), 5);
    EXPECT_TRUE(parentWasBlocked);
    EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
    EXPECT_TRUE(parent.isEnabled());
    EXPECT_FALSE(dialog.isVisible());
    const QRect screen = dialog.screen()->geometry();
    EXPECT_EQ(placed, QRect(screen.left() + (screen.width() - 64) / 2,
                            screen.top() + (screen.height() - 48) / 2, 64, 48));
}

// Clicks go through the windows as the window system delivers them, so the modality
// decides which window hears them.
TEST(DialogModal, AButtonInsideAModalWindowTakesClicksAndTheWindowBelowDoesNot) {
    SkinFixture skin;
    skin.Image("bk.bmp", Filled(120, 80, Qt::gray));
    skin.Image("b.bmp", Filled(40, 20, Qt::darkBlue));
    ASSERT_TRUE(skin.Load("IMAGE(Main::background, \"bk.bmp\")\n"
                          "IMAGE(Dlg::background, \"bk.bmp\")\n"
                          "IMAGE(Btn::up, \"b.bmp\") LONG(Btn::offset_left, 30)\n"
                          "LONG(Btn::offset_top, 30)\n"));
    CSkinDialog main("Main", &skin.manager);
    main.Create(nullptr, std::nullopt, true);
    CSkinButton below("Btn", &skin.manager);
    below.Create(&main, 300);
    int insideClicks = 0;
    int belowClicks = 0;
    QObject::connect(&below, &QAbstractButton::clicked, [&] { ++belowClicks; });
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));

    CSkinDialog dialog("Dlg", &skin.manager);
    bool buttonEnabled = false;
    QTimer::singleShot(0, &dialog, [&] {
        auto* inside = new CSkinButton("Btn", &skin.manager);
        inside->Create(&dialog, 301);
        QObject::connect(inside, &QAbstractButton::clicked, [&] { ++insideClicks; });
        buttonEnabled = inside->isEnabled();
        QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, inside->geometry().center());
        QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, below.geometry().center());
        dialog.EndModal(1);
    });
    EXPECT_EQ(dialog.DoModal(&main), 1);
    EXPECT_TRUE(buttonEnabled);
    EXPECT_EQ(insideClicks, 1);
    EXPECT_EQ(belowClicks, 0) << "the window below is blocked while the modal one runs";

    QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, below.geometry().center());
    EXPECT_EQ(belowClicks, 1) << "and takes clicks again afterwards";
}

TEST(DialogModal, AWindowDestroyedWhileModalReturnsFromItsLoop) {
    SkinFixture skin;
    skin.Image("bk.bmp", Filled(64, 48, Qt::gray));
    ASSERT_TRUE(skin.Load("IMAGE(Dlg::background, \"bk.bmp\")\n"));
    QWidget parent;
    parent.resize(200, 100);
    parent.show();
    auto* dialog = new CSkinDialog("Dlg", &skin.manager);
    QTimer::singleShot(0, dialog, [dialog] { delete dialog; });
    EXPECT_EQ(dialog->DoModal(&parent), 0);
    EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
    EXPECT_TRUE(parent.findChildren<CSkinDialog*>().isEmpty());
}

// A draggable window holding a child panel, a button group, a spin and a slider, and a
// disabled spin on the panel. Presses and moves go through the window as the window system
// delivers them: to the control under the pointer, then to its parents while unaccepted.
struct DragCase {
    const char* name;
    QPoint at;  // in the window
    bool drags; // the window's own surface drags, the controls do not
};
void PrintTo(const DragCase& c, std::ostream* os) {
    *os << c.name;
}

class DialogChildDragTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(DialogChildDragTest, APressOnAChildControlNeverDragsTheWindow) {
    const DragCase& c = GetParam();
    SkinFixture skin;
    skin.Image("main.bmp", Filled(300, 200, Qt::gray));
    skin.Image("panel.bmp", Filled(80, 60, Qt::darkGray));
    skin.Image("group.bmp", Filled(30, 30, Qt::darkGreen));
    skin.Image("b.bmp", Filled(20, 10, Qt::darkBlue));
    skin.Image("track.bmp", Filled(40, 20, Qt::darkRed));
    skin.Image("thumb.bmp", Filled(20, 8, Qt::white));
    ASSERT_TRUE(skin.Load(
        "IMAGE(Main::background, \"main.bmp\") LONG(Main::offset_left, 50)\n"
        "LONG(Main::offset_top, 40)\n"
        "IMAGE(Panel::background, \"panel.bmp\") LONG(Panel::offset_left, 10)\n"
        "LONG(Panel::offset_top, 10)\n"
        "IMAGE(ButtonGroup::background, \"group.bmp\") LONG(ButtonGroup::width, 100)\n"
        "LONG(ButtonGroup::height, 40) LONG(ButtonGroup::buttons_ofs_left, 10)\n"
        "LONG(ButtonGroup::buttons_ofs_top, 10) LONG(ButtonGroup::buttons_ofs_right, 10)\n"
        "LONG(ButtonGroup::buttons_ofs_bottom, 10) IMAGE(Button::up, \"b.bmp\")\n"
        "LONG(Spin::width, 60) LONG(Spin::height, 24)\n"
        "IMAGE(Slider::background, \"track.bmp\") IMAGE(Slider::up, \"thumb.bmp\")\n"
        "LONG(Slider::offset_top, 10) LONG(Slider::offset_bottom, 10)\n"));
    CSkinDialog window("Main", &skin.manager);
    window.Create(nullptr, std::nullopt, true);
    CSkinDialog panel("Panel", &skin.manager); // at (10, 10), 80 x 60
    panel.Create(&window, std::nullopt, false);
    CSkinSpin disabledSpin("Spin", &skin.manager); // at (10, 10) on the panel
    disabledSpin.Create(&panel, 501);
    disabledSpin.setEnabled(false);
    CSkinButtonGroup group(&skin.manager); // at (100, 10), 100 wide, 10-pixel margins
    group.Create(&window, 0x500, QPoint(100, 10));
    group.SetButtons({"A", "B"});
    CSkinSpin spin("Spin", &skin.manager);
    spin.Create(&window, 500);
    spin.move(10, 100);
    CSkinSlider slider("Slider", &skin.manager);
    slider.Create(&window, 1000);
    slider.setRange(0, 10);
    slider.setGeometry(240, 40, 40, 120);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.childAt(c.at) == nullptr, c.drags) << "the point is on what it names";

    const QPoint start = window.pos();
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, c.at);
    EXPECT_EQ(window.IsDragging(), c.drags);
    QTest::mouseMove(window.windowHandle(), c.at + QPoint(30, 20));
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, c.at + QPoint(30, 20));
    EXPECT_EQ(window.pos() != start, c.drags);
    EXPECT_FALSE(window.IsDragging());
}

INSTANTIATE_TEST_SUITE_P(Controls, DialogChildDragTest,
                         ::testing::Values(DragCase{"windowSurface", QPoint(150, 180), true},
                                           DragCase{"childPanel", QPoint(70, 60), false},
                                           DragCase{"disabledSpinOnThePanel", QPoint(25, 25),
                                                    false},
                                           DragCase{"buttonGroupMargin", QPoint(103, 13), false},
                                           DragCase{"buttonGroupButton", QPoint(115, 25), false},
                                           DragCase{"spinOutsideItsArrows", QPoint(15, 105), false},
                                           DragCase{"sliderTrack", QPoint(242, 150), false},
                                           DragCase{"sliderThumb", QPoint(260, 50), false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
