// The HISTORY view through the real main window against a real simulator over UDP: take a
// snapshot, change the processor behind the window's back, see the difference, restore it
// and see the processor and the page hold the snapshot's value again.
#include <filesystem>
#include <fstream>

#include <QTest>
#include <QTreeWidgetItem>

#include "app/AppFixture.h"
#include "app/CHistoryView.h"
#include "app/CPresetList.h"
#include "pages/CPageTree.h"
#include "app/PresetCommand.h"
#include "app/SnapshotShelf.h"
#include "pages/ParamSlider.h"
#include "snapshot/SnapshotDiff.h"
#include "snapshot/SnapshotFile.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinList.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class HistoryViewTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // The snapshots go to the user's data folder: a private one for each test.
        previousData_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Path("data")));
    }
    void TearDown() override {
        AppFixture::TearDown();
        qputenv("XDG_DATA_HOME", previousData_);
    }

    CDlgMain& ConnectedWindow() {
        StartSim({});
        CDlgMain& w = OpenWindow();
        EXPECT_TRUE(ConnectAndWait());
        EXPECT_TRUE(WaitFor([&] { return w.Page() != nullptr && w.Page()->isVisible(); }));
        return w;
    }
    std::string Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port",
                                   std::to_string(settings_.port)});
        const auto result = TestProcess::Run(args, {});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }
    // What another remote finds at, or writes there, behind the window's back.
    std::string ReadWithCtl(const ParamAddress& at) {
        return Ctl({"read", std::to_string(at.a), std::to_string(at.b), std::to_string(at.c)});
    }
    void WriteWithCtl(const ParamAddress& at, int value) {
        Ctl({"write", std::to_string(at.a), std::to_string(at.b), std::to_string(at.c),
             std::to_string(value)});
    }
    // The page's first fader: where it is, what it shows, and a value step further round its
    // span for someone else to write.
    struct Fader {
        ParamAddress at;
        int before = 0;
        int changed = 0;
    };
    static std::optional<Fader> FirstFader(CDlgMain& w, int step) {
        const auto sliders = w.Page()->findChildren<ParamSlider*>();
        if (sliders.empty()) {
            return std::nullopt;
        }
        ParamSlider& slider = *sliders.front();
        const int before = slider.DeviceValue();
        return Fader{slider.Item().address, before, (before + step) % (slider.Item().span + 1)};
    }
    static bool Idle(CDlgMain& w) { return !w.History().IsBusy(); }
    // Presses TAKE on the open HISTORY view, empty so far: true once the snapshot is listed.
    bool TakeFirst(CDlgMain& w) {
        w.History().KeyButton(CHistoryView::kTake)->Press();
        return WaitFor([&] { return Idle(w) && w.History().List()->topLevelItemCount() == 1; });
    }
    // Chooses the first snapshot listed: true once it is compared and something differs.
    bool ChooseFirstAndCompare(CDlgMain& w) {
        Choose(w.History().List(), 0);
        return WaitFor(
            [&] { return Idle(w) && w.History().Differences()->topLevelItemCount() > 0; });
    }
    // A click on the row, as the operator chooses it.
    static void Choose(CSkinList* list, int row) {
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    static std::optional<SnapshotParameter> Parameter(const Snapshot& s, const ParamAddress& at) {
        for (const SnapshotParameter& p : s.parameters) {
            if (p.address == at) {
                return p;
            }
        }
        return std::nullopt;
    }
    static std::optional<Snapshot> Load(const QTreeWidgetItem* item) {
        std::string error;
        auto s = SnapshotFile::Load(item->data(0, Qt::UserRole).toString().toStdString(), error);
        EXPECT_TRUE(s) << error;
        return s;
    }
    static int ShownOnPage(CDlgMain& w, const ParamAddress& at) {
        if (w.Page() == nullptr) {
            return -1;
        }
        for (ParamSlider* fader : w.Page()->findChildren<ParamSlider*>()) {
            if (fader->Item().address == at) {
                return fader->DeviceValue();
            }
        }
        return -1;
    }

    QByteArray previousData_;
};

TEST_F(HistoryViewTest, TakesComparesAndRestoresAParameterChangedBehindTheWindowsBack) {
    CDlgMain& w = ConnectedWindow();
    const auto fader = FirstFader(w, 7);
    ASSERT_TRUE(fader);
    const auto [at, before, changed] = *fader;
    ASSERT_NE(before, changed);

    w.Button(CDlgMain::kHistory)->Press();
    CHistoryView& history = w.History();
    ASSERT_TRUE(history.List()->isVisible());
    ASSERT_TRUE(history.Panel()->isVisible());
    EXPECT_FALSE(w.Tree()->isVisible());

    dialogs_.notes = {std::string("before the night shift")};
    ASSERT_TRUE(TakeFirst(w));
    EXPECT_EQ(history.List()->topLevelItem(0)->text(1).toStdString(), "before the night shift");
    const auto taken = Load(history.List()->topLevelItem(0));
    ASSERT_TRUE(taken);
    const auto then = Parameter(*taken, at);
    ASSERT_TRUE(then);
    EXPECT_EQ(then->value, before);

    // Someone else changes the processor.
    WriteWithCtl(at, changed);
    ASSERT_TRUE(ChooseFirstAndCompare(w));
    CSkinList* diff = history.Differences();
    bool named = false;
    for (int i = 0; i < diff->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = diff->topLevelItem(i);
        if (row->text(0).toStdString() == SnapshotDiff::Label(*then)) {
            named = true;
            EXPECT_EQ(row->text(1).toStdString(), then->shown);
            EXPECT_NE(row->text(2), row->text(1));
        }
    }
    EXPECT_TRUE(named) << "no row for " << SnapshotDiff::Label(*then);
    EXPECT_EQ(diff->topLevelItemCount(), 1) << "only the one change differs";

    dialogs_.answerYes = true;
    history.KeyButton(CHistoryView::kRestore)->Press();
    ASSERT_TRUE(WaitFor([&] { return Idle(w) && !dialogs_.boxes.empty(); }, 30s));
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_NE(dialogs_.questions[0].text.find("1 parameter and 0 presets"), std::string::npos)
        << dialogs_.questions[0].text;
    EXPECT_EQ(dialogs_.boxes.back().caption, "Restore");
    EXPECT_NE(dialogs_.boxes.back().text.find("read back as in the snapshot"), std::string::npos)
        << dialogs_.boxes.back().text;

    // The snapshot restored stays chosen, and nothing differs from it any more.
    ASSERT_EQ(history.List()->selectedItems().size(), 1);
    EXPECT_EQ(history.List()->selectedItems().front()->text(1).toStdString(),
              "before the night shift");
    EXPECT_EQ(diff->topLevelItemCount(), 0);
    EXPECT_TRUE(history.KeyButton(CHistoryView::kRestore)->isEnabled());

    // The processor holds the snapshot's value again, and the page shows it.
    EXPECT_EQ(ReadWithCtl(at), std::to_string(before) + "\n");
    w.Button(CDlgMain::kMenu)->Press();
    EXPECT_TRUE(WaitFor([&] { return ShownOnPage(w, at) == before; }, 10s))
        << "the page shows " << ShownOnPage(w, at);
    EXPECT_FALSE(history.Panel()->isVisible());

    // A snapshot was taken before the restore: it holds the value the restore replaced.
    const auto entries = history.Shelf().List();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.front().note.rfind("Before restoring the snapshot of ", 0), 0u)
        << entries.front().note;
    std::string error;
    const auto automatic = SnapshotFile::Load(entries.front().file.string(), error);
    ASSERT_TRUE(automatic) << error;
    EXPECT_EQ(Parameter(*automatic, at)->value, changed);
}

TEST_F(HistoryViewTest, ARestoreTheOperatorDeclinesWritesNothingAndKeepsNoSnapshot) {
    CDlgMain& w = ConnectedWindow();
    const auto fader = FirstFader(w, 3);
    ASSERT_TRUE(fader);
    w.Button(CDlgMain::kHistory)->Press();
    CHistoryView& history = w.History();
    ASSERT_TRUE(TakeFirst(w));
    WriteWithCtl(fader->at, fader->changed);
    ASSERT_TRUE(ChooseFirstAndCompare(w));

    dialogs_.answerYes = false;
    history.KeyButton(CHistoryView::kRestore)->Press();
    ASSERT_TRUE(WaitFor([&] { return Idle(w) && !dialogs_.questions.empty(); }, 30s));
    EXPECT_EQ(ReadWithCtl(fader->at), std::to_string(fader->changed) + "\n");
    EXPECT_EQ(history.Shelf().List().size(), 1u);
    EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(HistoryViewTest, ALoadFromFileIsPrecededByASnapshot) {
    CDlgMain& w = ConnectedWindow();
    // U2 chosen; the file dialog is cancelled: the snapshot is there all the same.
    w.Button(CDlgMain::kPresets)->Press();
    auto* list = w.PresetList();
    list->setCurrentItem(list->topLevelItem(1));
    list->topLevelItem(1)->setSelected(true);
    dialogs_.answers = {std::nullopt};
    w.Button(kFirstPresetButton + static_cast<unsigned>(PresetCommand::LoadFromFile))->Press();
    ASSERT_TRUE(WaitFor([&] { return Idle(w) && w.History().Shelf().List().size() == 1; }));
    EXPECT_EQ(w.History().Shelf().List().front().note, "Before loading a preset from a file");
    EXPECT_TRUE(WaitFor([&] { return dialogs_.answers.empty(); }));
}

TEST_F(HistoryViewTest, DisconnectedItOffersOnlyImportAndExportOfStoredFiles) {
    StartSim({});
    const fs::path file = Path("taken.json");
    Ctl({"snapshot", file.string()});
    CDlgMain& w = OpenWindow();
    w.Button(CDlgMain::kHistory)->Press();
    CHistoryView& history = w.History();
    ASSERT_TRUE(history.Panel()->isVisible());
    EXPECT_EQ(history.Caption().left(14), QStringLiteral("Not connected:"));
    EXPECT_FALSE(history.KeyButton(CHistoryView::kTake)->isEnabled());
    EXPECT_FALSE(history.KeyButton(CHistoryView::kRestore)->isEnabled());
    EXPECT_FALSE(history.KeyButton(CHistoryView::kExport)->isEnabled());
    EXPECT_TRUE(history.KeyButton(CHistoryView::kImport)->isEnabled());

    // A hand-edited file is refused with one line, and nothing is kept.
    std::string text;
    {
        std::ifstream in(file);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    const fs::path edited = Path("edited.json");
    std::string changedText = text;
    const auto pos = changedText.find("\"value\":");
    ASSERT_NE(pos, std::string::npos);
    changedText[pos + 8] = changedText[pos + 8] == '1' ? '2' : '1';
    std::ofstream(edited) << changedText;
    dialogs_.answers = {edited.string()};
    history.KeyButton(CHistoryView::kImport)->Press();
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].caption, "Import");
    EXPECT_EQ(history.List()->topLevelItemCount(), 0);

    dialogs_.answers = {file.string()};
    history.KeyButton(CHistoryView::kImport)->Press();
    ASSERT_EQ(history.List()->topLevelItemCount(), 1);
    EXPECT_EQ(history.List()->topLevelItem(0)->text(1).toStdString(), "Imported from taken.json");
    Choose(history.List(), 0);
    EXPECT_TRUE(history.KeyButton(CHistoryView::kExport)->isEnabled());
    EXPECT_FALSE(history.KeyButton(CHistoryView::kRestore)->isEnabled());
    EXPECT_FALSE(history.IsBusy()) << "nothing is read while disconnected";

    const fs::path out = Path("exported.json");
    dialogs_.answers = {out.string()};
    history.KeyButton(CHistoryView::kExport)->Press();
    std::string error;
    const auto original = SnapshotFile::Load(file.string(), error);
    const auto exported = SnapshotFile::Load(out.string(), error);
    ASSERT_TRUE(original && exported) << error;
    EXPECT_EQ(*exported, *original);
    EXPECT_EQ(dialogs_.boxes.size(), 1u);
}

} // namespace
