#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <regex>
#include <unistd.h>

#include <QAction>
#include <QTemporaryDir>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/CPresetBook.h"
#include "app/CPresetEngineLink.h"
#include "app/CPresetList.h"
#include "app/CPresetNameEdit.h"
#include "app/CPresetPauseTimer.h"
#include "app/IPresetWindow.h"
#include "app/PresetTestDoubles.h"
#include "ctl/TestProcess.h"
#include "link/CConnectionSettings.h"
#include "link/CLinkEngine.h"
#include "link/ILinkListener.h"
#include "skin/CSkinManager.h"
#include "skin/SkinTestSupport.h"
#include "widgets/CSkinMenu.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

ByteString FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The main window's part in presets, reduced to what they need: link notifications are
// handed to the GUI thread as queued calls, the preset messages go to the bookkeeping, the
// LED state's markers to the list, and the list's signals back to the bookkeeping.
class PresetWindowHarness : public QObject, public ILinkListener, public IPresetWindow {
public:
    PresetWindowHarness(CSkinManager& skins, CConnectionSettings& settings)
        : list(&skins), engine(this, settings), presetLink(engine),
          book(presetLink, dialogs, list, *this, pause) {
        list.Create(&host);
        host.resize(260, 320);
        host.show();
        QObject::connect(&list, &CPresetList::presetCommand, this, [this](int, int command) {
            book.RunCommand(static_cast<PresetCommand>(command));
        });
        QObject::connect(&list, &CPresetList::presetNameEdited, this,
                         [this](int preset) { book.OnNameEdited(preset); });
    }
    ~PresetWindowHarness() override {
        stopping = true; // the engine's last calls must not reach a dying window
    }

    // ILinkListener: runs on the link's threads, so everything is queued to the GUI thread.
    void OnConnected() override {
        Queue([this] {
            connected = true;
            engine.GetFactoryPresetNumber();
        });
    }
    void OnDisconnected() override {
        Queue([this] {
            connected = false;
            book.OnDisconnected();
        });
    }
    void OnError(int) override {
        Queue([this] { connected = false; });
    }
    void OnVersion(const std::string&) override {}
    void OnParameter(std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t) override {}
    void OnLeds(const ByteString& reply) override {
        Queue([this, reply] {
            if (reply.size() > 5) {
                list.SetMarkers(reply[2], reply[3], reply[4], reply[5] & 0x3F, reply[5] >> 7);
                ++ledStates;
            }
        });
    }
    void OnConfig(const ByteString&) override {}
    void OnFactoryPresetNumber(int n) override {
        Queue([this, n] { book.OnFactoryPresetNumber(n); });
    }
    void OnPresetLoaded(int n) override {
        Queue([this, n] { book.OnPresetLoaded(n); });
    }
    void OnBypass(int) override {}
    void OnPreset(int n, const ByteString& data) override {
        Queue([this, n, data] { book.OnPreset(n, data); });
    }
    void OnPresetSent(int n, const ByteString&) override {
        Queue([this, n] { book.OnPresetSent(n); });
    }
    void OnLog(const std::string&) override {}
    void OnTransferFailed(std::uint8_t command) override {
        Queue([this, command] {
            ++failedTransfers;
            book.OnTransferFailed(command);
        });
    }

    // IPresetWindow
    void OnPresetDownloadFinished() override { downloaded = true; }
    bool IsCompareMode() const override { return compare; }
    void ResetCompare() override {
        compare = false;
        aLatched = true;
    }
    bool HasConditionValues() const override { return false; }
    void ReadLoadedPresetValues() override {
        ++presetsLoaded;
        engine.SetPolling(true); // what the model does when it has no conditions to read
    }
    bool HasUnsavedEdits() const override { return list.ChangeFlag() != 0; }
    void ShowStatus(const std::string& text) override { status.push_back(text); }
    void Log(const std::string& line) override { log.push_back(line); }

    // Every request made so far is answered and the answers are handled.
    [[nodiscard]] bool Settled() {
        QCoreApplication::processEvents();
        return engine.IsIdle() && !book.IsDownloadRunning() && book.PendingPath().empty() &&
               !book.IsReloadPending();
    }

    QWidget host;
    CPresetList list;
    ScriptedDialogs dialogs;
    CPresetPauseTimer pause;
    CLinkEngine engine;
    CPresetEngineLink presetLink;
    CPresetBook book;
    bool connected = false;
    bool downloaded = false;
    bool compare = false;
    bool aLatched = false;
    int ledStates = 0;
    int presetsLoaded = 0;
    int failedTransfers = 0;
    std::vector<std::string> log;
    std::vector<std::string> status;

private:
    template <typename F> void Queue(F f) {
        if (!stopping) {
            QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
        }
    }
    std::atomic<bool> stopping{false};
};

// A real simulator on a free UDP port of 127.0.0.1, the real link engine and the real preset
// list; the working folder is a scratch folder, where the automatic files go.
class PresetEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(work_.path().toStdString());
        sim_ = std::make_unique<TestProcess>(
            std::vector<std::string>{SOLVEI_SIM_PATH, "--udp", "127.0.0.1:0", "--presets", "12"},
            std::map<std::string, std::string>{});
        const auto line = sim_->ReadLine(10s);
        ASSERT_TRUE(line.has_value()) << "the simulator printed no address";
        std::smatch match;
        ASSERT_TRUE(std::regex_match(*line, match, std::regex("udp 127\\.0\\.0\\.1:(\\d+)")));
        port_ = match[1].str();
        settings_.SetLinkDefaults();
        settings_.serial = 0;
        settings_.portName = CConnectionSettings::kEthernetPortName;
        settings_.host = "127.0.0.1";
        settings_.port = static_cast<std::uint32_t>(std::stoi(port_));
        settings_.lockCode = 7;
        ASSERT_TRUE(skins_.ChangeSkin("Solvei"));
        window_ = std::make_unique<PresetWindowHarness>(skins_, settings_);
        window_->engine.Connect();
        ASSERT_TRUE(QTest::qWaitFor([this] { return window_->downloaded; }, 15000))
            << "the preset download did not end";
        ASSERT_TRUE(QTest::qWaitFor([this] { return window_->ledStates > 0; }, 5000))
            << "polling did not start after the download";
    }

    void TearDown() override {
        window_.reset();
        if (sim_) {
            EXPECT_EQ(sim_->Stop(SIGTERM, 10s), 0);
        }
        fs::current_path(previous_);
    }

    // Disconnects the application, so that solvei-ctl has the simulator to itself.
    void Disconnect() {
        window_->engine.Disconnect();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->engine.IsConnected(); }, 10000));
    }

    // The simulator's preset n as solvei-ctl reads it.
    ByteString SimPreset(int n) {
        const fs::path out = fs::path(scratch_.path().toStdString()) / ("ctl" + std::to_string(n));
        const auto result =
            TestProcess::Run({SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port", port_, "--timeout",
                              "300", "preset-get", std::to_string(n), out.string()},
                             {{"SOLVEI_SETTINGS_DIR", scratch_.path().toStdString()}}, 60s);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return FileBytes(out);
    }

    [[nodiscard]] bool Settle() {
        return QTest::qWaitFor([this] { return window_->Settled(); }, 10000);
    }
    void Select(int preset) {
        window_->list.setCurrentItem(window_->list.topLevelItem(preset));
        window_->list.topLevelItem(preset)->setSelected(true);
    }
    std::vector<std::string> WorkFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_.path().toStdString())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    fs::path Scratch(const std::string& name) const {
        return fs::path(scratch_.path().toStdString()) / name;
    }

    QTemporaryDir work_;
    QTemporaryDir scratch_;
    RecordingMessageBox skinMessages_;
    CSkinManager skins_{fs::path(SOLVEI_SHIPPED_SKIN).parent_path().string(), std::string(),
                        skinMessages_};
    CConnectionSettings settings_;
    std::unique_ptr<TestProcess> sim_;
    std::string port_;
    std::unique_ptr<PresetWindowHarness> window_;

private:
    fs::path previous_;
};

TEST_F(PresetEndToEndTest, AConnectFillsTheListWithNamesAndMarkersAndLeavesNoFile) {
    CPresetList& list = window_->list;
    ASSERT_EQ(list.topLevelItemCount(), 12);
    EXPECT_EQ(list.topLevelItem(0)->text(0), "U1:");
    EXPECT_EQ(list.topLevelItem(0)->text(1), "USER 1");
    EXPECT_EQ(list.topLevelItem(8)->text(0), "F1:");
    EXPECT_EQ(list.topLevelItem(8)->text(1), "NEWS TALK");
    EXPECT_EQ(list.topLevelItem(11)->text(0), "F4:");
    EXPECT_THAT(WorkFiles(), ::testing::IsEmpty());
    // Out of the box the simulator plays F1 and marks it as the power-on preset.
    EXPECT_EQ(list.CurrentPreset(), 8);
    EXPECT_EQ(list.DefPreset(), 8);
    EXPECT_EQ(list.ShownName(8).toStdString(), "NEWS TALK (DEF)");

    // A new daypart marker (value n is preset n - 1) arrives with the LED state and is drawn
    // as a suffix.
    window_->engine.WriteParameter(1, 2, 1, 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.DpPreset() == 3; }, 5000));
    EXPECT_TRUE(list.ShownName(3).endsWith(" (DP)")) << list.ShownName(3).toStdString();
}

TEST_F(PresetEndToEndTest, SaveU2ToAFileAndLoadItIntoU3) {
    const fs::path file = Scratch("u2.pst");
    window_->dialogs.answers.push_back(file.string());
    Select(1);
    window_->book.RunCommand(PresetCommand::SaveToFile);
    ASSERT_TRUE(Settle());
    const ByteString saved = FileBytes(file);
    ASSERT_GE(saved.size(), 15u);
    EXPECT_EQ(PresetFile::NameFromData(saved), "USER 2");

    window_->dialogs.answers.push_back(file.string());
    Select(2);
    window_->book.RunCommand(PresetCommand::LoadFromFile);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(window_->list.PresetName(2), "USER 2") << "U3's name is read back";
    EXPECT_THAT(WorkFiles(), ::testing::IsEmpty()) << "the read-back's file is gone";
    EXPECT_TRUE(window_->dialogs.boxes.empty());

    Disconnect();
    EXPECT_EQ(SimPreset(2), saved);
}

TEST_F(PresetEndToEndTest, ARenameToLowerCaseIsStoredInUpperCase) {
    Select(0);
    window_->book.RunCommand(PresetCommand::Rename);
    CPresetNameEdit* editor = window_->list.Editor();
    ASSERT_TRUE(editor->isVisible());
    editor->selectAll();
    QTest::keyClicks(editor, "late night");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(window_->list.PresetName(0), "LATE NIGHT");
    ASSERT_TRUE(Settle());
    Disconnect();
    EXPECT_EQ(PresetFile::NameFromData(SimPreset(0)), "LATE NIGHT");
}

TEST_F(PresetEndToEndTest, LoadingF1MovesTheCurrentMarker) {
    CPresetList& list = window_->list;
    // The simulator starts on F1: move away first.
    for (const int preset : {1, 8}) {
        Select(preset);
        window_->book.RunCommand(PresetCommand::Load);
        ASSERT_TRUE(QTest::qWaitFor([&] { return list.CurrentPreset() == preset; }, 5000))
            << preset;
    }
    EXPECT_EQ(window_->presetsLoaded, 2);
}

TEST_F(PresetEndToEndTest, SavingWhileComparingGoesBackToSideA) {
    window_->engine.Compare();
    window_->compare = true;
    Select(3);
    window_->dialogs.answerYes = true; // Save asks before it overwrites U4
    window_->book.RunCommand(PresetCommand::Save);
    EXPECT_TRUE(window_->aLatched);
    EXPECT_FALSE(window_->compare);
    EXPECT_EQ(window_->list.SelectedPreset(), -1);
    ASSERT_TRUE(Settle());
}

TEST_F(PresetEndToEndTest, ACancelledSaveDialogReadsThePresetAndWritesNothing) {
    window_->dialogs.answers.push_back(std::nullopt);
    Select(0);
    window_->book.RunCommand(PresetCommand::SaveToFile);
    ASSERT_TRUE(Settle());
    EXPECT_THAT(WorkFiles(), ::testing::IsEmpty());
    EXPECT_TRUE(fs::is_empty(scratch_.path().toStdString()));
    EXPECT_EQ(window_->failedTransfers, 0);
}

TEST_F(PresetEndToEndTest, TheFactoryMenusSaveToFileWritesTheFactoryPreset) {
    CPresetList& list = window_->list;
    const fs::path file = Scratch("f1.pst");
    window_->dialogs.answers.push_back(file.string());
    const QRect row = list.visualItemRect(list.topLevelItem(8));
    QTest::mouseClick(list.viewport(), Qt::RightButton, Qt::NoModifier,
                      QPoint(5, row.center().y()));
    ASSERT_TRUE(list.ShortMenu()->isVisible());
    list.ShortMenu()->actions()[1]->trigger();
    EXPECT_EQ(window_->dialogs.asked, std::vector<std::string>{"save"});
    ASSERT_TRUE(Settle());
    const ByteString saved = FileBytes(file);
    EXPECT_EQ(PresetFile::NameFromData(saved), "NEWS TALK");
    Disconnect();
    EXPECT_EQ(SimPreset(8), saved);
}

} // namespace
