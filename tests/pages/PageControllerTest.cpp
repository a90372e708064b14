#include <QApplication>
#include <QTest>

#include "pages/PagesFixture.h"
#include "pages/ParamSlider.h"
#include "pages/ParamSpin.h"
#include "pages/ParamSpinEdit.h"

namespace {

template <typename Done> bool PumpUntil(Done done) {
    QDeadlineTimer deadline(1000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// "Main" holds the condition source [0, 9, 1] (a slider) and a preset-name spin; "Dep" is
// shown while the source is 1 and holds a slider at [0, 1, 2] and one at [1, 1, 3].
std::shared_ptr<ControlNode> Description() {
    return ParseBytes(
        Encode(R"({"records": [{"group": "Main", "children": [)" +
               SetRecord(R"({"kind": 0, "address": [0, 9, 1], "flag": 1, "name": "Source",
                      "unit": "", "span": 3, "minimum": 0, "step": 1, "format": 0})") +
               R"(, {"style": 2, "box": {"width": 16, "height": 3, "left": 22, "top": 4},
              "items": [{"kind": 2, "address": [1, 2, 0], "name": "Preset", "unit": "",
                         "span": 64}]}]},
            {"group": "Dep", "condition": {"address": [0, 9, 1], "low": 1, "high": 1},
             "children": [)" +
               SetRecord(NumericItem(2, "Two")) + "," +
               SetRecord(R"({"kind": 0, "address": [1, 1, 3], "name": "Three", "unit": "",
                      "span": 3, "minimum": 0, "step": 1, "format": 0})") +
               "]}]}"));
}

// Connected with the description read (source 1, everything else 2) and the first LED state
// handled: page 0 is built and filled.
struct Connected {
    Connected() {
        h.host.presetNames = {"U1: Talk", "U2: Music"};
        values[{0, 9, 1}] = 1;
        h.model.OnConnectStarted();
        h.pages->OnConnectStarted();
        h.pages->OnDescriptionLoaded(Description());
        Answer();
        h.model.OnLedState();
        Answer();
    }
    void Answer() {
        h.AnswerReads([this](const ParamAddress& a) {
            const auto it = values.find(a);
            return it != values.end() ? it->second : std::uint8_t{2};
        });
    }
    struct Less {
        bool operator()(const ParamAddress& x, const ParamAddress& y) const {
            return std::tie(x.a, x.b, x.c) < std::tie(y.a, y.b, y.c);
        }
    };
    PageHarness h;
    std::map<ParamAddress, std::uint8_t, Less> values;
};

TEST(PageController, TheFirstLedStateBuildsTheTreeAndFillsPageZero) {
    Connected c;
    ASSERT_TRUE(c.h.skinLoaded);
    EXPECT_EQ(c.h.tree.PageCount(), 2);
    EXPECT_TRUE(c.h.tree.isVisibleTo(&c.h.host.window));
    EXPECT_EQ(c.h.tree.currentItem(), c.h.tree.Lookup(0)->item);
    ParameterPage* page = c.h.pages->Page();
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->isVisible());
    EXPECT_EQ(page->pos(), QPoint(284, 226));
    EXPECT_TRUE(c.h.tree.isEnabled());
    EXPECT_GE(c.h.log.Count("All Controls Updated"), 1);
    EXPECT_GE(c.h.host.settingsHidden, 1);
    // The preset-name field offers "Off" and the presets; the device's 2 is "U2: Music".
    ASSERT_EQ(c.h.pages->PresetFields().size(), 1u);
    const auto fields = ControlsOf<ParamSpinEdit>(*page);
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0]->text(), "U2: Music");
}

TEST(PageController, APageStaysHiddenUntilItsLastControlIsRead) {
    Connected c;
    ASSERT_TRUE(c.h.skinLoaded);
    c.h.pages->ShowPage(1, true);
    ParameterPage* page = c.h.pages->Page();
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(page->isVisible());
    EXPECT_TRUE(c.h.pages->IsReading());
    EXPECT_EQ(c.h.tree.cursor().shape(), Qt::BusyCursor);
    // One read at a time, in registry order.
    ASSERT_EQ(c.h.link.reads.size(), 1u);
    EXPECT_EQ(c.h.link.reads[0], (ParamAddress{0, 1, 2}));
    c.h.model.OnParameterValue({0, 1, 2}, 7);
    ASSERT_EQ(c.h.link.reads.size(), 2u);
    EXPECT_FALSE(page->isVisible());
    c.h.model.OnParameterValue({1, 1, 3}, 1);
    EXPECT_TRUE(page->isVisible());
    EXPECT_TRUE(c.h.tree.isEnabled());
    EXPECT_FALSE(c.h.pages->IsReading());
    EXPECT_NE(c.h.tree.cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(ControlsOf<ParamSlider>(*page)[0]->DeviceValue(), 7);
}

TEST(PageController, OfflineNothingButTheSettingsPanelIsTouched) {
    Connected c;
    ParameterPage* before = c.h.pages->Page();
    const int hidden = c.h.host.settingsHidden;
    c.h.link.connected = false;
    c.h.link.reads.clear();
    c.h.pages->ShowPage(1, true);
    EXPECT_EQ(c.h.host.settingsHidden, hidden + 1);
    EXPECT_EQ(c.h.pages->Page(), before);
    EXPECT_EQ(c.h.pages->CurrentIndex(), 0);
    EXPECT_TRUE(c.h.link.reads.empty());
}

TEST(PageController, CompareModeFollowsBtnBIntoEveryNewPage) {
    Connected c;
    ASSERT_TRUE(c.h.skinLoaded);
    c.h.host.compareLatched = true;
    c.h.pages->ShowPage(1, true);
    c.Answer();
    const auto sliders = ControlsOf<ParamSlider>(*c.h.pages->Page());
    ASSERT_EQ(sliders.size(), 2u);
    EXPECT_FALSE(sliders[0]->isEnabled()); // [0, 1, 2]
    EXPECT_TRUE(sliders[1]->isEnabled());  // [1, 1, 3]
    c.h.pages->SetCompareMode(false);
    EXPECT_TRUE(sliders[0]->isEnabled());
    c.h.pages->SetCompareMode(true);
    EXPECT_FALSE(sliders[0]->isEnabled());
    EXPECT_TRUE(c.h.pages->CompareMode());
}

TEST(PageController, APageWhoseConditionTurnsFalseGivesWayToItsFallback) {
    Connected c;
    ASSERT_TRUE(c.h.skinLoaded);
    c.h.tree.setCurrentItem(c.h.tree.Lookup(1)->item);
    ASSERT_TRUE(PumpUntil([&] { return c.h.pages->CurrentIndex() == 1; }));
    c.Answer();
    ASSERT_TRUE(c.h.pages->Page()->isVisible());

    // A preset load on the processor turns the source to 0: the conditions are read again
    // and the next LED state hides "Dep" and shows "Main" in its place.
    c.values[{0, 9, 1}] = 0;
    c.h.model.OnPresetLoaded();
    c.Answer();
    c.h.model.OnLedState();
    c.Answer();
    EXPECT_EQ(c.h.pages->CurrentIndex(), 0);
    EXPECT_EQ(c.h.tree.Lookup(1)->item, nullptr);
    EXPECT_EQ(c.h.tree.topLevelItemCount(), 1);
    ASSERT_NE(c.h.pages->Page(), nullptr);
    EXPECT_EQ(ControlsOf<ParamSlider>(*c.h.pages->Page())[0]->Item().address,
              (ParamAddress{0, 9, 1}));
    EXPECT_TRUE(c.h.pages->Page()->isVisible());
    // The tree marks the page now shown, and marking it opens nothing more.
    EXPECT_EQ(c.h.tree.currentItem(), c.h.tree.Lookup(0)->item);
    ParameterPage* shown = c.h.pages->Page();
    c.h.link.reads.clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(c.h.pages->Page(), shown);
    EXPECT_TRUE(c.h.link.reads.empty());
}

TEST(PageController, ATreeBuiltAnewStillMarksThePageShown) {
    Connected c;
    ASSERT_TRUE(c.h.skinLoaded);
    c.values[{0, 9, 1}] = 0;
    c.h.model.OnPresetLoaded();
    c.Answer();
    c.h.model.OnLedState();
    c.Answer();
    ASSERT_EQ(c.h.tree.topLevelItemCount(), 1);

    // "Dep" comes back: the tree is built anew around the page shown, which stays.
    c.values[{0, 9, 1}] = 1;
    c.h.model.OnPresetLoaded();
    c.Answer();
    c.h.model.OnLedState();
    c.Answer();
    ASSERT_EQ(c.h.tree.topLevelItemCount(), 2);
    EXPECT_EQ(c.h.pages->CurrentIndex(), 0);
    EXPECT_EQ(c.h.tree.currentItem(), c.h.tree.Lookup(0)->item);
    c.h.link.reads.clear();
    QCoreApplication::processEvents();
    EXPECT_TRUE(c.h.link.reads.empty());
    EXPECT_EQ(c.h.pages->CurrentIndex(), 0);
}

TEST(PageController, ThePageShownStaysWiredWhenItsOwnControlHidesAnotherPage) {
    Connected c;
    ASSERT_TRUE(c.h.skinLoaded);
    ASSERT_EQ(c.h.tree.topLevelItemCount(), 2);
    ASSERT_EQ(c.h.pages->CurrentIndex(), 0);
    // The operator turns the source on "Main" to 0: "Dep" goes from the tree, "Main" keeps
    // every set it had.
    c.h.model.WriteParameter({0, 9, 1}, 0, true);
    c.h.model.OnLedState();
    c.Answer();
    ASSERT_EQ(c.h.tree.topLevelItemCount(), 1);
    ParameterPage* shown = c.h.pages->Page();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    // Its controls are still known to the model: device values and compare mode reach them.
    const auto& entries = c.h.model.Registry().Entries();
    ASSERT_EQ(entries.size(), 2u);
    for (const auto& entry : entries) {
        EXPECT_TRUE(shown->isAncestorOf(dynamic_cast<QWidget*>(entry.control)));
    }
    c.h.model.OnParameterValue({0, 9, 1}, 3);
    EXPECT_EQ(ControlsOf<ParamSlider>(*shown)[0]->DeviceValue(), 3);
}

TEST(PageController, APageChosenInTheTreeWhileAnotherIsReadOpensWhenTheReadEnds) {
    Connected c;
    ASSERT_TRUE(c.h.skinLoaded);
    // "Dep" is being read over a slow link (its first read unanswered) ...
    c.h.tree.setCurrentItem(c.h.tree.Lookup(1)->item);
    ASSERT_TRUE(PumpUntil([&] { return c.h.pages->CurrentIndex() == 1; }));
    ASSERT_TRUE(c.h.pages->IsReading());
    // ... when the operator clicks "Main": the click is taken and kept.
    ASSERT_TRUE(c.h.tree.isEnabled());
    c.h.tree.setCurrentItem(c.h.tree.Lookup(0)->item);
    QCoreApplication::processEvents();
    EXPECT_EQ(c.h.pages->CurrentIndex(), 1) << "the read in progress is not cut off";
    EXPECT_EQ(c.h.pages->PendingPage(), 0);
    // The read ends: the page asked for last opens and is read in turn.
    c.Answer();
    EXPECT_EQ(c.h.pages->CurrentIndex(), 0);
    c.Answer();
    ASSERT_NE(c.h.pages->Page(), nullptr);
    EXPECT_TRUE(c.h.pages->Page()->isVisible());
    EXPECT_EQ(ControlsOf<ParamSlider>(*c.h.pages->Page())[0]->Item().address,
              (ParamAddress{0, 9, 1}));
    EXPECT_EQ(c.h.pages->PendingPage(), -1);
}

TEST(PageController, TheTreeStaysHiddenWhileThePresetListIsShown) {
    Connected c;
    c.h.host.treeLatched = false;
    c.h.pages->RebuildPageTree();
    EXPECT_FALSE(c.h.tree.isVisibleTo(&c.h.host.window));
    EXPECT_EQ(c.h.tree.PageCount(), 2);
    // Only the first rebuild after a connection opens page 0.
    EXPECT_EQ(c.h.pages->CurrentIndex(), 0);
}

} // namespace

namespace {

// A page control or the tree that has the keyboard keeps it when the tree or the page is
// built again (a preset put on air does both): it does not fall to the window's first key,
// and Tab pressed while the page is read lands in the page once it shows.
TEST(PageController, TheFocusStaysInTheTreeOrThePageWhenTheyAreBuiltAgain) {
    Connected c;
    QWidget& window = c.h.host.window;
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QWidget elsewhere(&window); // a key of the window, first in its chain
    elsewhere.setFocusPolicy(Qt::StrongFocus);
    elsewhere.show();

    c.h.tree.setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), &c.h.tree);
    c.h.pages->RebuildPageTree();
    c.Answer();
    EXPECT_EQ(QApplication::focusWidget(), &c.h.tree);

    const auto sliders = ControlsOf<ParamSlider>(*c.h.pages->Page());
    ASSERT_FALSE(sliders.empty());
    sliders[0]->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), sliders[0]);
    c.h.pages->RebuildPageTree();
    c.Answer();
    ASSERT_NE(c.h.pages->Page(), nullptr);
    QWidget* now = QApplication::focusWidget();
    EXPECT_TRUE(now != nullptr && c.h.pages->Page()->isAncestorOf(now))
        << "the focus went to " << (now != nullptr ? now->metaObject()->className() : "nothing");

    // Tab in the tree while the page is read again: the key waits in the tree (the page is
    // not on screen), and the focus enters the page once it shows.
    c.h.tree.setFocus(Qt::OtherFocusReason);
    c.h.pages->ShowPage(c.h.pages->CurrentIndex(), true);
    ASSERT_TRUE(c.h.pages->IsReading());
    QTest::keyClick(&c.h.tree, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), &c.h.tree);
    c.Answer();
    now = QApplication::focusWidget();
    EXPECT_TRUE(now != nullptr && c.h.pages->Page()->isAncestorOf(now))
        << "the focus went to " << (now != nullptr ? now->metaObject()->className() : "nothing");
}

} // namespace
