#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppFixture.h"
#include "app/CPresetBook.h"
#include "app/CPresetList.h"
#include "app/CPresetNameEdit.h"
#include "app/CStatusLine.h"
#include "app/PresetFile.h"
#include "app/PresetTestDoubles.h"
#include "link/CLinkEngine.h"
#include "widgets/CSkinButton.h"

// What the operator meets around presets: the file dialogs' filter and suggested name, the
// confirmations in the status line, the questions before edits or a stored preset are lost,
// the greyed keys of factory presets, the name editor and the list's whole rows.
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

ByteString PresetData(const std::string& name) {
    ByteString data(name.begin(), name.end());
    data.resize(PresetFile::kNameBytes, 0);
    for (int i = 0; i < 40; ++i) {
        data.push_back(static_cast<std::uint8_t>(0x20 + i));
    }
    data.resize(128, 0);
    return data;
}

ByteString FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The bookkeeping with recording doubles and four presets named as the processor has them.
class PresetOperatorBookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const char* names[] = {"DRIVE TIME", "", "A/B: \xC9T\xC9", "NEWS"};
        book.OnFactoryPresetNumber(10);
        for (int n = 0; n < 10; ++n) {
            book.OnPreset(n, PresetData(n < 4 ? names[n] : "P" + std::to_string(n)));
            timer.Fire();
        }
        link.calls.clear();
    }
    std::string Path(const std::string& name) const {
        return (fs::path(dir_.path().toStdString()) / name).string();
    }

    RecordingPresetLink link;
    ScriptedDialogs dialogs;
    FakePresetList list;
    RecordingPresetWindow window;
    ManualPresetTimer timer;
    CPresetBook book{link, dialogs, list, window, timer};

private:
    QTemporaryDir dir_;
};

TEST_F(PresetOperatorBookTest, SaveToFileSuggestsTheNameAddsTheExtensionAndConfirms) {
    struct Case {
        int preset;
        std::string chosen; // as the dialog returns it
        std::string suggested;
        std::string written; // where the data goes
        std::string status;
    };
    const Case cases[] = {
        {0, "drive", "DRIVE TIME.pst", "drive.pst", "U1: DRIVE TIME saved to drive.pst"},
        // No name: the label; a file name cannot hold '/' or ':'. Latin-1 becomes UTF-8.
        {1, "plain.bin", "U2.pst", "plain.bin", "U2: saved to plain.bin"},
        {2, "etc.pst", "A_B_ \u00C9T\u00C9.pst", "etc.pst",
         "U3: A/B: \u00C9T\u00C9 saved to etc.pst"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset);
        dialogs.suggestions.clear();
        dialogs.filters.clear();
        window.status.clear();
        dialogs.answers.push_back(Path(c.chosen));
        list.Select(c.preset);
        book.RunCommand(PresetCommand::SaveToFile);
        EXPECT_THAT(dialogs.filters, ElementsAre("Solvei presets (*.pst);;All files (*)"));
        EXPECT_THAT(dialogs.suggestions, ElementsAre(c.suggested));
        EXPECT_THAT(window.status, IsEmpty()) << "nothing is confirmed before it is written";
        book.OnPreset(c.preset, PresetData("X"));
        EXPECT_EQ(FileBytes(Path(c.written)), PresetData("X"));
        EXPECT_THAT(window.status, ElementsAre(c.status));
    }
    // A file that cannot be written is told in a box, never confirmed.
    window.status.clear();
    dialogs.answers.push_back(Path("no-such-folder/x.pst"));
    list.Select(0);
    book.RunCommand(PresetCommand::SaveToFile);
    book.OnPreset(0, PresetData("X"));
    EXPECT_THAT(window.status, IsEmpty());
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(PresetOperatorBookTest, LoadFromFileConfirmsOnlyWhatReadsBackTheSame) {
    const std::string file = Path("in.pst");
    ASSERT_TRUE(PresetFile::Write(file, PresetData("FROM FILE")));
    for (const bool kept : {true, false}) {
        SCOPED_TRACE(kept);
        window.status.clear();
        dialogs.answers.push_back(file);
        list.Select(3);
        book.RunCommand(PresetCommand::LoadFromFile);
        EXPECT_THAT(dialogs.filters.back(), "Solvei presets (*.pst);;All files (*)");
        book.OnPresetSent(3);
        book.OnPreset(3, kept ? PresetData("FROM FILE") : PresetData("CUT"));
        if (kept) {
            EXPECT_THAT(window.status, ElementsAre("U4: FROM FILE loaded from in.pst"));
        } else {
            EXPECT_THAT(window.status, IsEmpty());
        }
    }
}

TEST_F(PresetOperatorBookTest, EditsOnAirAreNotLostWithoutAQuestion) {
    struct Case {
        const char* name;
        PresetCommand command;
        int preset;
        bool edits;
        bool asked;
    };
    ASSERT_TRUE(PresetFile::Write(Path("in.pst"), PresetData("FROM FILE")));
    list.current = 2; // U3 on air
    const Case cases[] = {
        {"LoadWithEdits", PresetCommand::Load, 8, true, true},
        {"LoadWithoutEdits", PresetCommand::Load, 8, false, false},
        // A file sent into the preset on air is loaded again after its read-back.
        {"FileIntoThePresetOnAir", PresetCommand::LoadFromFile, 2, true, true},
        {"FileIntoAnotherPreset", PresetCommand::LoadFromFile, 3, true, false},
    };
    for (const Case& c : cases) {
        for (const bool yes : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (yes ? " yes" : " no"));
            link.calls.clear();
            dialogs.questions.clear();
            dialogs.answers.clear();
            dialogs.answers.push_back(Path("in.pst"));
            dialogs.answerYes = yes;
            window.edits = c.edits;
            list.Select(c.preset);
            book.RunCommand(c.command);
            ASSERT_EQ(dialogs.questions.size(), c.asked ? 1u : 0u);
            if (c.asked) {
                EXPECT_THAT(dialogs.questions[0], HasSubstr(PresetFile::Label(c.preset)));
            }
            const bool goes = !c.asked || yes;
            EXPECT_EQ(link.calls.size(), goes ? 1u : 0u) << ::testing::PrintToString(link.calls);
            book.OnDisconnected(); // nothing of this case waits for the next
        }
    }
}

TEST_F(PresetOperatorBookTest, SaveNamesThePresetItOverwritesAndAsksFirst) {
    for (const bool yes : {false, true}) {
        dialogs.questions.clear();
        dialogs.answerYes = yes;
        list.Select(0);
        book.RunCommand(PresetCommand::Save);
        ASSERT_EQ(dialogs.questions.size(), 1u);
        EXPECT_THAT(dialogs.questions[0], HasSubstr("U1: DRIVE TIME"));
        EXPECT_EQ(link.calls,
                  yes ? std::vector<std::string>{"SavePreset 0"} : std::vector<std::string>{});
    }
}

// The real main window, connected to a real simulator with many presets.
class PresetOperatorWindowTest : public AppFixture {
protected:
    void Open(int presets) {
        StartSim({"--presets", std::to_string(presets)});
        OpenWindow();
        ASSERT_TRUE(ConnectAndWait());
        ASSERT_TRUE(window_->Engine().IsConnected());
        ASSERT_TRUE(WaitFor([this] { return List().CurrentPreset() != 0xFF; }));
        QTest::mouseClick(Key(CDlgMain::kPresets), Qt::LeftButton);
        ASSERT_TRUE(List().isVisible());
    }
    CSkinButton* Key(unsigned id) const { return window_->Button(id); }
    CPresetList& List() const { return *window_->PresetList(); }
    void Select(int preset) {
        List().scrollToItem(List().topLevelItem(preset));
        QTest::mouseClick(List().viewport(), Qt::LeftButton, Qt::NoModifier,
                          {5, List().visualItemRect(List().topLevelItem(preset)).center().y()});
        ASSERT_EQ(List().SelectedPreset(), preset);
    }
    bool Settle() {
        return WaitFor([this] {
            const CPresetBook& book = window_->Presets();
            return window_->Engine().IsIdle() && book.PendingPath().empty() &&
                   !book.IsReloadPending();
        });
    }
    std::string Status() const { return window_->StatusLine()->Caption().toStdString(); }
    static void Shoot(QWidget& widget, const char* name) {
        if (const char* dir = std::getenv("SOLVEI_SCREENSHOT_DIR")) {
            widget.grab().save(QString(dir) + "/" + name);
        }
    }
};

TEST_F(PresetOperatorWindowTest, FilesAreConfirmedInTheStatusLineAndEditsAreAskedFor) {
    Open(16);
    // Save to file: the name typed without an extension gets ".pst".
    dialogs_.answers.push_back(Path("u2"));
    Select(1);
    QTest::mouseClick(Key(113), Qt::LeftButton);
    ASSERT_TRUE(Settle());
    EXPECT_THAT(dialogs_.suggestions, ElementsAre("USER 2.pst"));
    EXPECT_EQ(PresetFile::NameFromData(FileBytes(Path("u2.pst"))), "USER 2");
    EXPECT_EQ(Status(), "U2: USER 2 saved to u2.pst");
    EXPECT_TRUE(window_->StatusLine()->isVisible());
    // Load from file into U3 is confirmed once it reads back the same.
    dialogs_.answers.push_back(Path("u2.pst"));
    Select(2);
    QTest::mouseClick(Key(112), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return Status() == "U3: USER 2 loaded from u2.pst"; }))
        << Status();
    ASSERT_TRUE(Settle());

    // An edit lights A and B; loading F2 now asks, and No keeps the edits on air.
    const auto& entries = window_->Model().Registry().Entries();
    ASSERT_FALSE(entries.empty());
    const ParamItem& item = *entries.front().item;
    window_->Model().WriteParameter(item.address, item.value == 0 ? 1 : 0, false);
    ASSERT_TRUE(WaitFor([this] { return Key(CDlgMain::kA)->isEnabled(); }));
    const int onAir = List().CurrentPreset();
    Select(9);
    dialogs_.answerYes = false;
    QTest::mouseClick(Key(109), Qt::LeftButton);
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_THAT(dialogs_.questions[0].text, HasSubstr("F2: ROCK"));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(List().CurrentPreset(), onAir);
    dialogs_.answerYes = true;
    Select(9);
    QTest::mouseClick(Key(109), Qt::LeftButton);
    EXPECT_EQ(dialogs_.questions.size(), 2u);
    EXPECT_TRUE(WaitFor([this] { return List().CurrentPreset() == 9; }));
    EXPECT_TRUE(dialogs_.boxes.empty());
    Shoot(*window_, "preset-status-line.png");
}

TEST_F(PresetOperatorWindowTest, FactoryPresetsGreyTheirKeysAndTheListShowsWholeRows) {
    Open(30);
    CPresetList& list = List();
    ASSERT_EQ(list.topLevelItemCount(), 30);
    Select(12);
    for (unsigned id = 109; id <= 113; ++id) {
        EXPECT_TRUE(Key(id)->isVisible()) << id;
        EXPECT_EQ(Key(id)->isEnabled(), id == 109 || id == 113) << id;
    }
    // At every scroll position a row is shown whole or not at all.
    QScrollBar* bar = list.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    for (int at = bar->minimum(); at <= bar->maximum(); ++at) {
        bar->setValue(at);
        int whole = 0;
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            const QRect row = list.visualItemRect(list.topLevelItem(i));
            if (row.isValid() && row.intersects(list.viewport()->rect())) {
                EXPECT_TRUE(list.viewport()->rect().contains(row))
                    << "row " << i << " at scroll " << at << " is cut";
                ++whole;
            }
        }
        EXPECT_GT(whole, 10);
    }
    // The list keeps its place and size in the window; what is left under the rows is the
    // list's own background.
    EXPECT_EQ(list.height(), 276);
    bar->setValue(0);
    Shoot(list, "preset-list-whole-rows.png");
}

TEST_F(PresetOperatorWindowTest, TheNameEditorShowsUpperCaseCountsAndRefusesWhatLatin1Lacks) {
    Open(16);
    struct Case {
        QString typed;
        QString shown;
        std::string stored; // Latin-1 bytes
    };
    const Case cases[] = {
        {QStringLiteral("drive time"), QStringLiteral("DRIVE TIME"), "DRIVE TIME"},
        {QStringLiteral("caf\u00e9 \u20ac5"), QStringLiteral("CAF\u00c9 5"), "CAF\xc9 5"},
        {QStringLiteral("\u65e5\u672cjazz \u00df"), QStringLiteral("JAZZ \u00df"), "JAZZ \xdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        Select(0);
        QTest::mouseClick(Key(111), Qt::LeftButton);
        CPresetNameEdit* editor = List().Editor();
        ASSERT_TRUE(editor->isVisible());
        editor->clear();
        // One key at a time, as a keyboard layout with these characters sends them.
        for (const QChar ch : c.typed) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(editor, &press);
        }
        EXPECT_EQ(editor->text(), c.shown);
        EXPECT_EQ(editor->Counter(), QStringLiteral("%1/15").arg(c.shown.size()));
        Shoot(*window_, "preset-name-editor.png");
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(List().PresetName(0), c.stored);
        ASSERT_TRUE(Settle());
    }
    EXPECT_THAT(List().Editor()->toolTip().toStdString(), HasSubstr("upper case"));
    EXPECT_TRUE(dialogs_.boxes.empty());
}

} // namespace
