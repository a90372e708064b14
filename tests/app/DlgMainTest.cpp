#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <QTest>

#include <gtest/gtest.h>

#include "app/AppFixture.h"
#include "app/CConnectSequence.h"
#include "app/CDebugDlg.h"
#include "app/CDlgMain.h"
#include "app/CLedPanel.h"
#include "app/CPresetList.h"
#include "app/CSettingsDlg.h"
#include "link/CLinkEngine.h"
#include "pages/CPageController.h"
#include "pages/CPageTree.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinRepeatButton.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class DlgMainTest : public AppFixture {
protected:
    CSkinButton* Key(unsigned id) const { return window_->Button(id); }

    // Everything an operator sees once a connect is complete.
    void ExpectOnline() {
        CDlgMain& w = *window_;
        EXPECT_EQ(w.windowTitle().toStdString(), "Solvei V1.23");
        EXPECT_TRUE(w.Engine().IsConnected());
        EXPECT_FALSE(w.SettingsPanel()->isVisible());
        EXPECT_EQ(Key(CDlgMain::kConnect)->Section(), "BtnDisconnect");
        EXPECT_GT(w.Tree()->topLevelItemCount(), 0);
        EXPECT_TRUE(w.Tree()->isEnabled());
        // Page 0 is built and, once its controls have their values, shown.
        EXPECT_TRUE(WaitFor([&] { return w.Page() != nullptr && w.Page()->isVisible(); }));
        // Every preset of the processor with its label and name.
        ASSERT_TRUE(w.PresetList()->HasPreset(15));
        EXPECT_FALSE(w.PresetList()->HasPreset(16));
        EXPECT_EQ(w.PresetList()->topLevelItem(0)->text(0).toStdString(), "U1:");
        EXPECT_EQ(w.PresetList()->topLevelItem(8)->text(0).toStdString(), "F1:");
        EXPECT_FALSE(w.PresetList()->PresetName(8).empty());
        // Live meters, markers and the processor's state on the keys.
        EXPECT_TRUE(WaitFor([&] { return w.Leds()->HasData(); }));
        EXPECT_NE(w.PresetList()->CurrentPreset(), IPresetListView::kNoPreset);
        EXPECT_TRUE(Key(CDlgMain::kAgc)->isEnabled());
        EXPECT_NE(Key(CDlgMain::kAgc)->IsStuck(), Key(CDlgMain::kIo)->IsStuck());
        EXPECT_NE(Key(CDlgMain::kBypass)->IsStuck(), Key(CDlgMain::kOnline)->IsStuck());
        EXPECT_EQ(Key(CDlgMain::kA)->isEnabled(), w.LedState().Change());
        // Nothing of the connect is left in the working folder.
        EXPECT_EQ(WorkFiles(), std::vector<std::string>{});
        EXPECT_TRUE(dialogs_.boxes.empty()) << dialogs_.boxes.front().text;
    }
};

TEST_F(DlgMainTest, FirstStateIsTheOfflineView) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    EXPECT_TRUE(w.SettingsPanel()->isVisible());
    EXPECT_FALSE(w.Tree()->isEnabled());
    EXPECT_FALSE(w.PresetList()->isVisible());
    EXPECT_TRUE(Key(CDlgMain::kMenu)->IsStuck());
    EXPECT_FALSE(Key(CDlgMain::kPresets)->IsStuck());
    for (unsigned id : {CDlgMain::kBypass, CDlgMain::kOnline, CDlgMain::kAgc, CDlgMain::kIo,
                        CDlgMain::kA, CDlgMain::kB}) {
        EXPECT_FALSE(Key(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(Key(CDlgMain::kConnect)->isEnabled());
    EXPECT_EQ(w.focusWidget(), Key(CDlgMain::kConnect)) << "the focus starts on CONNECT";
    EXPECT_EQ(w.ScrollButton(false)->Target(), w.Tree());
    EXPECT_FALSE(w.Frame()->isVisible());
    EXPECT_TRUE(w.Leds()->isVisible());
}

TEST_F(DlgMainTest, ConnectOverUdpReachesAWorkingProcessor) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    w.OnConnectClicked();
    EXPECT_FALSE(w.isEnabled());
    EXPECT_NE(w.WaitWindow(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return w.isEnabled() && !w.Sequence().Connecting(); }));
    EXPECT_EQ(w.WaitWindow(), nullptr);
    ExpectOnline();
    // The window held still during the connect; the focus is back on the key that connected
    // (now DISCONNECT), not on the first key of the window.
    EXPECT_EQ(w.focusWidget(), Key(CDlgMain::kConnect));

    // Bypass and meter view follow the processor's answer, not the click.
    const bool bypassed = Key(CDlgMain::kBypass)->IsStuck();
    QTest::mouseClick(Key(bypassed ? CDlgMain::kOnline : CDlgMain::kBypass), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return Key(CDlgMain::kBypass)->IsStuck() != bypassed; }));
    EXPECT_EQ(Key(CDlgMain::kOnline)->IsStuck(), bypassed);
    QTest::mouseClick(Key(CDlgMain::kIo), Qt::LeftButton);
    EXPECT_TRUE(Key(CDlgMain::kIo)->IsStuck());
    EXPECT_TRUE(WaitFor([&] { return w.Leds()->BackgroundKey() == "background_io"; }));

    // The preset list and its keys replace the tree, and the scroll keys follow.
    QTest::mouseClick(Key(CDlgMain::kPresets), Qt::LeftButton);
    EXPECT_TRUE(w.PresetList()->isVisible());
    EXPECT_FALSE(w.Tree()->isVisible());
    EXPECT_TRUE(Key(109)->isVisible());
    EXPECT_EQ(w.ScrollButton(true)->Target(), w.PresetList());
    // Save, Rename and Load from file are for the operator's own presets only: greyed for
    // the factory's, in their places.
    for (const auto& [preset, own] : {std::pair{8, false}, std::pair{2, true}}) {
        w.PresetList()->setCurrentItem(w.PresetList()->topLevelItem(preset));
        for (unsigned id : {110u, 111u, 112u}) {
            EXPECT_TRUE(Key(id)->isVisible()) << "preset " << preset << " key " << id;
            EXPECT_EQ(Key(id)->isEnabled(), own) << "preset " << preset << " key " << id;
        }
        EXPECT_TRUE(Key(109)->isVisible());
        EXPECT_TRUE(Key(113)->isVisible());
    }
    QTest::mouseClick(Key(CDlgMain::kMenu), Qt::LeftButton);
    EXPECT_TRUE(w.Tree()->isVisible());
    EXPECT_FALSE(Key(109)->isVisible());
    EXPECT_EQ(w.ScrollButton(true)->Target(), w.Tree());

    // Disconnect: back to the offline view without a box.
    w.OnConnectClicked();
    ASSERT_TRUE(WaitFor([&] { return !w.Engine().IsConnected(); }));
    QTest::qWait(0);
    EXPECT_TRUE(WaitFor([&] { return w.SettingsPanel()->isVisible(); }));
    EXPECT_EQ(Key(CDlgMain::kConnect)->Section(), "BtnConnect");
    EXPECT_FALSE(w.Leds()->HasData());
    EXPECT_FALSE(Key(CDlgMain::kBypass)->isEnabled());
    EXPECT_EQ(w.Page(), nullptr);
    EXPECT_TRUE(dialogs_.boxes.empty());

    // A second connect builds everything afresh: one list of presets, pages, meters.
    ASSERT_TRUE(ConnectAndWait());
    ExpectOnline();
}

TEST_F(DlgMainTest, ConnectOverAPseudoTerminal) {
    StartSim({}, true);
    OpenWindow();
    ASSERT_TRUE(ConnectAndWait());
    ExpectOnline();
}

TEST_F(DlgMainTest, CompareKeysFollowTheChangeFlag) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return w.Leds()->HasData(); }));
    // A write from the operator makes the processor report edited settings.
    const auto& entries = w.Model().Registry().Entries();
    ASSERT_FALSE(entries.empty());
    ASSERT_TRUE(WaitFor([&] { return !w.Model().InPageRefresh(); }));
    const ParamAddress address = entries.front().item->address;
    const std::uint8_t value = entries.front().item->value;
    w.Model().WriteParameter(address, value == 0 ? 1 : 0, false);
    ASSERT_TRUE(WaitFor([&] { return Key(CDlgMain::kA)->isEnabled(); }));
    EXPECT_TRUE(Key(CDlgMain::kB)->isEnabled());
    // The side the processor reports is latched.
    EXPECT_EQ(Key(CDlgMain::kB)->IsStuck(), w.LedState().Compare());
    EXPECT_NE(Key(CDlgMain::kA)->IsStuck(), Key(CDlgMain::kB)->IsStuck());
    // Side B: the edited settings, with compare mode on; the processor then reports side B.
    QTest::mouseClick(Key(CDlgMain::kB), Qt::LeftButton);
    EXPECT_TRUE(Key(CDlgMain::kB)->IsStuck());
    EXPECT_FALSE(Key(CDlgMain::kA)->IsStuck());
    EXPECT_TRUE(w.IsCompareMode());
    EXPECT_TRUE(WaitFor([&] { return w.LedState().Compare(); }));
    // Side A: back to the stored values.
    QTest::mouseClick(Key(CDlgMain::kA), Qt::LeftButton);
    EXPECT_TRUE(Key(CDlgMain::kA)->IsStuck());
    EXPECT_FALSE(Key(CDlgMain::kB)->IsStuck());
    EXPECT_FALSE(w.IsCompareMode());
    EXPECT_TRUE(WaitFor([&] { return !w.LedState().Compare(); }));
    EXPECT_TRUE(dialogs_.boxes.empty());
}

struct FailureCase {
    const char* name;
    std::vector<std::string> simArgs;
    // What is done before Connect: "" nothing, "block" a folder where the description goes,
    // "nohost" a host that does not resolve, "disconnect" press Disconnect once linked.
    std::string setup;
    std::string box;
};

class DlgMainFailureTest : public DlgMainTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DlgMainFailureTest, ConnectFailsWithItsBoxAndReturnsOffline) {
    const FailureCase& c = GetParam();
    StartSim(c.simArgs);
    if (c.setup == "nohost") {
        settings_.host = "no-such-host.invalid";
        settings_.Save();
    }
    if (c.setup == "block") {
        fs::create_directory("pccontrol.bin");
    }
    CDlgMain& w = OpenWindow(true);
    if (c.setup == "disconnect") {
        w.OnConnectClicked();
        ASSERT_TRUE(WaitFor([&] { return w.Engine().IsConnected(); }));
        w.OnConnectClicked();
        ASSERT_TRUE(WaitFor([&] { return w.isEnabled() && !w.Sequence().Connecting(); }));
    } else {
        ASSERT_TRUE(ConnectAndWait());
    }
    ASSERT_TRUE(WaitFor([&] { return !dialogs_.boxes.empty(); }));
    EXPECT_EQ(dialogs_.Texts(), std::vector<std::string>{c.box});
    EXPECT_EQ(dialogs_.boxes.front().caption, "");
    EXPECT_FALSE(w.Engine().IsConnected());
    EXPECT_TRUE(w.SettingsPanel()->isVisible());
    EXPECT_EQ(w.WaitWindow(), nullptr);
    EXPECT_EQ(Key(CDlgMain::kConnect)->Section(), "BtnConnect");
    if (c.setup == "block") {
        EXPECT_TRUE(fs::is_directory("pccontrol.bin"));
        fs::remove("pccontrol.bin");
    }
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DlgMainFailureTest,
    ::testing::Values(
        FailureCase{"NoProcessor", {"--drop", "1"}, "", CConnectSequence::kNoResponse},
        FailureCase{"WrongLockCode", {"--lock", "1234"}, "", "Incorrect Password"},
        FailureCase{"ProcessorType2", {"--type", "2"}, "", CConnectSequence::kIncorrectApplication},
        FailureCase{"UnwritableFolder", {}, "block", CConnectSequence::kPermissionsError},
        FailureCase{"DisconnectBeforeVersion",
                    {"--drop", "1"},
                    "disconnect",
                    CConnectSequence::kNoResponse},
        FailureCase{"NeverConnects", {}, "nohost", CConnectSequence::kNoResponse},
        FailureCase{
            "TransferBrokeOff", {"--cancel", "1"}, "", CConnectSequence::kTransferBrokeOff}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DlgMainTest, ExitWhileConnectedDisconnectsAndEndsWithoutABox) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(w.Engine().IsConnected());
    QTest::mouseClick(Key(CDlgMain::kExit), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return w.isHidden(); }, 5s));
    EXPECT_FALSE(w.Engine().IsConnected());
    EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(DlgMainTest, CtrlAltMinimizeOpensTheDebugWindowThatRecordsTheLink) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    w.OnMinimize(Qt::ControlModifier);
    EXPECT_FALSE(w.DebugWindow()->isVisible());
    EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
    w.showNormal();
    w.OnMinimize(Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(w.DebugWindow()->isVisible());
    EXPECT_TRUE(w.DebugWindow()->IsLogging());
    ASSERT_TRUE(ConnectAndWait());
    const DebugLineStore& lines = w.DebugWindow()->Lines();
    bool connected = false;
    for (std::size_t i = 0; i < lines.Count(); ++i) {
        connected = connected || lines.Line(i).ends_with(" Connected");
    }
    EXPECT_TRUE(connected);
    EXPECT_TRUE(WaitFor([&] {
        for (std::size_t i = 0; i < lines.Count(); ++i) {
            if (lines.Line(i).ends_with(" All Controls Updated")) {
                return true;
            }
        }
        return false;
    }));
}

TEST_F(DlgMainTest, LatchedStateKeysSendNothing) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    w.OnMinimize(Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return Key(CDlgMain::kOnline)->IsStuck(); }));
    const DebugLineStore& lines = w.DebugWindow()->Lines();
    const auto count = [&](const char* text) {
        int n = 0;
        for (std::size_t i = 0; i < lines.Count(); ++i) {
            n += lines.Line(i).find(text) != std::string::npos ? 1 : 0;
        }
        return n;
    };
    // Pressing the latched key: several LED polls later still no request.
    const int polls = count("Read Leds State");
    for (unsigned id : {CDlgMain::kOnline, CDlgMain::kAgc}) {
        QTest::mouseClick(Key(id), Qt::LeftButton);
    }
    ASSERT_TRUE(WaitFor([&] { return count("Read Leds State") >= polls + 3; }));
    EXPECT_EQ(count("Send Bypass Update"), 0);
    EXPECT_EQ(count("Send Meters Flip"), 0);
    // The other key of the pair sends.
    QTest::mouseClick(Key(CDlgMain::kBypass), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return count("Send Bypass Update : 01") == 1; }));
}

TEST_F(DlgMainTest, ClosingTheWindowIsExit) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    w.close();
    EXPECT_TRUE(w.isHidden());
    EXPECT_TRUE(dialogs_.boxes.empty());
}

} // namespace
