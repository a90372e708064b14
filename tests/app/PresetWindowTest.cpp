#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <QAction>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppFixture.h"
#include "app/CDebugDlg.h"
#include "app/CHistoryView.h"
#include "app/CPresetBook.h"
#include "app/CPresetList.h"
#include "app/PresetFile.h"
#include "link/CLinkEngine.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinMenu.h"

namespace {

namespace fs = std::filesystem;

ByteString FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Presets in the real main window, connected to a real simulator with twelve presets, with
// the preset list shown.
class PresetWindowTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        StartSim({"--presets", "12"});
        OpenWindow();
        window_->DebugWindow()->EnableLogging();
        ASSERT_TRUE(ConnectAndWait());
        ASSERT_TRUE(window_->Engine().IsConnected());
        ASSERT_TRUE(WaitFor([this] { return List().CurrentPreset() != 0xFF; }));
        QTest::mouseClick(Key(CDlgMain::kPresets), Qt::LeftButton);
        ASSERT_TRUE(List().isVisible());
    }

    CSkinButton* Key(unsigned id) const { return window_->Button(id); }
    CPresetList& List() const { return *window_->PresetList(); }
    QPoint RowPoint(int preset) const {
        return {5, List().visualItemRect(List().topLevelItem(preset)).center().y()};
    }
    void LeftClick(int preset) {
        QTest::mouseClick(List().viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(preset));
    }
    // Right-clicks the preset and chooses the menu row.
    void Menu(int preset, int row) {
        QTest::mouseClick(List().viewport(), Qt::RightButton, Qt::NoModifier, RowPoint(preset));
        CSkinMenu* menu = preset < 8 ? List().FullMenu() : List().ShortMenu();
        ASSERT_TRUE(menu->isVisible());
        menu->actions()[row]->trigger();
    }
    // What a settle that did not come waits for.
    std::string State() const {
        const CPresetBook& book = window_->Presets();
        return "pending \"" + book.PendingPath() + "\" reload " +
               std::to_string(book.IsReloadPending()) + " idle " +
               std::to_string(window_->Engine().IsIdle()) + " connected " +
               std::to_string(window_->Engine().IsConnected()) + " boxes " +
               std::to_string(dialogs_.boxes.size()) + " selected " +
               std::to_string(List().SelectedPreset()) + "\n" + LastLogLines(40);
    }
    std::string LastLogLines(std::size_t count) const {
        const DebugLineStore& lines = window_->DebugWindow()->Lines();
        std::string text;
        for (std::size_t i = lines.Count() > count ? lines.Count() - count : 0; i < lines.Count();
             ++i) {
            text += lines.Line(i) + "\n";
        }
        return text;
    }
    // Every request answered and handled.
    bool Settle() {
        return WaitFor([this] {
            const CPresetBook& book = window_->Presets();
            // A load from a file waits for the snapshot taken before it.
            return window_->Engine().IsIdle() && book.PendingPath().empty() &&
                   !book.IsReloadPending() && !window_->History().IsBusy();
        });
    }
};

TEST_F(PresetWindowTest, TheListIsFilledAndTheKeysFollowTheKindOfPreset) {
    ASSERT_EQ(List().topLevelItemCount(), 12);
    EXPECT_EQ(List().topLevelItem(8)->text(0), "F1:");
    EXPECT_EQ(List().PresetName(0), "USER 1");
    EXPECT_THAT(WorkFiles(), ::testing::IsEmpty()) << "no automatic preset file is left";

    const unsigned userOnly[] = {110, 111, 112};
    // A factory preset greys the keys it cannot use; they stay in their places.
    LeftClick(8);
    for (unsigned id : userOnly) {
        EXPECT_TRUE(Key(id)->isVisible()) << id;
        EXPECT_FALSE(Key(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(Key(109)->isEnabled());
    EXPECT_TRUE(Key(113)->isEnabled());
    LeftClick(0);
    for (unsigned id : userOnly) {
        EXPECT_TRUE(Key(id)->isVisible()) << id;
        EXPECT_TRUE(Key(id)->isEnabled()) << id;
    }

    // Markers come with the LED state: the simulator plays F1, its power-on preset; a new
    // daypart preset (parameter value n is preset n - 1) is drawn as soon as it is reported.
    EXPECT_EQ(List().ShownName(8).toStdString(), "NEWS TALK (DEF)");
    window_->Engine().WriteParameter(1, 2, 1, 3);
    ASSERT_TRUE(WaitFor([this] { return List().DpPreset() == 2; }));
    EXPECT_EQ(List().ShownName(2).toStdString(), "USER 3 (DP)");

    // For a person to look at: SOLVEI_SCREENSHOT_DIR.
    if (const char* dir = std::getenv("SOLVEI_SCREENSHOT_DIR")) {
        window_->grab().save(QString(dir) + "/preset-window.png");
    }
}

TEST_F(PresetWindowTest, SavingWhileComparingLatchesAAndEndsCompare) {
    const auto& entries = window_->Model().Registry().Entries();
    ASSERT_FALSE(entries.empty());
    ASSERT_TRUE(WaitFor([this] { return !window_->Model().InPageRefresh(); }));
    const ParamAddress address = entries.front().item->address;
    window_->Model().WriteParameter(address, entries.front().item->value == 0 ? 1 : 0, false);
    ASSERT_TRUE(WaitFor([this] { return Key(CDlgMain::kB)->isEnabled(); }));
    QTest::mouseClick(Key(CDlgMain::kB), Qt::LeftButton);
    ASSERT_TRUE(window_->IsCompareMode());

    dialogs_.answerYes = true;
    Menu(3, static_cast<int>(PresetCommand::Save));
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_THAT(dialogs_.questions[0].text, ::testing::HasSubstr("U4: USER 4"));
    EXPECT_TRUE(Key(CDlgMain::kA)->IsStuck());
    EXPECT_FALSE(Key(CDlgMain::kB)->IsStuck());
    EXPECT_FALSE(window_->IsCompareMode());
    EXPECT_EQ(List().SelectedPreset(), -1);
    EXPECT_TRUE(Settle());
    EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(PresetWindowTest, TheKeysSaveU2ToAFileAndLoadItIntoU3) {
    const std::string file = Path("u2.pst");
    dialogs_.answers.push_back(file);
    LeftClick(1);
    QTest::mouseClick(Key(113), Qt::LeftButton);
    ASSERT_TRUE(Settle()) << State();
    const ByteString saved = FileBytes(file);
    EXPECT_EQ(PresetFile::NameFromData(saved), "USER 2");

    dialogs_.answers.push_back(file);
    LeftClick(2);
    QTest::mouseClick(Key(112), Qt::LeftButton);
    ASSERT_TRUE(Settle()) << State();
    EXPECT_EQ(List().PresetName(2), "USER 2");
    EXPECT_THAT(WorkFiles(), ::testing::IsEmpty());

    // The factory menu's Save to file writes F1 itself.
    dialogs_.answers.push_back(Path("f1.pst"));
    Menu(8, 1);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(PresetFile::NameFromData(FileBytes(Path("f1.pst"))), "NEWS TALK");
    EXPECT_TRUE(dialogs_.boxes.empty());
}

} // namespace
