#include <QTest>

#include "pages/PagesFixture.h"

namespace {

std::string Group(const std::string& name, const std::string& children,
                  const std::string& condition = "null") {
    return R"({"group": ")" + name + R"(", "condition": )" + condition + R"(, "children": [)" +
           children + "]}";
}

std::string Set(int c) {
    return SetRecord(NumericItem(c, "p" + std::to_string(c)));
}

// Processes posted events until done() holds or a second has passed.
template <typename Done> bool PumpUntil(Done done) {
    QDeadlineTimer deadline(1000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// A: set; A > B: a group with a condition and no sets; A > B > C: set; D: set; E: set with
// a condition.
std::shared_ptr<ControlNode> NestedRoot() {
    return ParseBytes(
        Encode(R"({"records": [)" +
               Group("A", Set(1) + "," + Group("B", Group("C", Set(2)), Condition(9, 1, 1))) + "," +
               Group("D", Set(3)) + "," + Group("E", Set(4), Condition(9, 2, 2)) + "]}"));
}

TEST(PageTree, IndexesPathsAndFallbacksInPreOrder) {
    PageHarness h;
    h.tree.Build(NestedRoot());
    ASSERT_EQ(h.tree.PageCount(), 5);
    const std::vector<std::string> paths = {"A", "A > B", "A > B > C", "D", "E"};
    // C has no condition of its own and B's budget is spent on it: C is its own fallback.
    const std::vector<int> fallbacks = {0, 0, 2, 3, 3};
    const std::vector<bool> hasSets = {true, false, true, true, true};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const CPageTree::Page* page = h.tree.Lookup(i);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->path, paths[static_cast<std::size_t>(i)]);
        EXPECT_EQ(page->fallback, fallbacks[static_cast<std::size_t>(i)]);
        EXPECT_EQ(page->hasSets, hasSets[static_cast<std::size_t>(i)]);
        ASSERT_NE(page->item, nullptr);
        EXPECT_EQ(h.tree.IndexOf(page->item), i);
    }
    EXPECT_EQ(h.tree.Lookup(5), nullptr);
    EXPECT_EQ(h.tree.Lookup(-1), nullptr);
    ASSERT_EQ(h.tree.topLevelItemCount(), 3);
    EXPECT_EQ(h.tree.topLevelItem(0)->child(0)->text(0), "B");
    EXPECT_TRUE(h.tree.topLevelItem(0)->isExpanded());
}

TEST(PageTree, AHiddenGroupsChildrenStandAtTheTopLevel) {
    PageHarness h;
    auto root = NestedRoot();
    root->children[0]->children[0]->hidden = 1; // A > B
    h.tree.Build(root);
    ASSERT_EQ(h.tree.PageCount(), 5);
    EXPECT_EQ(h.tree.Lookup(1)->item, nullptr);
    EXPECT_TRUE(h.tree.Lookup(1)->hidden);
    // C keeps its index and path, but its item is a top-level one after A.
    const CPageTree::Page* c = h.tree.Lookup(2);
    ASSERT_NE(c->item, nullptr);
    EXPECT_EQ(c->path, "A > B > C");
    EXPECT_EQ(c->item->parent(), nullptr);
    ASSERT_EQ(h.tree.topLevelItemCount(), 4);
    EXPECT_EQ(h.tree.topLevelItem(1), c->item);
    EXPECT_EQ(h.tree.topLevelItem(0)->childCount(), 0);
}

TEST(PageTree, SelectionOpensAPageOnceAndAGroupWithoutSetsPassesItOn) {
    PageHarness h;
    h.tree.Build(NestedRoot());
    std::vector<std::pair<int, bool>> opened;
    h.tree.SetPageCallback([&](int index, bool rebuild) { opened.emplace_back(index, rebuild); });

    h.tree.setCurrentItem(h.tree.Lookup(3)->item);
    ASSERT_TRUE(PumpUntil([&] { return opened.size() == 1; }));
    EXPECT_EQ(opened[0], std::make_pair(3, true));

    // B has no sets and is expanded: the selection moves on to C, whose page opens.
    h.tree.setCurrentItem(h.tree.Lookup(1)->item);
    ASSERT_TRUE(PumpUntil([&] { return opened.size() == 2; }));
    EXPECT_EQ(opened[1], std::make_pair(2, true));
    EXPECT_EQ(h.tree.currentItem(), h.tree.Lookup(2)->item);

    // The page open from the tree again, or a collapsed group without sets: nothing.
    h.tree.clearSelection();
    h.tree.setCurrentItem(h.tree.Lookup(2)->item);
    h.tree.Lookup(1)->item->setExpanded(false);
    h.tree.setCurrentItem(h.tree.Lookup(1)->item);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(h.tree.LastOpened(), 2);
}

TEST(PageTree, HoldsEveryOneOfManyNamedPages) {
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    // 150 pages, more than the hundred a fixed table would hold.
    std::string records;
    for (int i = 0; i < 150; ++i) {
        records += (i > 0 ? "," : "") + Group("P" + std::to_string(i), Set(i % 200));
    }
    auto root = ParseBytes(Encode(R"({"records": [)" + records + "]}"));
    h.model.OnConnectStarted();
    h.pages->OnConnectStarted();
    h.pages->OnDescriptionLoaded(root);
    EXPECT_EQ(h.tree.PageCount(), 150);
    EXPECT_EQ(h.tree.topLevelItemCount(), 150);
    const CPageTree::Page* last = h.tree.Lookup(149);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->path, "P149");
    EXPECT_EQ(h.tree.IndexOf(last->item), 149);

    h.AnswerReads([](const ParamAddress&) { return 0; });
    h.link.reads.clear();
    h.pages->ShowPage(149, true);
    ASSERT_NE(h.pages->Page(), nullptr);
    EXPECT_EQ(h.pages->CurrentIndex(), 149);
    ASSERT_EQ(h.model.Registry().Size(), 1u);
    EXPECT_EQ(h.model.Registry().Entries()[0].item->address, (ParamAddress{0, 1, 149}));
}

} // namespace
