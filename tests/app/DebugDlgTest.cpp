#include <cstdlib>
#include <fstream>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "app/CDebugDlg.h"
#include "app/DebugLineModel.h"
#include "skin/SkinTestSupport.h"

namespace {

// A clock the test moves by hand.
struct ManualClock {
    std::time_t wall = 0;
    std::int64_t tick = 0;

    DebugClock Clock() {
        return DebugClock{[this] { return wall; }, [this] { return tick; }};
    }
};

// Points HOME at a scratch folder for the life of the fixture.
class ScratchHome {
public:
    ScratchHome() : old_(std::getenv("HOME") ? std::getenv("HOME") : "") {
        setenv("HOME", dir_.path().toLocal8Bit().constData(), 1);
    }
    ~ScratchHome() { setenv("HOME", old_.c_str(), 1); }
    [[nodiscard]] std::string File(const char* name) const {
        return dir_.path().toStdString() + "/" + name;
    }

private:
    std::string old_;
    QTemporaryDir dir_;
};

class DebugDlgTest : public ::testing::Test {
protected:
    DebugDlgTest() {
        // 12:34:56 local time.
        std::tm local{};
        local.tm_year = 126;
        local.tm_mon = 11;
        local.tm_mday = 10;
        local.tm_hour = 12;
        local.tm_min = 34;
        local.tm_sec = 56;
        local.tm_isdst = -1;
        clock.wall = std::mktime(&local);
        clock.tick = 5'000'000;
        dialog = std::make_unique<CDebugDlg>(&mainWindow, clock.Clock());
    }

    // The texts of the rows as the list's model shows them, without their timestamps.
    std::vector<std::string> Shown() const {
        std::vector<std::string> texts;
        QAbstractItemModel* model = dialog->List()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const std::string line = model->index(row, 0).data().toString().toStdString();
            texts.push_back(line.size() >= 13 ? line.substr(13) : line);
        }
        return texts;
    }

    void Open() {
        dialog->EnableLogging();
        dialog->show();
    }

    ManualClock clock;
    QWidget mainWindow;
    std::unique_ptr<CDebugDlg> dialog;
};

TEST_F(DebugDlgTest, CreatedHiddenWithItsControls) {
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->IsLogging());
    EXPECT_EQ(dialog->windowTitle(), "Debug");
    EXPECT_TRUE(dialog->ShowLeds()->isChecked());
    EXPECT_EQ(dialog->ShowLeds()->text(), "Show leds information");
    EXPECT_FALSE(dialog->ShowDetail()->isChecked());
    EXPECT_EQ(dialog->ShowDetail()->text(), "Show detail information");
    EXPECT_EQ(dialog->SaveButton()->text(), "&Save to file");
    EXPECT_EQ(dialog->ClearButton()->text(), "&Clear");
    EXPECT_TRUE(dialog->List()->uniformItemSizes());
    EXPECT_EQ(dialog->List()->model()->rowCount(), 0);
}

TEST_F(DebugDlgTest, LinesCarryTheTimeSinceTheWindowWasMade) {
    Open();
    dialog->AddLine("Connected");
    clock.tick += 1234;
    dialog->AddLine("Read Leds State");
    clock.tick += 60'000 - 1234 + 7;
    dialog->AddLine("Disconnected");
    QAbstractItemModel* model = dialog->List()->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(0, 0).data().toString(), "12:34:56:000 Connected");
    EXPECT_EQ(model->index(1, 0).data().toString(), "12:34:57:234 Read Leds State");
    EXPECT_EQ(model->index(2, 0).data().toString(), "12:35:56:007 Disconnected");
}

struct FilterCase {
    const char* name;
    bool showLeds;
    bool showDetail;
    std::vector<std::string> kept;
};

// Cases print by name.
void PrintTo(const FilterCase& c, std::ostream* out) {
    *out << c.name;
}

class DebugFilterTest : public DebugDlgTest, public ::testing::WithParamInterface<FilterCase> {};

const std::vector<std::string> kTexts = {
    "Read Leds State",
    "Recieved  - 06 - 82 - 01 - 02",
    "Recieved  - 06 - 81 - 01",
    "Recieved - 06 - 82 one space",
    "Poll tick 12",
    "Debug : queue 3",
    "Debug: no space",
    "Connected",
    "Leds tick",
};

TEST_P(DebugFilterTest, CheckBoxesDropTheirLines) {
    const FilterCase& c = GetParam();
    dialog->ShowLeds()->setChecked(c.showLeds);
    dialog->ShowDetail()->setChecked(c.showDetail);
    Open();
    for (const std::string& text : kTexts) {
        dialog->AddLine(text);
    }
    EXPECT_EQ(Shown(), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, DebugFilterTest,
    ::testing::Values(
        FilterCase{"AsCreated",
                   true,
                   false,
                   {"Read Leds State", "Recieved  - 06 - 82 - 01 - 02", "Recieved  - 06 - 81 - 01",
                    "Recieved - 06 - 82 one space", "Debug: no space", "Connected"}},
        FilterCase{"NoLeds",
                   false,
                   false,
                   {"Recieved  - 06 - 81 - 01", "Recieved - 06 - 82 one space", "Debug: no space",
                    "Connected"}},
        FilterCase{"Everything", true, true, kTexts},
        FilterCase{"DetailWithoutLeds",
                   false,
                   true,
                   {"Recieved  - 06 - 81 - 01", "Recieved - 06 - 82 one space", "Poll tick 12",
                    "Debug : queue 3", "Debug: no space", "Connected"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DebugDlgTest, RecordsOnlyWhileOpenAndKeepsLinesAcrossClosing) {
    dialog->AddLine("before opening");
    Open();
    dialog->AddLine("first");
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->IsLogging());
    dialog->AddLine("while closed");
    Open();
    dialog->AddLine("second");
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    dialog->AddLine("after escape");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(DebugDlgTest, TheThousandAndFirstLineGrowsTheStoreOnce) {
    Open();
    for (int i = 1; i <= 1000; ++i) {
        dialog->AddLine("line " + std::to_string(i));
    }
    EXPECT_EQ(dialog->Lines().Size(), 1000u);
    dialog->AddLine("line 1001");
    EXPECT_EQ(dialog->Lines().Size(), 2000u);
    EXPECT_EQ(dialog->Lines().Count(), 1001u);
    const std::vector<std::string> shown = Shown();
    ASSERT_EQ(shown.size(), 1001u);
    for (int i = 1; i <= 1001; ++i) {
        ASSERT_EQ(shown[static_cast<std::size_t>(i - 1)], "line " + std::to_string(i));
    }
}

TEST_F(DebugDlgTest, TheListFollowsNewLinesUnlessScrolledUpToRead) {
    Open();
    QScrollBar* bar = dialog->List()->verticalScrollBar();
    for (int i = 0; i < 200; ++i) {
        dialog->AddLine("line " + std::to_string(i));
    }
    QCoreApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(bar->maximum() / 2);
    const int reading = bar->value();
    for (int i = 0; i < 50; ++i) {
        dialog->AddLine("more " + std::to_string(i));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), reading);

    // Back at the end, it follows again.
    bar->setValue(bar->maximum());
    dialog->AddLine("last");
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
    QListView* list = dialog->List();
    const QModelIndex last = list->model()->index(list->model()->rowCount() - 1, 0);
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(last)));
}

TEST_F(DebugDlgTest, ClearEmptiesListAndStore) {
    Open();
    for (int i = 0; i < 1500; ++i) {
        dialog->AddLine("x");
    }
    QTest::mouseClick(dialog->ClearButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->List()->model()->rowCount(), 0);
    EXPECT_EQ(dialog->Lines().Count(), 0u);
    dialog->AddLine("after clear");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"after clear"}));
}

TEST_F(DebugDlgTest, SavesEveryLineEndedByCarriageReturnAndLineFeed) {
    ScratchHome home;
    EXPECT_EQ(CDebugDlg::SavePath(), home.File("debug.txt"));
    // An earlier, longer file is replaced.
    std::ofstream(home.File("debug.txt")) << std::string(500, 'z');
    Open();
    dialog->AddLine("Connected");
    clock.tick += 15;
    dialog->AddLine("Error: 5");
    QTest::mouseClick(dialog->SaveButton(), Qt::LeftButton);
    EXPECT_EQ(ReadWholeFile(home.File("debug.txt")),
              "12:34:56:000 Connected\r\n12:34:56:015 Error: 5\r\n");
    // The window says where the log went.
    EXPECT_EQ(dialog->Status()->text().toStdString(), "Saved 2 lines to " + home.File("debug.txt"));
}

TEST_F(DebugDlgTest, SavingAnEmptyLogMakesAnEmptyFile) {
    ScratchHome home;
    EXPECT_TRUE(dialog->SaveToFile());
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(home.File("debug.txt"))));
    EXPECT_EQ(ReadWholeFile(home.File("debug.txt")), "");
}

TEST_F(DebugDlgTest, AFileThatCannotBeWrittenIsSkipped) {
    ScratchHome home;
    // A folder in the file's place cannot be opened for writing.
    QDir().mkpath(QString::fromStdString(home.File("debug.txt")));
    Open();
    dialog->AddLine("kept");
    EXPECT_FALSE(dialog->SaveToFile());
    EXPECT_EQ(Shown(), (std::vector<std::string>{"kept"}));
    EXPECT_TRUE(dialog->Status()->text().startsWith("Not saved: "));
}

TEST(DebugLineStoreTest, AFullStoreDropsItsOldestLinesAndCountsThem) {
    DebugLineStore store(5000);
    for (int i = 0; i < 12345; ++i) {
        store.Add("line " + std::to_string(i));
    }
    EXPECT_LE(store.Count(), 5000u);
    EXPECT_LE(store.Size(), 5000u);
    EXPECT_EQ(store.Count() + store.Dropped(), 12345u);
    // The newest lines are kept, in order.
    EXPECT_EQ(store.Line(store.Count() - 1), "line 12344");
    EXPECT_EQ(store.Line(0), "line " + std::to_string(store.Dropped()));
    store.Clear();
    EXPECT_EQ(store.Dropped(), 0u);
}

TEST(DebugLineStoreTest, TheListFollowsTheStoreWhenOldLinesAreDropped) {
    DebugLineStore store(2000);
    DebugLineModel model(store);
    for (int i = 0; i < 4500; ++i) {
        store.Add("line " + std::to_string(i));
        model.LinesAdded();
    }
    ASSERT_EQ(model.rowCount(), static_cast<int>(store.Count()));
    EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString().toStdString(), store.Line(0));
    EXPECT_EQ(model.data(model.index(model.rowCount() - 1), Qt::DisplayRole).toString(),
              QStringLiteral("line 4499"));
}

} // namespace
