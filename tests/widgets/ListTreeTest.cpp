#include <QHeaderView>
#include <QTest>

#include "widgets/CSkinList.h"
#include "widgets/CSkinTree.h"
#include "widgets/SkinFixture.h"

namespace {

std::string ListSkin(int columns) {
    std::string script = "LONG(List::offset_left, 4) LONG(List::offset_top, 5)\n"
                         "LONG(List::width, 150) LONG(List::height, 80)\n"
                         "LONG(List::bkcolor, #102030) LONG(List::textcolor, #F0E0D0)\n"
                         "LONG(List::col_number, " +
                         std::to_string(columns) + ")\n";
    for (int i = 0; i < columns; ++i) {
        script +=
            "LONG(List::col" + std::to_string(i) + "_width, " + std::to_string(20 + i) + ")\n";
    }
    return script;
}

TEST(List, KeepsExactlyColNumberColumnsOverRepeatedSkinning) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(ListSkin(3)));
    QWidget host;
    CSkinList list("List", &skin.manager);
    list.Create(&host, 1050);
    EXPECT_EQ(list.geometry(), QRect(4, 5, 150, 80));
    EXPECT_EQ(list.columnCount(), 3);
    list.ApplySkin();
    EXPECT_EQ(list.columnCount(), 3);

    ASSERT_TRUE(skin.Load(ListSkin(2), "U"));
    EXPECT_EQ(list.columnCount(), 2);
    list.ApplySkin();
    ASSERT_EQ(list.columnCount(), 2);
    EXPECT_EQ(list.columnWidth(0), 20);
    EXPECT_EQ(list.columnWidth(1), 21);
    EXPECT_TRUE(list.isHeaderHidden()) << "captions are all empty";
    EXPECT_EQ(list.palette().color(QPalette::Base), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(list.palette().color(QPalette::Text), QColor(0xF0, 0xE0, 0xD0));
    EXPECT_EQ(list.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(list.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

const QColor kBack(0, 0, 80), kSelected(0, 120, 0), kDisabled(90, 90, 90);

struct TreeOnHost {
    explicit TreeOnHost(bool withIcon) {
        if (withIcon) {
            skin.Image("icon.bmp", Filled(16, 16, Qt::red));
        }
        loaded = skin.Load(std::string(withIcon ? "ICON(Tree::icon, \"icon.bmp\")\n" : "") +
                           "LONG(Tree::width, 160) LONG(Tree::height, 120)\n"
                           "LONG(Tree::bkcolor, " +
                           Hex(kBack) + ") LONG(Tree::text_color, #FFFFFF)\n" +
                           "LONG(Tree::selection_color, " + Hex(kSelected) +
                           ") LONG(Tree::selected_text_color, #FFFF00)\n" +
                           "LONG(Tree::disabled_color, " + Hex(kDisabled) +
                           ") LONG(Tree::disabled_text_color, #C0C0C0)\n");
        tree.Create(&host, 1011);
        for (const char* name : {"Input", "Output", "Limiter"}) {
            items.push_back(new QTreeWidgetItem(&tree, QStringList{name}));
        }
        new QTreeWidgetItem(items[0], QStringList{"Gain"});
        tree.expandAll();
        host.resize(200, 200);
        host.show();
    }
    // The colour at the right end of an item's row, where no text reaches.
    QColor RowColour(QTreeWidgetItem* item) {
        const QRect row = tree.visualItemRect(item);
        return tree.grab().toImage().pixelColor(tree.width() - 3, row.center().y());
    }
    SkinFixture skin;
    bool loaded = false;
    QWidget host;
    CSkinTree tree{"Tree", &skin.manager};
    std::vector<QTreeWidgetItem*> items;
};

TEST(Tree, ColoursItemsByStateAndDisabledItemsInAnEnabledTree) {
    TreeOnHost t(true);
    ASSERT_TRUE(t.loaded);
    t.items[1]->setFlags(t.items[1]->flags() & ~Qt::ItemIsEnabled);
    t.tree.setCurrentItem(t.items[2]);
    ASSERT_TRUE(t.tree.isEnabled());
    EXPECT_EQ(t.RowColour(t.items[0]), kBack);
    EXPECT_EQ(t.RowColour(t.items[1]), kDisabled);
    EXPECT_EQ(t.RowColour(t.items[2]), kSelected);
    EXPECT_EQ(t.tree.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

// The arrow of a group is drawn in the expander colour (here the text colour), and on the
// selected row in that row's text colour: the expander colour would vanish into a selection
// of the same hue.
TEST(Tree, TheSelectedRowsArrowTakesTheSelectedTextColour) {
    TreeOnHost t(false);
    ASSERT_TRUE(t.loaded);
    const auto arrowShows = [&t](QTreeWidgetItem* item, const QColor& colour) {
        const QImage shot = t.tree.grab().toImage();
        const QRect row = t.tree.visualItemRect(item);
        for (int y = row.top(); y <= row.bottom(); ++y) {
            for (int x = 0; x < row.left(); ++x) {
                if (shot.pixelColor(x, y) == colour) {
                    return true;
                }
            }
        }
        return false;
    };
    t.tree.setCurrentItem(t.items[1]);
    EXPECT_TRUE(arrowShows(t.items[0], QColor(Qt::white)));
    t.tree.setCurrentItem(t.items[0]);
    EXPECT_TRUE(arrowShows(t.items[0], QColor(Qt::yellow)));
    EXPECT_FALSE(arrowShows(t.items[0], QColor(Qt::white)));
}

class TreeIconTest : public ::testing::TestWithParam<bool> {};

TEST_P(TreeIconTest, EveryItemShowsTheOneIconOrNone) {
    TreeOnHost t(GetParam());
    ASSERT_TRUE(t.loaded);
    auto* late = new QTreeWidgetItem(t.items[2], QStringList{"Late"});
    for (QTreeWidgetItem* item : {t.items[0], t.items[0]->child(0), t.items[2], late}) {
        EXPECT_EQ(item->icon(0).isNull(), !GetParam()) << item->text(0).toStdString();
    }
    if (GetParam()) {
        const QRect row = t.tree.visualItemRect(t.items[1]);
        const QImage shot = t.tree.grab().toImage();
        bool red = false;
        for (int x = row.left(); x < row.left() + 40 && !red; ++x) {
            red = shot.pixelColor(x, row.center().y()) == QColor(Qt::red);
        }
        EXPECT_TRUE(red);
    }
}

INSTANTIATE_TEST_SUITE_P(Icons, TreeIconTest, ::testing::Bool());

} // namespace
