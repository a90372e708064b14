#include <map>

#include <QSignalSpy>
#include <QTest>

#include "pages/PagesFixture.h"
#include "pages/ParamButtonGroup.h"
#include "pages/ParamSlider.h"
#include "pages/ParamSpin.h"
#include "pages/ParamSpinEdit.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinStatic.h"

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A page with a slider (address [0, 1, 1], 41 steps, a condition source), a button group
// ([0, 1, 2]), a two-field spin ([1, 1, 3] and [0, 1, 4]) and a clock field ([5, 0, 0]).
struct ControlsPage {
    ControlsPage() {
        root = ParseBytes(Encode(R"({"records": [{"group": "Page", "children": [)" +
                                 SetRecord(NumericItem(1, "Drive", 1)) + "," +
                                 R"({"style": 1, "box": {"width": 30, "height": 5, "left": 22,
                                   "top": 2}, "items": [{"kind": 1, "address": [0, 1, 2],
                                   "name": "Mode", "unit": "", "entries": ["A", "B", "C"]}]},
                                   {"style": 2, "box": {"width": 12, "height": 3, "left": 22,
                                   "top": 10}, "items": [
                                   {"kind": 0, "address": [1, 1, 3], "name": "Hi", "unit": "",
                                    "span": 9, "minimum": 0, "step": 1, "format": 2},
                                   {"kind": 0, "address": [0, 1, 4], "name": "Lo", "unit": "",
                                    "span": 99, "minimum": -50, "step": 1, "format": 2}]},
                                   {"style": 2, "box": {"width": 12, "height": 3, "left": 22,
                                   "top": 15}, "items": [
                                   {"kind": 0, "address": [5, 0, 0], "name": "Hour", "unit": "h",
                                    "span": 23, "minimum": 0, "step": 1, "format": 10}]}]}]})"));
        h.model.OnDescriptionLoaded(root);
        h.link.reads.clear();
        page = h.Build(*root->children[0], "Page");
        page->show();
        slider = ControlsOf<ParamSlider>(*page).at(0);
        group = ControlsOf<ParamButtonGroup>(*page).at(0);
        spin = ControlsOf<ParamSpin>(*page).at(0);
        fields = ControlsOf<ParamSpinEdit>(*page);
    }

    PageHarness h;
    std::shared_ptr<ControlNode> root;
    std::unique_ptr<ParameterPage> page;
    ParamSlider* slider = nullptr;
    ParamButtonGroup* group = nullptr;
    ParamSpin* spin = nullptr;
    std::vector<ParamSpinEdit*> fields;
};

TEST(PageControls, ADragWritesAtMostOncePerIntervalAndTheReleaseSendsTheFinalValue) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    ParamSlider* slider = p.slider;
    slider->setValue(slider->minimum());
    const QPoint grip = slider->ThumbRect().center();
    SendMouse(slider, QEvent::MouseButtonPress, grip, Qt::LeftButton);
    ASSERT_TRUE(slider->IsDragging());
    // 40 moves of about one tic each, 30 ms apart: 1.2 s of dragging.
    const double scale = slider->Scale();
    for (int i = 1; i <= 40; ++i) {
        p.h.nowMs += 30;
        SendMouse(slider, QEvent::MouseMove, grip + QPoint(0, static_cast<int>(i * scale)),
                  Qt::LeftButton);
    }
    ASSERT_FALSE(p.h.link.writes.empty());
    const std::size_t duringDrag = p.h.link.writes.size();
    EXPECT_LE(duringDrag, 6u); // 1200 ms / more than 200 ms
    for (std::size_t i = 1; i < duringDrag; ++i) {
        EXPECT_GT(p.h.link.writes[i].atMs - p.h.link.writes[i - 1].atMs,
                  ParamSlider::kSendIntervalMs);
    }
    p.h.nowMs += 10; // well within the interval: the release still sends
    SendMouse(slider, QEvent::MouseButtonRelease, grip + QPoint(0, static_cast<int>(40 * scale)),
              Qt::NoButton);
    ASSERT_EQ(p.h.link.writes.size(), duringDrag + 1);
    const auto& last = p.h.link.writes.back();
    EXPECT_EQ(last.address, (ParamAddress{0, 1, 1}));
    EXPECT_EQ(last.value, slider->DeviceValue());
    EXPECT_EQ(last.value, 0); // dragged to the bottom: the lowest value
    // A condition source updates the model at once.
    EXPECT_EQ(p.root->children[0]->sets[0]->items[0].value, 0);
    // Releasing again on the same value sends nothing.
    p.h.nowMs += 1000;
    SendMouse(slider, QEvent::MouseButtonRelease, grip, Qt::NoButton);
    EXPECT_EQ(p.h.link.writes.size(), duringDrag + 1);
}

TEST(PageControls, KeysAndWheelOfferTheirValueThrottledLikeADrag) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    p.slider->setValue(-20); // device value 20
    p.slider->setFocus();
    QTest::keyClick(p.slider, Qt::Key_Down);
    ASSERT_EQ(p.h.link.writes.size(), 1u);
    EXPECT_EQ(p.h.link.writes[0].value, p.slider->DeviceValue());
    EXPECT_NE(p.slider->DeviceValue(), 20);
    p.h.nowMs += ParamSlider::kSendIntervalMs; // not more than the interval yet
    QTest::keyClick(p.slider, Qt::Key_Down);
    EXPECT_EQ(p.h.link.writes.size(), 1u);
    p.h.nowMs += 1;
    QWheelEvent wheel(QPointF(5, 5), p.slider->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(p.slider, &wheel);
    ASSERT_EQ(p.h.link.writes.size(), 2u);
    EXPECT_EQ(p.h.link.writes[1].value, p.slider->DeviceValue());
}

TEST(PageControls, AStepHeldBackByTheIntervalGoesOutWhenTheIntervalEnds) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    p.slider->setValue(-20);
    p.slider->setFocus();
    // Three taps 25 ms apart: the first goes out, the other two are held back.
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(p.slider, Qt::Key_Down);
        p.h.nowMs += 25;
    }
    ASSERT_EQ(p.h.link.writes.size(), 1u);
    ASSERT_NE(p.h.link.writes[0].value, p.slider->DeviceValue());
    ASSERT_TRUE(p.slider->TrailTimer().isActive());
    EXPECT_LE(p.slider->TrailTimer().interval(), ParamSlider::kSendIntervalMs + 1);
    // The interval ends: the value shown is what the processor gets.
    p.h.nowMs += ParamSlider::kSendIntervalMs;
    p.slider->OnTrailTimer();
    ASSERT_EQ(p.h.link.writes.size(), 2u);
    EXPECT_EQ(p.h.link.writes[1].value, p.slider->DeviceValue());
    // Nothing more to send: the timer's next end writes nothing.
    p.slider->OnTrailTimer();
    EXPECT_EQ(p.h.link.writes.size(), 2u);
    EXPECT_FALSE(p.slider->TrailTimer().isActive());
}

TEST(PageControls, TheTrailingSendFiresByItselfWithoutAnotherMove) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    p.slider->setValue(-20);
    p.slider->setFocus();
    QTest::keyClick(p.slider, Qt::Key_Down);
    QTest::keyClick(p.slider, Qt::Key_Down);
    ASSERT_EQ(p.h.link.writes.size(), 1u);
    p.h.nowMs += ParamSlider::kSendIntervalMs + 1;
    QTRY_COMPARE_WITH_TIMEOUT(p.h.link.writes.size(), 2u, 5000);
    EXPECT_EQ(p.h.link.writes[1].value, p.slider->DeviceValue());
}

TEST(PageControls, AfterADeviceValueTheOperatorCanMoveBackToTheValueLastSent) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    p.h.model.OnParameterValue({0, 1, 1}, 20);
    p.slider->setFocus();
    QTest::keyClick(p.slider, Qt::Key_Down);
    ASSERT_EQ(p.h.link.writes.size(), 1u);
    const std::uint8_t sent = p.h.link.writes[0].value;
    // Someone else puts the processor back to 20; the fader follows.
    p.h.model.OnParameterValue({0, 1, 1}, 20);
    EXPECT_EQ(p.slider->DeviceValue(), 20);
    // The same key again reaches the value sent before: the processor must get it again.
    p.h.nowMs += 1000;
    QTest::keyClick(p.slider, Qt::Key_Down);
    ASSERT_EQ(p.slider->DeviceValue(), sent);
    ASSERT_EQ(p.h.link.writes.size(), 2u);
    EXPECT_EQ(p.h.link.writes[1].value, sent);
}

TEST(PageControls, EachDeviceValueReachesItsControl) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    ParameterModel& model = p.h.model;
    model.OnParameterValue({0, 1, 1}, 30);
    EXPECT_EQ(p.slider->DeviceValue(), 30);
    EXPECT_EQ(p.slider->value(), p.slider->maximum() - 30);
    EXPECT_EQ(p.slider->LastSent(), -1); // a device value is not a send
    model.OnParameterValue({0, 1, 2}, 2);
    EXPECT_EQ(p.group->Selection(), 2);
    model.OnParameterValue({1, 1, 3}, 7);
    model.OnParameterValue({0, 1, 4}, 60); // -50 + 60
    EXPECT_EQ(p.fields[0]->text(), " 7");
    EXPECT_EQ(p.fields[1]->text(), "10");
    EXPECT_DOUBLE_EQ(p.spin->GetValue(0), 10);
    // Values are shown, never written back.
    EXPECT_TRUE(p.h.link.writes.empty());
    // The slider's value label follows: minimum -200, step 5, one decimal.
    for (CSkinStatic* text : p.page->findChildren<CSkinStatic*>()) {
        if (text->Section() == "SliderValue") {
            EXPECT_EQ(text->Caption(), "-5.0 dB");
        }
    }
}

TEST(PageControls, AButtonGroupWritesAtOnceAndASpinFieldWritesWithoutTheModel) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    QTest::mouseClick(p.group->Buttons()[1].get(), Qt::LeftButton);
    ASSERT_EQ(p.h.link.writes.size(), 1u);
    EXPECT_EQ(p.h.link.writes[0].address, (ParamAddress{0, 1, 2}));
    EXPECT_EQ(p.h.link.writes[0].value, 1);
    EXPECT_FALSE(p.h.model.RecomputePending()); // not a condition source

    // The arrow steps the current field (the least significant, [0, 1, 4]).
    p.h.model.OnParameterValue({0, 1, 4}, 99); // shows 49, the top
    p.h.link.writes.clear();
    p.spin->SetCurrentField(0);
    QTest::mouseClick(p.spin, Qt::LeftButton, {}, p.spin->UpRect().center());
    // The field wrapped to -50 (device 0) and carried one into the next field ([1, 1, 3]).
    ASSERT_EQ(p.h.link.writes.size(), 2u);
    std::map<int, int> written; // by the address's last byte
    for (const auto& write : p.h.link.writes) {
        written[write.address.c] = write.value;
    }
    EXPECT_EQ(written, (std::map<int, int>{{3, 1}, {4, 0}}));
    EXPECT_FALSE(p.h.model.RecomputePending());
}

TEST(PageControls, ClockFieldsReadEverySecondWhileThePageIsVisible) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    ParamSpinEdit* clock = p.fields.at(2);
    EXPECT_TRUE(clock->ClockTimer().isActive());
    EXPECT_EQ(clock->ClockTimer().interval(), 1000);
    EXPECT_FALSE(p.fields[0]->ClockTimer().isActive());
    clock->OnClockTick();
    ASSERT_EQ(p.h.link.reads.size(), 1u);
    EXPECT_EQ(p.h.link.reads[0], (ParamAddress{5, 0, 0}));
    p.page->hide();
    clock->OnClockTick();
    EXPECT_EQ(p.h.link.reads.size(), 1u);
}

TEST(PageControls, CompareModeDisablesTheControlsOfFirstAddressByteZero) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    p.h.model.Registry().SetCompareMode(true);
    EXPECT_FALSE(p.slider->isEnabled());
    EXPECT_FALSE(p.group->isEnabled());
    EXPECT_TRUE(p.fields[0]->isEnabled());  // [1, 1, 3]
    EXPECT_FALSE(p.fields[1]->isEnabled()); // [0, 1, 4]
    EXPECT_TRUE(p.spin->isEnabled());       // one field is still the user's
    EXPECT_TRUE(p.fields[2]->isEnabled());
    p.h.model.Registry().SetCompareMode(false);
    EXPECT_TRUE(p.slider->isEnabled());
    EXPECT_TRUE(p.group->isEnabled());
    EXPECT_TRUE(p.fields[1]->isEnabled());

    // A spin whose every field is disabled takes its arrows away too.
    p.fields[0]->SetControlEnabled(false);
    p.fields[1]->SetControlEnabled(false);
    EXPECT_FALSE(p.spin->isEnabled());
}

TEST(PageControls, RegistryEntriesLeaveWithTheirControls) {
    ControlsPage p;
    ASSERT_TRUE(p.h.skinLoaded);
    EXPECT_EQ(p.h.model.Registry().Size(), 5u);
    p.page.reset();
    EXPECT_EQ(p.h.model.Registry().Size(), 0u);
    // A late reply finds no control to reach.
    p.h.model.OnParameterValue({0, 1, 1}, 3);
}

} // namespace
