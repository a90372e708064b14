#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CConnectSequence.h"
#include "app/IConnectLink.h"
#include "app/IConnectView.h"
#include "app/RecordingDialogs.h"
#include "link/CConnectionSettings.h"

namespace {

namespace fs = std::filesystem;

class FakeLink : public IConnectLink {
public:
    void Open() override { calls.push_back("open"); }
    bool IsConnected() const override { return connected; }
    void Disconnect() override { calls.push_back("disconnect"); }
    void ReadVersion() override { calls.push_back("version"); }
    void GetConfig(int lockCode) override { calls.push_back("config " + std::to_string(lockCode)); }
    void GetFactoryPresetNumber() override { calls.push_back("presets"); }

    bool connected = false;
    std::vector<std::string> calls;
};

class FakeView : public IConnectView {
public:
    void DropPage() override { calls.push_back("drop page"); }
    std::string ApplySettings() override {
        calls.push_back("apply");
        return lockText;
    }
    void SetInputEnabled(bool enabled) override { calls.push_back(enabled ? "enable" : "disable"); }
    void ShowWait() override { calls.push_back("wait"); }
    void CloseWait() override { calls.push_back("close wait"); }
    void ResetForConnect() override { calls.push_back("reset"); }
    void ShowLinkUp() override { calls.push_back("up"); }
    void ShowLinkDown() override { calls.push_back("down"); }
    void SetCaption(const std::string& text) override { caption = text; }
    void SetProcessorType(std::uint8_t type) override { processorType = type; }
    bool LoadDescription(const std::string& path) override {
        calls.push_back("load");
        // The file is there, whole, while it is loaded.
        std::ifstream in(path, std::ios::binary);
        loaded.assign(std::istreambuf_iterator<char>(in), {});
        return readable;
    }
    void EndProgram() override { calls.push_back("end"); }
    void OnLinkLost() override { calls.push_back("lost"); }
    void OnAutomaticConnectFailed() override { calls.push_back("auto failed"); }

    std::string lockText = "0007";
    bool readable = true;
    std::string caption;
    int processorType = -1;
    std::string loaded;
    std::vector<std::string> calls;
};

class ConnectSequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.lockCode = 7;
        settings.port = 1203;
        folder =
            fs::temp_directory_path() /
            ("solvei-connect-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        previous = fs::current_path();
        fs::current_path(folder);
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(folder);
    }

    // Runs a connect up to the version reply.
    void ConnectUntilConfigAsked() {
        sequence.OnConnectPressed();
        link.connected = true;
        sequence.OnConnected();
        sequence.OnVersion("123");
    }

    FakeLink link;
    FakeView view;
    RecordingDialogs boxes;
    CConnectionSettings settings;
    CConnectSequence sequence{link, view, boxes, settings};
    fs::path folder;
    fs::path previous;
};

TEST_F(ConnectSequenceTest, GoodConnectAsksVersionThenConfigThenPresets) {
    ConnectUntilConfigAsked();
    const ByteString description{3, 1, 2, 3};
    sequence.OnConfig(description);
    EXPECT_EQ(link.calls, (std::vector<std::string>{"open", "version", "config 7", "presets"}));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"drop page", "apply", "disable", "wait",
                                                    "reset", "up", "load"}));
    EXPECT_EQ(view.caption, "Solvei V1.23");
    EXPECT_EQ(view.processorType, 3);
    EXPECT_EQ(view.loaded, std::string("\x03\x01\x02\x03", 4));
    EXPECT_FALSE(fs::exists(folder / "pccontrol.bin"));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(sequence.Connecting());
    sequence.OnConnectFinished();
    EXPECT_FALSE(sequence.Connecting());
}

struct CaptionCase {
    const char* name;
    std::string version;
    std::string caption;
};

class VersionCaptionTest : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(VersionCaptionTest, CaptionFromVersionText) {
    EXPECT_EQ(CConnectSequence::CaptionForVersion(GetParam().version), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionCaptionTest,
                         ::testing::Values(CaptionCase{"ThreeDigits", "123", "Solvei V1.23"},
                                           CaptionCase{"OneDigit", "5", "Solvei V5."},
                                           CaptionCase{"Empty", "", "Solvei V."},
                                           CaptionCase{"TwoDigits", "12", "Solvei V1.2"},
                                           CaptionCase{"Longer", "12345", "Solvei V1.23"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FieldCase {
    const char* name;
    std::string lockText;
    std::uint32_t lockCode;
    std::uint32_t port;
    std::vector<std::string> boxes;
};

class ConnectFieldTest : public ConnectSequenceTest,
                         public ::testing::WithParamInterface<FieldCase> {};

TEST_P(ConnectFieldTest, BadFieldsSendNothingEvenAsDisconnect) {
    for (bool connected : {false, true}) {
        link.calls.clear();
        boxes.boxes.clear();
        link.connected = connected;
        view.lockText = GetParam().lockText;
        settings.lockCode = GetParam().lockCode;
        settings.port = GetParam().port;
        sequence.OnConnectPressed();
        EXPECT_EQ(boxes.Texts(), GetParam().boxes);
        EXPECT_TRUE(link.calls.empty()) << "connected " << connected;
    }
}

// The edges of what is valid: both ends of the lock codes, the highest port.
TEST_F(ConnectSequenceTest, ValidFieldsAtTheirEdgesConnect) {
    const struct {
        std::string lockText;
        std::uint32_t lockCode;
        std::uint32_t port;
    } edges[] = {{"0000", 0, 1203}, {"9999", 9999, 1203}, {"0007", 7, 65535}};
    for (const auto& edge : edges) {
        link.calls.clear();
        boxes.boxes.clear();
        link.connected = false;
        view.lockText = edge.lockText;
        settings.lockCode = edge.lockCode;
        settings.port = edge.port;
        sequence.OnConnectPressed();
        EXPECT_TRUE(boxes.boxes.empty()) << edge.lockText << " " << edge.port;
        EXPECT_EQ(link.calls, (std::vector<std::string>{"open"})) << edge.lockText;
        sequence.CancelConnect();
        sequence.OnDisconnected();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ConnectFieldTest,
    ::testing::Values(
        FieldCase{
            "FiveDigitLock", "12345", 12345, 1203, {"Check Password. It must be four digits long"}},
        FieldCase{
            "ThreeDigitLock", "123", 123, 1203, {"Check Password. It must be four digits long"}},
        FieldCase{"PortTooLarge", "0007", 7, 70000, {"Check Port. It must be six digits long"}},
        FieldCase{"Both",
                  "12",
                  12,
                  70000,
                  {"Check Password. It must be four digits long",
                   "Check Port. It must be six digits long"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectSequenceTest, ConnectKeyActsAsDisconnectWhileConnected) {
    link.connected = true;
    sequence.OnConnectPressed();
    EXPECT_EQ(link.calls, (std::vector<std::string>{"disconnect"}));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"drop page", "apply"}));
}

struct FailureCase {
    const char* name;
    // How far the connect gets: 0 never connected, 1 connected, 2 version, 3 wrong type,
    // 4 description accepted (the link goes while values and presets are read).
    int stage;
    std::vector<std::string> boxes;
};

class ConnectFailureTest : public ConnectSequenceTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConnectFailureTest, LinkDropShowsItsBox) {
    sequence.OnConnectPressed();
    if (GetParam().stage >= 1) {
        link.connected = true;
        sequence.OnConnected();
    }
    if (GetParam().stage >= 2) {
        sequence.OnVersion("123");
    }
    if (GetParam().stage == 3) {
        sequence.OnConfig(ByteString{2, 0, 0});
    }
    if (GetParam().stage == 4) {
        sequence.OnConfig(ByteString{3, 0, 0});
    }
    link.connected = false;
    view.calls.clear();
    sequence.OnDisconnected();
    EXPECT_EQ(boxes.Texts(), GetParam().boxes);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"enable", "down", "close wait"}));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ConnectFailureTest,
    ::testing::Values(FailureCase{"NeverConnected", 0, {CConnectSequence::kNoResponse}},
                      FailureCase{"NoVersion", 1, {CConnectSequence::kNoResponse}},
                      FailureCase{"ConfigUnanswered", 2, {"Incorrect Password"}},
                      FailureCase{
                          "WrongProcessorType", 3, {CConnectSequence::kIncorrectApplication}},
                      FailureCase{"DroppedWhileReading", 4,
                                  {CConnectSequence::kLinkLostWhileConnecting}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectSequenceTest, BoxTextsAreTheProcessorsOwnWords) {
    EXPECT_EQ(CConnectSequence::kNoResponse,
              "No Response from Processor \nPlease check cables and connection settings.");
    EXPECT_EQ(CConnectSequence::kIncorrectApplication,
              "Incorrect Remote Application\n \nThe remote application you are using does not "
              "match the type of processor you are connecting to.  \nPlease use the correct "
              "remote application.");
    EXPECT_EQ(CConnectSequence::kPermissionsError,
              "Permissions Error\n \nThe remote application cannot be run from CD or a "
              "directory without write access permissions. \nPlease run the apllication from "
              "a folder with write access permissions.");
}

TEST_F(ConnectSequenceTest, WrongTypeDisconnectsAndStoresNothing) {
    ConnectUntilConfigAsked();
    sequence.OnConfig(ByteString{2, 9, 9});
    EXPECT_EQ(link.calls.back(), "disconnect");
    EXPECT_EQ(view.processorType, 2);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{CConnectSequence::kIncorrectApplication}));
    EXPECT_FALSE(fs::exists(folder / "pccontrol.bin"));
    // The lock code was taken: no "Incorrect Password" once the link is down.
    boxes.boxes.clear();
    sequence.OnDisconnected();
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ConnectSequenceTest, UnwritableFolderGivesPermissionsError) {
    // A folder in the way of the file cannot be opened for writing, whoever runs the test.
    fs::create_directory(folder / "pccontrol.bin");
    ConnectUntilConfigAsked();
    sequence.OnConfig(ByteString{3, 1});
    EXPECT_EQ(link.calls.back(), "disconnect");
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{CConnectSequence::kPermissionsError}));
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "load"), 0);
}

TEST_F(ConnectSequenceTest, ADescriptionThatCannotBeReadBackEndsTheConnectWithABox) {
    view.readable = false;
    ConnectUntilConfigAsked();
    sequence.OnConfig(ByteString{3, 1});
    EXPECT_EQ(link.calls.back(), "disconnect");
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{CConnectSequence::kDescriptionUnreadable}));
    EXPECT_FALSE(fs::exists(folder / "pccontrol.bin"));
    boxes.boxes.clear();
    link.connected = false;
    sequence.OnDisconnected();
    EXPECT_TRUE(boxes.boxes.empty()) << "one box, not a second one for the drop";
}

TEST_F(ConnectSequenceTest, ALinkLostWhileOnlineIsToldToTheViewAndRetriedWithoutBoxes) {
    ConnectUntilConfigAsked();
    sequence.OnConfig(ByteString{3});
    sequence.OnConnectFinished();
    link.connected = false;
    view.calls.clear();
    sequence.OnDisconnected();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"enable", "down", "close wait", "lost"}));
    EXPECT_TRUE(boxes.boxes.empty());
    // The window's own attempt: no wait window, no settings applied, no box when nothing
    // answers, and the view hears of it.
    view.calls.clear();
    link.calls.clear();
    sequence.StartAutomaticConnect();
    EXPECT_EQ(link.calls, (std::vector<std::string>{"open"}));
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "wait"), 0);
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "apply"), 0);
    link.connected = true;
    sequence.OnConnected();
    link.connected = false;
    sequence.OnDisconnected();
    EXPECT_EQ(view.calls.back(), "auto failed");
    EXPECT_TRUE(boxes.boxes.empty());
    // A transfer broken off by a noisy line, of the description or of a preset, is tried
    // again as well: a box would end the reconnecting until someone is there.
    for (const std::uint8_t command : {std::uint8_t{0x83}, std::uint8_t{0x85}}) {
        view.calls.clear();
        sequence.StartAutomaticConnect();
        link.connected = true;
        sequence.OnConnected();
        sequence.OnVersion("123");
        if (command == 0x85) {
            sequence.OnConfig(ByteString{3});
        }
        sequence.OnTransferFailed(command);
        link.connected = false;
        sequence.OnDisconnected();
        EXPECT_EQ(view.calls.back(), "auto failed") << int(command);
        EXPECT_TRUE(boxes.boxes.empty()) << int(command);
    }
    // A wrong lock code on the window's own attempt is the operator's to see.
    sequence.StartAutomaticConnect();
    link.connected = true;
    sequence.OnConnected();
    sequence.OnVersion("123");
    link.connected = false;
    sequence.OnDisconnected();
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Incorrect Password"}));
}

TEST_F(ConnectSequenceTest, DisconnectAfterEarlierSuccessShowsNoBox) {
    ConnectUntilConfigAsked();
    sequence.OnConfig(ByteString{3});
    sequence.OnConnectFinished();
    link.connected = false;
    sequence.OnDisconnected();
    EXPECT_TRUE(boxes.boxes.empty());
    // A second attempt that never reaches the processor keeps the earlier flags.
    sequence.OnConnectPressed();
    sequence.OnDisconnected();
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ConnectSequenceTest, ExitWhileConnectedEndsAtTheDisconnectWithoutBoxes) {
    sequence.OnConnectPressed();
    link.connected = true;
    sequence.OnConnected();
    EXPECT_FALSE(sequence.OnExitPressed());
    EXPECT_EQ(link.calls.back(), "disconnect");
    view.calls.clear();
    sequence.OnDisconnected();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"end"}));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ConnectSequenceTest, ExitWhileOfflineEndsAtOnce) {
    EXPECT_TRUE(sequence.OnExitPressed());
    EXPECT_TRUE(link.calls.empty());
}

TEST_F(ConnectSequenceTest, BrokenTransferDuringConnectDisconnectsWithItsOwnBox) {
    ConnectUntilConfigAsked();
    sequence.OnTransferFailed(0x83);
    EXPECT_EQ(link.calls.back(), "disconnect");
    link.connected = false;
    sequence.OnDisconnected();
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{CConnectSequence::kTransferBrokeOff}));
}

TEST_F(ConnectSequenceTest, BrokenTransferWhenOnlineLeavesTheLinkUp) {
    ConnectUntilConfigAsked();
    sequence.OnConfig(ByteString{3});
    sequence.OnConnectFinished();
    link.calls.clear();
    sequence.OnTransferFailed(0x85);
    EXPECT_TRUE(link.calls.empty());
}

} // namespace
