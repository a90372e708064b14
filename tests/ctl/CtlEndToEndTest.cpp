#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "ctl/TestProcess.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The processes under test, running for real: the simulator on 127.0.0.1 with a free port
// or on a pseudo-terminal, and solvei-ctl against it with its settings in a temporary folder.
class CtlEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                ("solvei-ctl-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "settings");
    }

    void TearDown() override {
        if (m_sim) {
            EXPECT_EQ(m_sim->Stop(SIGTERM, 10s), 0); // the simulator ends cleanly on SIGTERM
        }
        m_sim.reset();
        fs::remove_all(m_dir);
    }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // Starts the simulator; returns the connection arguments for solvei-ctl.
    std::vector<std::string> StartSim(std::vector<std::string> args, bool serial = false) {
        std::vector<std::string> argv = {SOLVEI_SIM_PATH};
        if (serial) {
            argv.insert(argv.end(), {"--no-udp", "--pty", Path("serial")});
        } else {
            argv.insert(argv.end(), {"--udp", "127.0.0.1:0"});
        }
        argv.insert(argv.end(), args.begin(), args.end());
        m_sim = std::make_unique<TestProcess>(argv, std::map<std::string, std::string>{});
        const auto line = m_sim->ReadLine(10s);
        if (!line) {
            ADD_FAILURE() << "the simulator printed no address";
            return {};
        }
        std::smatch match;
        if (serial) {
            EXPECT_TRUE(std::regex_match(*line, match, std::regex("serial (/dev/.+)"))) << *line;
            return {"--serial", Path("serial")};
        }
        EXPECT_TRUE(std::regex_match(*line, match, std::regex("udp 127\\.0\\.0\\.1:(\\d+)")))
            << *line;
        return {"--host", "127.0.0.1", "--port", match[1].str()};
    }

    TestProcess::Result Ctl(const std::vector<std::string>& connection,
                            const std::vector<std::string>& args, const char* timeout = "300") {
        std::vector<std::string> argv = {SOLVEI_CTL_PATH};
        argv.insert(argv.end(), connection.begin(), connection.end());
        argv.insert(argv.end(), {"--timeout", timeout});
        argv.insert(argv.end(), args.begin(), args.end());
        return TestProcess::Run(argv, {{"SOLVEI_SETTINGS_DIR", Path("settings")}}, 120s);
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path m_dir;
    std::unique_ptr<TestProcess> m_sim;
};

struct Step {
    std::vector<std::string> args;
    int exitCode;
    const char* stdoutPattern; // a regular expression searched in stdout
};

void RunSteps(CtlEndToEndTest* test,
              const std::function<TestProcess::Result(const std::vector<std::string>&)>& ctl,
              const std::vector<Step>& steps) {
    (void)test;
    for (const auto& step : steps) {
        std::string line;
        for (const auto& a : step.args) {
            line += a + " ";
        }
        const auto result = ctl(step.args);
        EXPECT_EQ(result.exitCode, step.exitCode) << line << "\nstderr: " << result.err;
        EXPECT_TRUE(std::regex_search(result.out, std::regex(step.stdoutPattern)))
            << line << "\nstdout: " << result.out;
    }
}

TEST_F(CtlEndToEndTest, EveryCommandOverUdp) {
    const auto connection = StartSim({});
    const std::string preset = Path("f2.pst");
    const std::string copy = Path("u2.pst");
    const std::string image = Path("image.bin");
    std::ofstream(image, std::ios::binary) << std::string(1000, 'U');
    const std::vector<Step> steps = {
        {{"version"}, 0, "^123\n$"},
        {{"--json", "version"}, 0, "^\\{\"version\": \"123\"\\}\n$"},
        {{"write", "0", "0", "0x0", "3"}, 0, "^$"},
        {{"read", "0", "0", "0"}, 0, "^3\n$"},
        {{"--json", "read", "0", "0", "0"}, 0, "\"address\": \\[0, 0, 0\\], \"value\": 3"},
        {{"leds"}, 0, "\"current\": 8, \"compare\": 0, \"change\": 1, \"view\": 0, \"bypass\": 0"},
        {{"leds"},
         0,
         "\"rows\": \\[(\\{\"lit\": \\d+, \"colour\": \\d, \"peak\": \\d+\\}(, )?){8}\\]"},
        {{"leds"}, 0, "\"raw\": \"0682[0-9a-f]{54}\""},
        {{"compare"}, 0, "^$"},
        {{"leds"}, 0, "\"compare\": 1, \"change\": 1"},
        {{"revert"}, 0, "^$"},
        {{"leds"}, 0, "\"compare\": 0, \"change\": 1"},
        {{"bypass", "on"}, 0, "^bypass\n$"},
        {{"leds"}, 0, "\"bypass\": 1"},
        {{"bypass", "off"}, 0, "^online\n$"},
        {{"meters-flip"}, 0, "^$"},
        {{"leds"}, 0, "\"view\": 1, \"bypass\": 0"},
        {{"meters-flip"}, 0, "^$"},
        {{"describe"}, 0, "^\\{\"type\": 3, \"errors\": \\[\\].*\"name\": \"AGC Drive\""},
        {{"presets"}, 0, "^U1: USER 1\nU2: USER 2\n(.*\n){6}F1: NEWS TALK\n(.*\n){7}$"},
        {{"--json", "presets"}, 0, "\\{\"number\": 9, \"label\": \"F2:\", \"name\": \"ROCK\"\\}"},
        {{"preset-load", "9"}, 0, "^loaded F2:\n$"},
        {{"leds"}, 0, "\"current\": 9, \"compare\": 0, \"change\": 0"},
        {{"preset-save", "2"}, 0, "^$"},
        {{"preset-rename", "2", "LATE NIGHT"}, 0, "^$"},
        {{"presets"}, 0, "\nU3: LATE NIGHT\n"},
        {{"preset-get", "9", preset}, 0, "^$"},
        {{"preset-send", "1", preset}, 0, "^$"},
        {{"preset-get", "1", copy}, 0, "^$"},
        {{"presets"}, 0, "\nU2: ROCK\n"},
        {{"upgrade", image}, 0, "^$"},
        {{"watch", "--count", "3"}, 0, "^(AGC  ONLINE.*\n(ROW_\\d \\|[#.|]{32}\\| \\d+\n){8}){3}$"},
        {{"--json", "watch", "--count", "2"}, 0, "^(\\{\"tr\".*\\}\n){2}$"},
    };
    RunSteps(
        this, [&](const std::vector<std::string>& args) { return Ctl(connection, args); }, steps);
    const std::string original = ReadFile(preset);
    EXPECT_EQ(original.size(), 128u); // name, count and the values, padded to one block
    EXPECT_EQ(original.substr(0, 4), "ROCK");
    EXPECT_EQ(ReadFile(copy), original);
}

TEST_F(CtlEndToEndTest, UpgradeShowsProgressAndLogShowsTheLink) {
    const auto connection = StartSim({});
    const std::string image = Path("image.bin");
    std::ofstream(image, std::ios::binary) << std::string(1000, 'U');
    const auto upgrade = Ctl(connection, {"upgrade", image});
    EXPECT_EQ(upgrade.exitCode, 0) << upgrade.err;
    EXPECT_NE(upgrade.err.find("upgrade: 100% (8 of 8 blocks)"), std::string::npos) << upgrade.err;

    const auto logged = Ctl(connection, {"--log", "version"});
    EXPECT_EQ(logged.exitCode, 0);
    EXPECT_EQ(logged.out, "123\n");
    EXPECT_NE(logged.err.find("Read version\nRecieved  - 06 - 80 - 31 - 32 - 33 - 1C\n"),
              std::string::npos)
        << logged.err;
    EXPECT_NE(logged.err.find("Disconnecting.\n"), std::string::npos);
}

TEST_F(CtlEndToEndTest, CommandsOverAPseudoTerminal) {
    const auto connection = StartSim({}, true);
    const std::string preset = Path("f1.pst");
    const std::string copy = Path("u1.pst");
    const std::vector<Step> steps = {
        {{"version"}, 0, "^123\n$"},
        {{"write", "1", "0", "1", "1"}, 0, "^$"},
        {{"read", "1", "0", "1"}, 0, "^1\n$"},
        {{"describe"}, 0, "\"name\": \"Input Source\""},
        {{"preset-get", "8", preset}, 0, "^$"},
        {{"preset-send", "0", preset}, 0, "^$"},
        {{"preset-get", "0", copy}, 0, "^$"},
        {{"watch", "--count", "2"}, 0, "^(AGC.*\n(ROW.*\n){8}){2}$"},
    };
    RunSteps(
        this, [&](const std::vector<std::string>& args) { return Ctl(connection, args); }, steps);
    EXPECT_EQ(ReadFile(copy), ReadFile(preset));
}

TEST_F(CtlEndToEndTest, WrongLockCodeIsRefused) {
    const auto connection = StartSim({"--lock", "1234"});
    const auto refused = Ctl(connection, {"describe"}, "100");
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("Incorrect Password"), std::string::npos) << refused.err;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1);

    const auto accepted = Ctl(connection, {"--lock", "1234", "describe"}, "100");
    EXPECT_EQ(accepted.exitCode, 0) << accepted.err;
    EXPECT_NE(accepted.out.find("\"type\": 3"), std::string::npos);
}

TEST_F(CtlEndToEndTest, ForeignProcessorTypeIsReported) {
    const auto connection = StartSim({"--type", "5", "--version", "9AB"});
    const auto result = Ctl(connection, {"describe"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("{\"type\": 5,", 0), 0u) << result.out;
    EXPECT_NE(result.err.find("processor type 5 is not the type 3"), std::string::npos);
    EXPECT_EQ(Ctl(connection, {"version"}).out, "9AB\n");
}

TEST_F(CtlEndToEndTest, NoProcessorMeansNoResponse) {
    // A port nobody serves: bind one, learn its number, close it again.
    const auto connection = StartSim({});
    const auto silent = std::vector<std::string>{"--host", "127.0.0.1", "--port", "9"};
    const auto result = Ctl(silent, {"version"}, "30");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("no response"), std::string::npos) << result.err;

    const auto missing = Ctl({"--serial", Path("no-such-device")}, {"version"}, "30");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("cannot connect"), std::string::npos) << missing.err;
}

TEST_F(CtlEndToEndTest, UsageAndFileErrors) {
    const auto connection = StartSim({});
    std::ofstream(Path("tiny.bin"), std::ios::binary) << std::string("\x03\x00\x00", 3);
    std::ofstream(Path("empty.pst"), std::ios::binary) << "";
    const std::vector<Step> steps = {
        {{}, 1, "^$"},
        {{"read", "1", "2"}, 1, "^$"},
        {{"read", "0x100", "0", "0"}, 1, "^$"},
        {{"bypass", "maybe"}, 1, "^$"},
        {{"preset-save", "8"}, 1, "^$"},
        {{"frobnicate"}, 1, "^$"},
        {{"watch", "--count", "0"}, 1, "^$"},
        {{"describe", "--file", Path("missing.bin")}, 4, "^$"},
        {{"describe", "--file", Path("tiny.bin")}, 0, "^\\{\"type\": 3, \"errors\": \\[\\]"},
        {{"preset-send", "0", Path("missing.pst")}, 4, "^$"},
        {{"preset-send", "0", Path("empty.pst")}, 4, "^$"},
        {{"upgrade", Path("missing.bin")}, 4, "^$"},
    };
    for (const auto& step : steps) {
        const auto result = Ctl(connection, step.args);
        EXPECT_EQ(result.exitCode, step.exitCode) << (step.args.empty() ? "" : step.args[0]);
        EXPECT_TRUE(std::regex_search(result.out, std::regex(step.stdoutPattern)));
        if (step.exitCode != 0) {
            EXPECT_EQ(result.err.rfind("solvei-ctl: ", 0), 0u) << result.err;
        }
    }
}

TEST_F(CtlEndToEndTest, SavedSettingsAreTheDefaultsAndOptionsAreNeverSaved) {
    const auto connection = StartSim({"--lock", "1234"});
    const std::string port = connection.at(3);
    fs::create_directories(m_dir / "settings" / "Tarrowin");
    const std::string file = (m_dir / "settings" / "Tarrowin" / "FALX.conf").string();
    std::ofstream(file) << "[Settings]\nsHost=127.0.0.1\ndwPort=" << port
                        << "\nsPortName=TCP\ndwLockCode=1234\n";
    const std::string saved = ReadFile(file);

    const auto fromSettings = Ctl({}, {"describe"});
    EXPECT_EQ(fromSettings.exitCode, 0) << fromSettings.err;
    const auto overridden = Ctl({}, {"--lock", "7", "describe"}, "100");
    EXPECT_EQ(overridden.exitCode, 3) << overridden.err;
    const auto elsewhere = Ctl({"--port", "9"}, {"version"}, "30");
    EXPECT_EQ(elsewhere.exitCode, 2);
    EXPECT_EQ(ReadFile(file), saved);
}

TEST_F(CtlEndToEndTest, StateFileKeepsParametersAndPresetsAcrossRuns) {
    const std::string state = Path("sim.state");
    auto connection = StartSim({"--state", state});
    EXPECT_EQ(Ctl(connection, {"write", "0", "2", "1", "44"}).exitCode, 0);
    EXPECT_EQ(Ctl(connection, {"preset-save", "5"}).exitCode, 0);
    EXPECT_EQ(Ctl(connection, {"preset-rename", "5", "KEPT"}).exitCode, 0);
    EXPECT_EQ(Ctl(connection, {"bypass", "on"}).exitCode, 0);
    EXPECT_EQ(m_sim->Stop(SIGTERM, 10s), 0);

    connection = StartSim({"--state", state});
    const std::vector<Step> steps = {
        {{"read", "0", "2", "1"}, 0, "^44\n$"},
        {{"presets"}, 0, "\nU6: KEPT\n"},
        {{"leds"}, 0, "\"current\": 5, \"compare\": 0, \"change\": 0.*\"bypass\": 1"},
    };
    RunSteps(
        this, [&](const std::vector<std::string>& args) { return Ctl(connection, args); }, steps);
}

TEST_F(CtlEndToEndTest, DescriptionFromAFileJsonOrBytes) {
    std::ofstream(Path("small.json")) << R"({"type": 3, "records": [{"group": "Main", "children": [
        {"style": 2, "items": [{"kind": 0, "address": [0, 0, 7], "name": "Trim", "unit": "dB",
                                "span": 10, "minimum": -5, "step": 1, "format": 0}]}]}]})";
    // Type 3, no strings, one spin set: item 0,0,9 "X", span 10, minimum 0, step 1.
    const std::string bytes("\x03\x00\x00\x22\x00\x00\x00\x00\x09X\x00\x00\x0a\x00\x00\x00\x01"
                            "\x00\x01\x01\x01\x01",
                            22);
    std::ofstream(Path("small.bin"), std::ios::binary) << bytes;
    struct Case {
        const char* file;
        const char* name;
        const char* address;
    };
    for (const Case c : {Case{"small.json", "Trim", "0 0 7"}, Case{"small.bin", "X", "0 0 9"}}) {
        const auto connection = StartSim({"--description", Path(c.file)});
        const auto described = Ctl(connection, {"describe"});
        EXPECT_EQ(described.exitCode, 0) << described.err;
        EXPECT_NE(described.out.find(std::string("\"name\": \"") + c.name + "\""),
                  std::string::npos)
            << described.out;
        // The served parameters are the description's own.
        std::vector<std::string> write = {"write"};
        std::vector<std::string> read = {"read"};
        std::istringstream words(c.address);
        for (std::string w; words >> w;) {
            write.push_back(w);
            read.push_back(w);
        }
        write.push_back("4");
        EXPECT_EQ(Ctl(connection, write).exitCode, 0);
        EXPECT_EQ(Ctl(connection, read).out, "4\n");
        EXPECT_EQ(Ctl(connection, {"read", "0", "0", "0"}).out, "0\n");
        EXPECT_EQ(m_sim->Stop(SIGTERM, 10s), 0);
        m_sim.reset();
    }
    const auto broken =
        TestProcess::Run({SOLVEI_SIM_PATH, "--description", Path("none.json")}, {}, 20s);
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.err.find("none.json"), std::string::npos);
}

TEST_F(CtlEndToEndTest, WatchRunsUntilInterrupted) {
    const auto connection = StartSim({});
    std::vector<std::string> argv = {SOLVEI_CTL_PATH};
    argv.insert(argv.end(), connection.begin(), connection.end());
    argv.insert(argv.end(), {"--json", "watch"});
    TestProcess watch(argv, {{"SOLVEI_SETTINGS_DIR", Path("settings")}});
    for (int state = 0; state < 5; ++state) {
        const auto line = watch.ReadLine(10s);
        ASSERT_TRUE(line) << "state " << state;
        EXPECT_EQ(line->rfind("{\"tr\": ", 0), 0u) << *line;
    }
    EXPECT_EQ(watch.Stop(SIGINT, 20s), 0);
}

// Each fault the simulator can inject: the link recovers and the results are right.
struct FaultCase {
    const char* name;
    std::vector<std::string> simArgs;
    bool serial;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class CtlFaultTest : public CtlEndToEndTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CtlFaultTest, LinkRecoversAndResultsStayRight) {
    std::vector<std::string> args = {"--presets", "9", "--seed", "11"};
    args.insert(args.end(), GetParam().simArgs.begin(), GetParam().simArgs.end());
    const auto connection = StartSim(args, GetParam().serial);
    const auto presets = Ctl(connection, {"presets"}, "200");
    EXPECT_EQ(presets.exitCode, 0) << presets.err;
    EXPECT_EQ(presets.out, "U1: USER 1\nU2: USER 2\nU3: USER 3\nU4: USER 4\nU5: USER 5\n"
                           "U6: USER 6\nU7: USER 7\nU8: USER 8\nF1: NEWS TALK\n");
    const auto write = Ctl(connection, {"write", "0", "1", "2", "17"}, "200");
    EXPECT_EQ(write.exitCode, 0) << write.err;
    const auto read = Ctl(connection, {"read", "0", "1", "2"}, "200");
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "17\n");
}

INSTANTIATE_TEST_SUITE_P(Faults, CtlFaultTest,
                         ::testing::Values(FaultCase{"Nak", {"--nak", "0.3"}, false},
                                           FaultCase{"Garble", {"--garble", "0.3"}, false},
                                           FaultCase{"Drop", {"--drop", "0.2"}, false},
                                           FaultCase{"Delay", {"--delay", "40"}, false},
                                           FaultCase{"Split", {"--split"}, false},
                                           FaultCase{"SerialSplit", {"--split"}, true},
                                           FaultCase{"SerialGarble", {"--garble", "0.3"}, true},
                                           FaultCase{"SerialDrop", {"--drop", "0.2"}, true}),
                         [](const auto& info) { return info.param.name; });

// Junk after replies may break a reply beyond repair; the link then gives up. Either way
// the command ends in time, with right output or one clear error.
TEST_F(CtlEndToEndTest, StrayBytesEndInSuccessOrACleanFailure) {
    const std::string clean = "U1: USER 1\nU2: USER 2\nU3: USER 3\nU4: USER 4\nU5: USER 5\n"
                              "U6: USER 6\nU7: USER 7\nU8: USER 8\nF1: NEWS TALK\n";
    for (bool serial : {false, true}) {
        for (const char* seed : {"5", "6", "7"}) {
            const auto connection =
                StartSim({"--stray", "0.3", "--presets", "9", "--seed", seed}, serial);
            const auto result = Ctl(connection, {"presets"}, "100");
            if (result.exitCode == 0) {
                EXPECT_EQ(result.out, clean);
            } else {
                EXPECT_EQ(result.exitCode, 2) << result.err;
                // One clear line, and no preset presented as if it were whole.
                EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
                EXPECT_EQ(clean.rfind(result.out, 0), 0u) << result.out;
            }
            EXPECT_EQ(m_sim->Stop(SIGTERM, 10s), 0);
            m_sim.reset();
        }
    }
}

} // namespace
