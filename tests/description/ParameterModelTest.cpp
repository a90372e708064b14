#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DescriptionFixtures.h"
#include "description/IBoundControl.h"
#include "description/IParameterLink.h"
#include "description/IParameterLog.h"
#include "description/IParameterModelHost.h"
#include "description/ParameterModel.h"

namespace {

struct FakeLink : IParameterLink {
    bool IsConnected() const override { return connected; }
    void ReadParameter(const ParamAddress& address) override { reads.push_back(address.c); }
    void WriteParameter(const ParamAddress& address, std::uint8_t value) override {
        writes.emplace_back(address.c, value);
    }
    void SetPolling(bool on) override { polling.push_back(on); }

    bool connected = true;
    std::vector<int> reads; // address byte c of each read
    std::vector<std::pair<int, int>> writes;
    std::vector<bool> polling;
};

struct FakeLog : IParameterLog {
    void Log(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

struct FakeHost : IParameterModelHost {
    void OnPageRefreshed() override { ++refreshed; }
    void RebuildPageTree() override { ++treeRebuilds; }
    void RebuildCurrentPage() override { ++pageRebuilds; }
    bool IsPresetDownloadRunning() const override { return downloading; }

    int refreshed = 0;
    int treeRebuilds = 0;
    int pageRebuilds = 0;
    bool downloading = false;
};

struct FakeControl : IBoundControl {
    void ShowDeviceValue(std::uint8_t value) override { shown.push_back(value); }
    void SetControlEnabled(bool on) override { enabled = on; }
    std::vector<int> shown;
    bool enabled = true;
};

ParamAddress At(std::uint8_t c) {
    return {0, 1, c};
}

// Pages: "Main" (sets at 1 and 2), its hidden subpage "Sub" (set at 1), an unnamed group with
// a set at 1, and a condition source at 9 on "Ctl" that "Dep" (set at 3) depends on.
std::shared_ptr<ControlNode> Fixture() {
    return ParseBytes(Encode(R"({"records": [
        {"group": "Main", "children": [)" +
                             SetRecord(NumericItem(1, "a")) + "," + SetRecord(NumericItem(2, "b")) +
                             R"(,
            {"group": "Sub", "children": [)" +
                             SetRecord(NumericItem(1, "c")) + R"(]}]},
        {"group": "", "children": [)" +
                             SetRecord(NumericItem(1, "d")) + R"(]},
        {"group": "Ctl", "children": [)" +
                             SetRecord(NumericItem(9, "src", 1)) + R"(]},
        {"group": "Dep", "children": [
            {"items": [)" + NumericItem(3, "dep") +
                             R"(], "condition": {"address": [0, 1, 9],
             "low": 0, "high": 4}}]}]})"));
}

class ParameterModelTest : public testing::Test {
protected:
    void Load() {
        root = Fixture();
        ASSERT_EQ(root->children.size(), 4u);
        root->children[0]->children[0]->hidden = 1;
        model.OnConnectStarted();
        model.OnDescriptionLoaded(root);
    }
    std::uint8_t Value(const ControlNode& node, std::size_t set = 0) {
        return node.sets.at(set)->items.at(0).value;
    }

    FakeLink link;
    FakeLog log;
    FakeHost host;
    ParameterModel model{link, log, host};
    std::shared_ptr<ControlNode> root;
};

TEST_F(ParameterModelTest, InitialReadFillsTheModelButNoControl) {
    Load();
    EXPECT_EQ(link.reads, (std::vector<int>{1, 2, 1, 1, 9, 3})); // sets first, depth first
    FakeControl control;
    ParamItem copy = root->children[0]->sets[0]->items[0];
    model.Registry().Add(control, copy);

    model.OnParameterValue(At(1), 7);
    EXPECT_TRUE(model.InInitialRead());
    EXPECT_EQ(Value(*root->children[0]), 7);
    EXPECT_EQ(Value(*root->children[0]->children[0]), 7); // hidden page too
    EXPECT_EQ(Value(*root->children[1]), 0);              // unnamed group: not a page
    EXPECT_TRUE(control.shown.empty());
    EXPECT_EQ(copy.value, 0);

    model.OnParameterValue(At(3), 4); // the last address requested ends the phase
    EXPECT_FALSE(model.InInitialRead());
    EXPECT_EQ(link.polling, std::vector<bool>{true});
    model.OnParameterValue(At(1), 8);
    EXPECT_EQ(control.shown, std::vector<int>{8});
    EXPECT_EQ(copy.value, 8);
    EXPECT_EQ(Value(*root->children[0]), 7); // the tree is not updated in this phase
}

TEST_F(ParameterModelTest, InitialReadLeavesPollingToAPresetDownload) {
    host.downloading = true;
    Load();
    model.OnParameterValue(At(3), 4);
    EXPECT_FALSE(model.InInitialRead());
    EXPECT_TRUE(link.polling.empty());
}

TEST_F(ParameterModelTest, AnEmptyDescriptionEndsTheInitialReadAtOnce) {
    model.OnConnectStarted();
    model.OnDescriptionLoaded(ParseBytes(Encode("{}")));
    EXPECT_FALSE(model.InInitialRead());
    EXPECT_TRUE(link.reads.empty());
}

TEST_F(ParameterModelTest, ReadsAndWritesNeedTheLink) {
    Load();
    model.OnParameterValue(At(3), 0);
    model.OnLedState(); // settles the connection's pending visibility work
    link = FakeLink{};
    link.connected = false;
    model.ReadParameter(At(1));
    model.WriteParameter(At(1), 5, true);
    EXPECT_TRUE(link.reads.empty());
    EXPECT_TRUE(link.writes.empty());
    EXPECT_EQ(Value(*root->children[0]), 0);

    link.connected = true;
    model.WriteParameter(At(1), 5, false);
    EXPECT_EQ(Value(*root->children[0]), 0);
    EXPECT_FALSE(model.RecomputePending());
    model.WriteParameter(At(1), 6, true);
    EXPECT_EQ(link.writes, (std::vector<std::pair<int, int>>{{1, 5}, {1, 6}}));
    EXPECT_EQ(Value(*root->children[0]), 6);
    EXPECT_EQ(Value(*root->children[0]->children[0]), 6);
    EXPECT_TRUE(model.RecomputePending());
}

TEST_F(ParameterModelTest, PageRefreshReadsOneControlAtATime) {
    Load();
    model.OnParameterValue(At(3), 0);
    link.reads.clear();
    FakeControl slider;
    FakeControl buttons;
    FakeControl twin;
    ParamItem a = root->children[0]->sets[0]->items[0];
    ParamItem b = root->children[0]->sets[1]->items[0];
    ParamItem aTwin = a;
    model.Registry().Add(slider, a);
    model.Registry().Add(buttons, b);
    model.Registry().Add(twin, aTwin);

    model.StartPageRefresh();
    EXPECT_EQ(link.reads, std::vector<int>{1});
    model.OnParameterValue(At(2), 3); // not the awaited address: no advance
    EXPECT_EQ(link.reads, std::vector<int>{1});
    EXPECT_EQ(buttons.shown, std::vector<int>{3});
    model.OnParameterValue(At(1), 4); // both controls of address 1 take it
    EXPECT_EQ(slider.shown, std::vector<int>{4});
    EXPECT_EQ(twin.shown, std::vector<int>{4});
    EXPECT_EQ(link.reads, (std::vector<int>{1, 2}));
    model.OnParameterValue(At(2), 5);
    EXPECT_EQ(link.reads, (std::vector<int>{1, 2, 1}));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(host.refreshed, 0);
    model.OnParameterValue(At(1), 6);
    EXPECT_FALSE(model.InPageRefresh());
    EXPECT_EQ(log.lines, std::vector<std::string>{"All Controls Updated"});
    EXPECT_EQ(host.refreshed, 1);
    EXPECT_EQ(link.reads.size(), 3u);
}

TEST_F(ParameterModelTest, AnEmptyPageEndsItsRefreshAtOnce) {
    Load();
    model.StartPageRefresh();
    EXPECT_FALSE(model.InPageRefresh());
    EXPECT_EQ(host.refreshed, 1);
    EXPECT_EQ(log.lines, std::vector<std::string>{"All Controls Updated"});
}

TEST_F(ParameterModelTest, AUserChangeOfASourceHidesDependentsAtTheNextLedState) {
    Load();
    model.OnParameterValue(At(3), 0);
    model.OnLedState(); // the connection's pending work: both rebuilds
    EXPECT_EQ(host.treeRebuilds, 1);
    EXPECT_EQ(host.pageRebuilds, 1);
    EXPECT_EQ(model.Conditions(), (ConditionValues{{At(9), 0}}));
    link.reads.clear();

    model.WriteParameter(At(9), 5, true);
    EXPECT_EQ(root->children[3]->sets[0]->hidden, 0);
    model.OnLedState();
    EXPECT_EQ(root->children[3]->sets[0]->hidden, 1);
    EXPECT_EQ(host.treeRebuilds, 1);
    EXPECT_EQ(host.pageRebuilds, 2);
    EXPECT_TRUE(link.reads.empty());
    model.OnLedState(); // nothing pending any more
    EXPECT_EQ(host.pageRebuilds, 2);
}

TEST_F(ParameterModelTest, APresetLoadRereadsTheConditionSources) {
    Load();
    model.OnParameterValue(At(3), 0);
    model.OnLedState();
    link = FakeLink{};

    model.OnPresetLoaded();
    EXPECT_EQ(link.polling, std::vector<bool>{false});
    EXPECT_TRUE(model.InInitialRead());
    EXPECT_EQ(link.reads, std::vector<int>{9});
    model.OnParameterWord(0x02090100u); // a=0, b=1, c=9, value 2
    EXPECT_FALSE(model.InInitialRead());
    EXPECT_EQ(link.polling, (std::vector<bool>{false, true}));
    EXPECT_EQ(Value(*root->children[2]), 2);
    EXPECT_TRUE(model.Marks().pageTreeChanged);
    model.OnLedState();
    EXPECT_EQ(host.treeRebuilds, 2);
}

TEST_F(ParameterModelTest, APresetLoadWithoutSourcesRestartsPolling) {
    model.OnConnectStarted();
    model.OnDescriptionLoaded(
        ParseBytes(Encode(R"({"records": [)" + SetRecord(NumericItem(1, "a")) + "]}")));
    model.OnParameterValue(At(1), 0);
    model.OnLedState();
    link = FakeLink{};
    model.OnPresetLoaded();
    EXPECT_EQ(link.polling, std::vector<bool>{true});
    EXPECT_FALSE(model.InInitialRead());
    EXPECT_TRUE(link.reads.empty());
}

} // namespace
