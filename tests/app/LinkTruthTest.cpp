#include <chrono>
#include <csignal>
#include <map>
#include <string>
#include <vector>

#include <QTest>

#include <gtest/gtest.h>

#include "app/AppFixture.h"
#include "app/CConnectSequence.h"
#include "app/CDebugDlg.h"
#include "app/CDlgMain.h"
#include "app/CPresetList.h"
#include "app/CLedPanel.h"
#include "app/CLinkWatch.h"
#include "app/CReconnectPlan.h"
#include "app/CSettingsDlg.h"
#include "app/CWaitDlg.h"
#include "link/CLinkEngine.h"
#include "pages/ParamButtonGroup.h"
#include "pages/ParamSlider.h"
#include "widgets/CSkinButton.h"

namespace {

using namespace std::chrono_literals;

TEST(LinkWatch, StaleOnlyWhileARequestWaitsLongerThanTheLimitWithoutAReply) {
    CLinkWatch watch;
    EXPECT_FALSE(watch.Update(10000, true)) << "not armed: offline owes nothing";
    watch.Arm(0);
    struct Step {
        std::int64_t nowMs;
        bool requestOut;
        bool reply; // a reply arrives at nowMs, before the update
        bool stale;
    };
    const std::vector<Step> steps = {
        {500, true, false, false},   {1000, true, false, false}, // at the limit: not yet
        {1001, false, false, false},                             // idle link owes no reply
        {1200, true, false, true},                               // silent and waiting
        {1300, false, false, true},                              // idle keeps the mark
        {1400, true, true, false},                               // a reply clears it
        {2300, true, false, false},  {2401, true, false, true},
    };
    for (const Step& step : steps) {
        if (step.reply) {
            watch.OnReply(step.nowMs);
        }
        watch.Update(step.nowMs, step.requestOut);
        EXPECT_EQ(watch.IsStale(), step.stale) << "at " << step.nowMs;
    }
    watch.Disarm();
    EXPECT_FALSE(watch.IsStale());
}

TEST(ReconnectPlan, PausesGrowToTheLongestAndTheNoticeCountsDown) {
    CReconnectPlan plan;
    EXPECT_EQ(plan.Notice(), "");
    plan.Start("03:12:45");
    EXPECT_EQ(plan.Notice(), "LINK LOST at 03:12:45: the processor stopped answering. "
                             "Connecting again in 2 s. Press CONNECT to connect now.");
    EXPECT_FALSE(plan.Tick());
    EXPECT_NE(plan.Notice().find("in 1 s"), std::string::npos);
    EXPECT_TRUE(plan.Tick());
    std::vector<int> pauses;
    for (int attempt = 0; attempt < 6; ++attempt) {
        plan.OnAttemptStarted();
        EXPECT_NE(plan.Notice().find("Connecting again now"), std::string::npos);
        plan.OnAttemptFailed();
        pauses.push_back(plan.SecondsLeft());
        while (!plan.Tick()) {
        }
    }
    EXPECT_EQ(pauses, (std::vector<int>{4, 8, 16, 30, 30, 30}));
    EXPECT_EQ(plan.Attempts(), 6);
    plan.Stop();
    EXPECT_FALSE(plan.Tick());
    EXPECT_EQ(plan.Notice(), "");
}

class LinkTruthTest : public AppFixture {
protected:
    CSkinButton* Key(unsigned id) const { return window_->Button(id); }

    bool Online() const {
        CDlgMain& w = *window_;
        return w.Engine().IsConnected() && !w.Sequence().Connecting() && w.isEnabled() &&
               !w.SettingsPanel()->isVisible() && w.Leds()->HasData();
    }

    // What the fader of that parameter shows on the page shown, -1 without one.
    int Shown(const ParamAddress& at) const {
        if (window_->Page() == nullptr) {
            return -1;
        }
        for (ParamSlider* fader : window_->Page()->findChildren<ParamSlider*>()) {
            if (fader->Item().address == at) {
                return fader->DeviceValue();
            }
        }
        return -1;
    }

    TestProcess::Result Ctl(std::vector<std::string> args) const {
        args.insert(args.begin(), {SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port",
                                   std::to_string(settings_.port)});
        return TestProcess::Run(args, {});
    }

    void RestartSimOn(unsigned port) {
        sim_ = std::make_unique<TestProcess>(
            std::vector<std::string>{SOLVEI_SIM_PATH, "--udp", "127.0.0.1:" + std::to_string(port)},
            std::map<std::string, std::string>{});
        const auto line = sim_->ReadLine(10s);
        ASSERT_TRUE(line && line->find("udp 127.0.0.1:") == 0) << "the simulator did not restart";
    }
};

TEST_F(LinkTruthTest, BoxesBelongToTheMainWindow) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    EXPECT_EQ(dialogs_.owner, &w);
    window_.reset();
    EXPECT_EQ(dialogs_.owner, nullptr);
}

TEST_F(LinkTruthTest, BypassMadeElsewhereIsShownOnTheKeysAndInWords) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return Online(); }));
    const std::string port = std::to_string(settings_.port);
    for (const bool on : {true, false, true}) {
        const auto result = TestProcess::Run(
            {SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port", port, "bypass", on ? "on" : "off"},
            {});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_TRUE(WaitFor([&] { return Key(CDlgMain::kBypass)->IsStuck() == on; }, 5s))
            << "bypass " << on;
        EXPECT_EQ(Key(CDlgMain::kOnline)->IsStuck(), !on);
        EXPECT_EQ(w.Leds()->IsBypassed(), on);
    }
    // The meter view flipped elsewhere moves the keys too.
    const bool io = Key(CDlgMain::kIo)->IsStuck();
    ASSERT_EQ(TestProcess::Run(
                  {SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port", port, "meters-flip"}, {})
                  .exitCode,
              0);
    EXPECT_TRUE(WaitFor([&] { return Key(CDlgMain::kIo)->IsStuck() == !io; }, 5s));
    EXPECT_EQ(Key(CDlgMain::kAgc)->IsStuck(), io);
    EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(LinkTruthTest, AWriteThatTheProcessorKeepsOtherwiseShowsTheValueKept) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return Online() && w.Page() != nullptr && w.Page()->isVisible(); }));
    const auto sliders = w.Page()->findChildren<ParamSlider*>();
    ASSERT_FALSE(sliders.empty());
    ParamSlider* slider = sliders.front();
    const ParamAddress address = slider->Item().address;
    const int span = slider->Item().span;
    ASSERT_LT(span, 255);
    ASSERT_NE(slider->DeviceValue(), span);
    // A value beyond the parameter's range: the processor keeps its highest value.
    w.Model().WriteParameter(address, 255, false);
    EXPECT_TRUE(WaitFor([&] { return slider->DeviceValue() == span; }, 5s));
    const auto read = TestProcess::Run(
        {SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port", std::to_string(settings_.port), "read",
         std::to_string(address.a), std::to_string(address.b), std::to_string(address.c)},
        {});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_NE(read.out.find(std::to_string(span)), std::string::npos) << read.out;
}

TEST_F(LinkTruthTest, APresetPutOnAirBehindTheWindowsBackIsReadIntoThePage) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return Online() && w.Page() != nullptr && w.Page()->isVisible(); }));
    const auto sliders = w.Page()->findChildren<ParamSlider*>();
    ASSERT_FALSE(sliders.empty());
    ParamSlider* slider = sliders.front();
    const ParamAddress at = slider->Item().address;
    const int shown = slider->DeviceValue();
    const int stored = (shown + 7) % (slider->Item().span + 1);
    ASSERT_NE(stored, shown);
    const std::string port = std::to_string(settings_.port);
    auto ctl = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port", port});
        const auto result = TestProcess::Run(args, {});
        EXPECT_EQ(result.exitCode, 0) << result.err;
    };
    // Another remote stores a preset with another value, and later puts it on air.
    const std::string a = std::to_string(at.a), b = std::to_string(at.b), c = std::to_string(at.c);
    ctl({"write", a, b, c, std::to_string(stored)});
    ctl({"preset-save", "4"});
    ctl({"write", a, b, c, std::to_string(shown)});
    ctl({"preset-load", "4"});
    // The page is built anew for the new preset: look its fader up each time.
    auto shownNow = [&]() -> int {
        if (w.Page() == nullptr) {
            return -1;
        }
        for (ParamSlider* fader : w.Page()->findChildren<ParamSlider*>()) {
            if (fader->Item().address == at) {
                return fader->DeviceValue();
            }
        }
        return -1;
    };
    EXPECT_TRUE(WaitFor([&] { return shownNow() == stored; }, 10s))
        << "the page still shows " << shownNow();
    EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(LinkTruthTest, ThePageShownStaysWiredWhenAChoiceOnItChangesWhichPagesExist) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return Online() && w.Page() != nullptr && w.Page()->isVisible(); }));
    CSkinButton* wideband = nullptr;
    for (ParamButtonGroup* group : w.Page()->findChildren<ParamButtonGroup*>()) {
        for (CSkinButton* key : group->findChildren<CSkinButton*>()) {
            if (key->text() == "Wideband" && group->Selection() != 1) {
                wideband = key;
            }
        }
    }
    ASSERT_NE(wideband, nullptr) << "the AGC page offers AGC Mode Wideband";
    // Wideband hides the Bands page: the tree is built anew while the AGC page stays.
    QTest::mouseClick(wideband, Qt::LeftButton);
    ASSERT_TRUE(WaitFor(
        [&] {
            return w.Page() != nullptr && w.Page()->isVisible() &&
                   !w.Model().Registry().Entries().empty();
        },
        10s));
    QWidget* page = w.Page();
    // Every control the registry knows is on the page shown, and there is one for each of
    // its value controls: device values and compare mode reach them.
    const auto sliders = page->findChildren<ParamSlider*>();
    ASSERT_FALSE(sliders.empty());
    for (const auto& entry : w.Model().Registry().Entries()) {
        auto* widget = dynamic_cast<QWidget*>(entry.control);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(page->isAncestorOf(widget));
    }
    const std::uint8_t kept = static_cast<std::uint8_t>((sliders.front()->DeviceValue() + 3) %
                                                        (sliders.front()->Item().span + 1));
    w.Model().OnParameterValue(sliders.front()->Item().address, kept);
    EXPECT_EQ(sliders.front()->DeviceValue(), kept);
    EXPECT_TRUE(dialogs_.boxes.empty());
}

// Deadlines of 30 s: under the sanitizers beside the whole suite one wait here took over 10 s.
TEST_F(LinkTruthTest, SavingDuringCompareShowsTheValuesOfSideAAgain) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return Online() && w.Page() != nullptr && w.Page()->isVisible(); }));
    // U1 on air, so that saving into it does not change the preset on air.
    ASSERT_EQ(Ctl({"preset-load", "0"}).exitCode, 0);
    ASSERT_TRUE(WaitFor([&] { return w.PresetList()->CurrentPreset() == 0; }, 30s));
    ParamSlider* fader = w.Page()->findChildren<ParamSlider*>().front();
    const ParamAddress at = fader->Item().address;
    ASSERT_TRUE(WaitFor([&] { return Shown(at) >= 0; }, 30s));
    const int stored = Shown(at);
    const int edited = (stored + 5) % (fader->Item().span + 1);
    // An edit makes A and B available; B shows the preset as stored.
    ASSERT_EQ(Ctl({"write", std::to_string(at.a), std::to_string(at.b), std::to_string(at.c),
                   std::to_string(edited)})
                  .exitCode,
              0);
    ASSERT_TRUE(WaitFor([&] { return Key(CDlgMain::kB)->isEnabled(); }, 30s));
    w.OnBClicked();
    ASSERT_TRUE(WaitFor([&] { return Key(CDlgMain::kB)->IsStuck() && Shown(at) == stored; }, 30s));
    // Save into U1: the processor stores the edits and is back on side A.
    QTest::mouseClick(Key(CDlgMain::kPresets), Qt::LeftButton);
    w.PresetList()->setCurrentItem(w.PresetList()->topLevelItem(0));
    dialogs_.answerYes = true; // Save asks before it overwrites U1
    QTest::mouseClick(Key(110), Qt::LeftButton);
    ASSERT_TRUE(WaitFor(
        [&] { return Key(CDlgMain::kA)->IsStuck() || !Key(CDlgMain::kA)->isEnabled(); }, 30s));
    EXPECT_TRUE(WaitFor([&] { return Shown(at) == edited; }, 30s))
        << "the page shows " << Shown(at) << ", the processor holds " << edited;
    EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(LinkTruthTest, ASilentProcessorIsMarkedStaleAndTheWindowConnectsAgainByItself) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    // Four seconds of tries before the link gives up: room to see the stale marking first.
    w.SetLinkTiming(CDlgMain::LinkTiming{500, 8});
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return Online(); }));
    const unsigned port = settings_.port;
    EXPECT_FALSE(w.Leds()->IsStale());

    // The processor goes quiet: within about a second the meters say so, in words.
    sim_->Stop(SIGKILL, 5s);
    const auto quiet = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitFor([&] { return w.Leds()->IsStale(); }, 3s));
    EXPECT_LT(std::chrono::steady_clock::now() - quiet, 2500ms);
    EXPECT_EQ(w.Leds()->StaleText().left(15), "NO REPLY since ");
    EXPECT_FALSE(Key(CDlgMain::kBypass)->isEnabled());
    EXPECT_FALSE(Key(CDlgMain::kAgc)->isEnabled());

    // It answers again before the link gives up: the marking goes, the keys come back.
    RestartSimOn(port);
    ASSERT_TRUE(WaitFor([&] { return !w.Leds()->IsStale(); }, 5s));
    EXPECT_TRUE(Key(CDlgMain::kBypass)->isEnabled());
    EXPECT_TRUE(w.Engine().IsConnected());

    // Gone for good: the link gives up, the window says when, and counts down to a new try.
    sim_->Stop(SIGKILL, 5s);
    ASSERT_TRUE(WaitFor([&] { return w.Reconnect().IsActive(); }, 15s));
    EXPECT_TRUE(w.SettingsPanel()->isVisible());
    const QString notice = w.SettingsPanel()->Notice();
    EXPECT_TRUE(notice.startsWith("LINK LOST at ")) << notice.toStdString();
    EXPECT_TRUE(dialogs_.boxes.empty()) << dialogs_.boxes.front().text;
    EXPECT_FALSE(w.Leds()->IsStale()) << "offline: the matrix is dark, not stale";

    // The processor is back: the window connects by itself, no key pressed, no box.
    RestartSimOn(port);
    ASSERT_TRUE(WaitFor([&] { return Online() && !w.Reconnect().IsActive(); }, 60s));
    EXPECT_TRUE(w.SettingsPanel()->Notice().isEmpty());
    EXPECT_TRUE(dialogs_.boxes.empty()) << dialogs_.boxes.front().text;
    EXPECT_GE(w.Reconnect().Attempts(), 1);
}

TEST_F(LinkTruthTest, ConnectPressedDuringTheCountdownTakesOverAndDisconnectIsNoLoss) {
    StartSim({});
    CDlgMain& w = OpenWindow();
    w.SetLinkTiming(CDlgMain::LinkTiming{300, 3});
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return Online(); }));
    // The operator's own Disconnect is not a lost link.
    w.OnConnectClicked();
    ASSERT_TRUE(WaitFor([&] { return !w.Engine().IsConnected(); }));
    QTest::qWait(300);
    EXPECT_FALSE(w.Reconnect().IsActive());
    EXPECT_TRUE(w.SettingsPanel()->Notice().isEmpty());
    dialogs_.boxes.clear();

    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitFor([&] { return Online(); }));
    const unsigned port = settings_.port;
    sim_->Stop(SIGKILL, 5s);
    ASSERT_TRUE(WaitFor([&] { return w.Reconnect().IsActive(); }, 15s));
    RestartSimOn(port);
    // Connect now, by hand: the countdown stops and the usual connect runs.
    ASSERT_TRUE(ConnectAndWait());
    EXPECT_FALSE(w.Reconnect().IsActive());
    EXPECT_TRUE(WaitFor([&] { return Online(); }));
    EXPECT_TRUE(dialogs_.boxes.empty()) << dialogs_.boxes.front().text;
}

TEST_F(LinkTruthTest, TheDebugWindowStaysUsableWhileAConnectHoldsTheMainWindow) {
    StartSim({"--delay", "20"});
    CDlgMain& w = OpenWindow();
    w.OnMinimize(Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(w.DebugWindow()->isVisible());
    w.OnConnectClicked();
    ASSERT_FALSE(w.isEnabled()) << "the connect holds the main window";
    EXPECT_TRUE(w.DebugWindow()->isEnabled()) << "scroll, filters and save stay usable";
    ASSERT_TRUE(WaitFor([&] { return Online(); }));
}

TEST_F(LinkTruthTest, TheWaitWindowCancelsAConnectToAnAddressThatNeverAnswers) {
    // A port where nothing answers: the simulator that had it is gone.
    StartSim({});
    sim_->Stop(SIGKILL, 5s);
    sim_.reset();
    CDlgMain& w = OpenWindow();
    for (const bool byKey : {true, false}) {
        SCOPED_TRACE(byKey ? "Cancel key" : "Escape");
        w.OnConnectClicked();
        ASSERT_NE(w.WaitWindow(), nullptr);
        const auto start = std::chrono::steady_clock::now();
        if (byKey) {
            ASSERT_NE(w.WaitWindow()->CancelKey(), nullptr);
            QTest::mouseClick(w.WaitWindow()->CancelKey(), Qt::LeftButton);
        } else {
            QTest::keyClick(w.WaitWindow(), Qt::Key_Escape);
        }
        ASSERT_TRUE(WaitFor(
            [&] { return w.WaitWindow() == nullptr && w.isEnabled() && !w.Engine().IsConnected(); },
            5s));
        // Well before the link would have given up by itself (15 s).
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_TRUE(w.SettingsPanel()->isVisible());
        EXPECT_FALSE(w.Reconnect().IsActive());
        QTest::qWait(200);
        EXPECT_TRUE(dialogs_.boxes.empty()) << dialogs_.boxes.front().text;
    }
}

} // namespace
