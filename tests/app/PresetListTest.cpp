#include <cstdlib>

#include <QAction>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "app/CPresetList.h"
#include "app/CPresetNameEdit.h"
#include "widgets/CSkinMenu.h"
#include "widgets/SkinFixture.h"

namespace {

const QColor kBack(0x10, 0x10, 0x40), kText(0xFF, 0x30, 0x30), kCurrent(0x30, 0xFF, 0x30),
    kSelection(0xE0, 0xE0, 0x00), kSelectedText(0x30, 0x30, 0xFF), kEditBack(0x60, 0x00, 0x60);
constexpr int kCol0 = 30, kCol1 = 120, kListWidth = 200;

std::string PresetSkin() {
    return "LONG(List::offset_left, 0) LONG(List::offset_top, 0)\n"
           "LONG(List::width, " +
           std::to_string(kListWidth) +
           ") LONG(List::height, 260)\n"
           "LONG(List::bkcolor, " +
           Hex(kBack) + ") LONG(List::textcolor, " + Hex(kText) + ")\n" +
           "LONG(List::current_text_color, " + Hex(kCurrent) + ")\n" +
           "LONG(List::selection_color, " + Hex(kSelection) + ")\n" +
           "LONG(List::selected_text_color, " + Hex(kSelectedText) + ")\n" +
           "LONG(List::col_number, 2) LONG(List::col0_width, " + std::to_string(kCol0) +
           ") LONG(List::col1_width, " + std::to_string(kCol1) + ")\n" +
           "STRING(List::font, \"DejaVu Sans\") LONG(List::font_height, 14) LONG(List::bold, 1)\n"
           "IMAGE(List::icon_load, \"load.bmp\") IMAGE(List::icon_savefile, \"savefile.bmp\")\n"
           "LONG(List::icon_colormask, #FF00FF)\n"
           "LONG(ListEdit::bkcolor, " +
           Hex(kEditBack) +
           ") LONG(ListEdit::textcolor, #FFFFFF) LONG(ListEdit::font_height, 14)\n"
           "LONG(PopupMenu::bkcolor_normal, #202020) LONG(PopupMenu::bkcolor_selected, #808000)\n"
           "LONG(PopupMenu::textcolor_normal, #FFFFFF) LONG(PopupMenu::font_height, 12)\n";
}

// A preset list of ten presets (U1..U8, F1, F2) on a host window, on a small skin of clearly
// different colours.
class PresetListTest : public ::testing::Test {
protected:
    void SetUp() override {
        skin.Image("load.bmp", Filled(16, 16, Qt::green));
        skin.Image("savefile.bmp", Filled(16, 16, Qt::blue));
        ASSERT_TRUE(skin.Load(PresetSkin()));
        list.Create(&host);
        for (int n = 0; n < 10; ++n) {
            list.InsertPreset(n);
            list.SetPresetName(n, "NAME" + std::to_string(n));
        }
        host.resize(kListWidth, 280);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }

    QRect Row(int preset) { return list.visualItemRect(list.topLevelItem(preset)); }
    QImage Shot() { return list.viewport()->grab().toImage(); }
    // Right-clicks the middle of the preset's label.
    void RightClick(int preset) {
        QTest::mouseClick(list.viewport(), Qt::RightButton, Qt::NoModifier,
                          QPoint(5, Row(preset).center().y()));
    }

    SkinFixture skin;
    QWidget host;
    CPresetList list{&skin.manager};
};

// True when some pixel of the rectangle is (nearly) colour: antialiased text keeps its
// colour in the middle of its strokes.
bool Shows(const QImage& shot, const QRect& rect, const QColor& colour) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor pixel = shot.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) < 12 &&
                std::abs(pixel.green() - colour.green()) < 12 &&
                std::abs(pixel.blue() - colour.blue()) < 12) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(PresetListTest, ItemsAreAQuarterTallerThanTheFontLine) {
    const QFontMetrics metrics(list.font());
    const int h = metrics.height() + std::max(metrics.leading(), 0);
    EXPECT_EQ(list.ItemHeight(), h + h / 4);
    EXPECT_EQ(Row(0).height(), h + h / 4);
    EXPECT_EQ(Row(3).top() - Row(2).top(), h + h / 4);
    EXPECT_EQ(list.topLevelItem(0)->text(0), "U1:");
    EXPECT_EQ(list.topLevelItem(7)->text(0), "U8:");
    EXPECT_EQ(list.topLevelItem(8)->text(0), "F1:");
}

TEST_F(PresetListTest, ColoursFollowSelectionAndTheCurrentPreset) {
    list.SetMarkers(0xFF, 0xFF, 0xFF, 2, 0);
    list.topLevelItem(4)->setSelected(true);
    const QImage shot = Shot();
    struct Case {
        int preset;
        QColor back;
        QColor text;
    };
    for (const Case& c :
         {Case{1, kBack, kText}, Case{2, kBack, kCurrent}, Case{4, kSelection, kSelectedText}}) {
        const QRect row = Row(c.preset);
        // Past the text, inside the item: the item's own background.
        EXPECT_EQ(shot.pixelColor(kCol0 + kCol1 - 3, row.center().y()), c.back) << c.preset;
        EXPECT_TRUE(Shows(shot, row, c.text)) << c.preset;
        for (const QColor& other : {kText, kCurrent, kSelectedText}) {
            if (other != c.text) {
                EXPECT_FALSE(Shows(shot, row, other)) << c.preset;
            }
        }
        // Beside the item the list is bare, whatever the item's state.
        EXPECT_EQ(shot.pixelColor(kCol0 + kCol1 + 5, row.center().y()), kBack) << c.preset;
    }
    // Below the last item too.
    EXPECT_EQ(shot.pixelColor(10, Row(9).bottom() + 5), kBack);
}

TEST_F(PresetListTest, MarkersAddTheirSuffixesInOrder) {
    struct Case {
        int tr, dp, def;
        int preset;
        const char* shown;
    };
    for (const Case& c :
         {Case{0xFF, 0xFF, 0xFF, 3, "NAME3"}, Case{3, 5, 6, 3, "NAME3 (TR)"},
          Case{1, 3, 6, 3, "NAME3 (DP)"}, Case{1, 2, 3, 3, "NAME3 (DEF)"},
          Case{3, 3, 3, 3, "NAME3 (TR) (DP) (DEF)"}, Case{8, 1, 8, 8, "NAME8 (TR) (DEF)"}}) {
        list.SetMarkers(c.tr, c.dp, c.def, 0, 1);
        EXPECT_EQ(list.ShownName(c.preset).toStdString(), c.shown);
    }
    // The marks are drawn: a long suffix widens the text of its row.
    auto textRight = [this](int preset) {
        const QImage shot = Shot();
        const QRect row = Row(preset);
        int right = 0;
        for (int x = 0; x < kCol0 + kCol1; ++x) {
            for (int y = row.top(); y <= row.bottom(); ++y) {
                if (shot.pixelColor(x, y) != kBack) {
                    right = x;
                }
            }
        }
        return right;
    };
    list.SetMarkers(0xFF, 0xFF, 0xFF, 0, 0);
    const int plain = textRight(3);
    list.SetMarkers(3, 0xFF, 3, 0, 0);
    EXPECT_GT(textRight(3), plain + 20);
}

TEST_F(PresetListTest, RightClickSelectsAndOpensTheMenuOfTheKindOfPreset) {
    QSignalSpy commands(&list, &CPresetList::presetCommand);
    QSignalSpy selected(&list, &CPresetList::presetSelected);
    RightClick(1);
    EXPECT_EQ(list.SelectedPreset(), 1);
    EXPECT_TRUE(list.hasFocus());
    ASSERT_TRUE(list.FullMenu()->isVisible());
    EXPECT_FALSE(list.ShortMenu()->isVisible());
    ASSERT_EQ(list.FullMenu()->actions().size(), 5);
    QStringList rows;
    for (QAction* action : list.FullMenu()->actions()) {
        rows << action->text();
    }
    EXPECT_EQ(rows.join(","), "Load,Save,Rename,Load from file,Save to file");
    list.FullMenu()->actions()[1]->trigger();
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0][0].toInt(), 1);
    EXPECT_EQ(commands[0][1].toInt(), 1);

    RightClick(8);
    EXPECT_EQ(list.SelectedPreset(), 8);
    ASSERT_TRUE(list.ShortMenu()->isVisible());
    ASSERT_EQ(list.ShortMenu()->actions().size(), 2);
    EXPECT_EQ(list.ShortMenu()->actions()[1]->text(), "Save to file");
    list.ShortMenu()->actions()[1]->trigger();
    list.ShortMenu()->close();
    RightClick(9);
    list.ShortMenu()->actions()[0]->trigger();
    ASSERT_EQ(commands.size(), 3);
    EXPECT_EQ(commands[1][0].toInt(), 8);
    EXPECT_EQ(commands[1][1].toInt(), 4) << "Save to file of the short menu is command 4";
    EXPECT_EQ(commands[2][0].toInt(), 9);
    EXPECT_EQ(commands[2][1].toInt(), 0);
    ASSERT_EQ(selected.size(), 3);
    EXPECT_EQ(selected[0][0].toInt(), 1);
    EXPECT_EQ(selected[1][0].toInt(), 8);
    EXPECT_EQ(selected[2][0].toInt(), 9);
}

TEST_F(PresetListTest, ASelectionChangeIsReportedOncePerNewItem) {
    QSignalSpy selected(&list, &CPresetList::presetSelected);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, Row(2).center().y()));
    list.ClearSelectionMark(2);
    EXPECT_EQ(list.SelectedPreset(), -1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, Row(2).center().y()));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, Row(9).center().y()));
    ASSERT_EQ(selected.size(), 2);
    EXPECT_EQ(selected[0][0].toInt(), 2);
    EXPECT_EQ(selected[1][0].toInt(), 9);
}

TEST_F(PresetListTest, TheNameEditorCoversColumnOneAndStoresUpperCase) {
    QSignalSpy edited(&list, &CPresetList::presetNameEdited);
    list.topLevelItem(1)->setSelected(true);
    list.StartRename(1);
    CPresetNameEdit* editor = list.Editor();
    ASSERT_TRUE(editor->isVisible());
    EXPECT_EQ(list.EditedPreset(), 1);
    EXPECT_EQ(editor->text(), "NAME1");
    EXPECT_EQ(editor->geometry(), QRect(1 + kCol0, Row(1).top(), kCol1, Row(1).height()));
    // Under the editor only the editor shows: its own colour, none of the list's name.
    const QImage shot = list.viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(kCol0 + kCol1 - 3, Row(1).center().y()), kEditBack);

    editor->selectAll();
    QTest::keyClicks(editor, "evening d");
    editor->insert(QString::fromLatin1("\xE9j\xE0")); // typed on a keyboard with accents
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(list.EditedPreset(), -1);
    EXPECT_EQ(list.PresetName(1), "EVENING D\xC9J\xC0");
    ASSERT_EQ(edited.size(), 1);
    EXPECT_EQ(edited[0][0].toInt(), 1);
    EXPECT_EQ(list.SelectedPreset(), -1);
}

TEST_F(PresetListTest, AnEmptyOrCancelledEditChangesNothing) {
    QSignalSpy edited(&list, &CPresetList::presetNameEdited);
    list.topLevelItem(3)->setSelected(true);
    list.StartRename(3);
    list.Editor()->clear();
    QTest::keyClick(list.Editor(), Qt::Key_Return);
    list.StartRename(3);
    QTest::keyClicks(list.Editor(), "x");
    QTest::keyClick(list.Editor(), Qt::Key_Escape);
    EXPECT_EQ(list.PresetName(3), "NAME3");
    EXPECT_EQ(edited.size(), 0);
    EXPECT_EQ(list.SelectedPreset(), 3);
    EXPECT_FALSE(list.Editor()->isVisible());
}

TEST_F(PresetListTest, NamesLongerThanTheProcessorKeepsCannotBeTyped) {
    list.StartRename(0);
    list.Editor()->clear();
    QTest::keyClicks(list.Editor(), "abcdefghijklmnopqrst");
    QTest::keyClick(list.Editor(), Qt::Key_Return);
    EXPECT_EQ(list.PresetName(0), "ABCDEFGHIJKLMNO");
}

TEST_F(PresetListTest, RefillingEmptiesTheListAndForgetsTheLastSelection) {
    QSignalSpy selected(&list, &CPresetList::presetSelected);
    list.setCurrentItem(list.topLevelItem(0));
    list.RemoveAllPresets();
    EXPECT_EQ(list.topLevelItemCount(), 0);
    EXPECT_EQ(list.SelectedPreset(), -1);
    list.InsertPreset(1);
    list.setCurrentItem(list.topLevelItem(0));
    ASSERT_EQ(selected.size(), 2) << "preset 0 counts as new after a refill";
    EXPECT_EQ(list.topLevelItem(1)->text(0), "U2:");
}

// Screenshots of the list in the shipped skin, for a person to look at: set
// SOLVEI_SCREENSHOT_DIR.
TEST(PresetListScreenshots, ListMenusAndEditorInTheShippedSkin) {
    const char* dir = std::getenv("SOLVEI_SCREENSHOT_DIR");
    if (dir == nullptr) {
        GTEST_SKIP() << "SOLVEI_SCREENSHOT_DIR not set";
    }
    RecordingMessageBox messages;
    CSkinManager skins(QFileInfo(SOLVEI_SHIPPED_SKIN).path().toStdString(), std::string(),
                       messages);
    ASSERT_TRUE(skins.ChangeSkin("Solvei"));
    QWidget host;
    host.resize(300, 600);
    CPresetList list(&skins);
    list.Create(&host);
    const char* names[] = {"MORNING DRIVE", "MIDDAY",  "AFTERNOON", "EVENING",
                           "LATE NIGHT",    "WEEKEND", "",          "TALK",
                           "NEWS TALK",     "ROCK",    "POP CHR",   "CLASSICAL"};
    for (int n = 0; n < 12; ++n) {
        list.InsertPreset(n);
        list.SetPresetName(n, names[n]);
    }
    host.show();
    list.SetMarkers(0, 3, 8, 2, 1);
    list.topLevelItem(5)->setSelected(true);
    list.grab().save(QString(dir) + "/preset-list.png");
    list.StartRename(1);
    list.grab().save(QString(dir) + "/preset-list-editing.png");
    list.EndRename(false);
    auto menuAt = [&list](int preset) {
        QTest::mouseClick(list.viewport(), Qt::RightButton, Qt::NoModifier,
                          QPoint(5, list.visualItemRect(list.topLevelItem(preset)).center().y()));
    };
    menuAt(1);
    list.FullMenu()->grab().save(QString(dir) + "/preset-menu-full.png");
    list.FullMenu()->close();
    menuAt(8);
    list.ShortMenu()->grab().save(QString(dir) + "/preset-menu-short.png");
}

} // namespace
