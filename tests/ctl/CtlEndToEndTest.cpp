#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "ctl/TestProcess.h"
#include "description/DescriptionEncoder.h"

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

    // errTerminal: its standard error is a pseudo-terminal, as for a person at a terminal.
    TestProcess::Result Ctl(const std::vector<std::string>& connection,
                            const std::vector<std::string>& args, const char* timeout = "300",
                            bool errTerminal = false) {
        std::vector<std::string> argv = {SOLVEI_CTL_PATH};
        argv.insert(argv.end(), connection.begin(), connection.end());
        argv.insert(argv.end(), {"--timeout", timeout});
        argv.insert(argv.end(), args.begin(), args.end());
        return TestProcess::Run(argv, {{"SOLVEI_SETTINGS_DIR", Path("settings")}}, 120s,
                                errTerminal);
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
        {{"--json", "version"}, 0, "^\\{\"version\":\"123\"\\}\n$"},
        {{"write", "0", "0", "0x0", "3"}, 0, "^wrote 0 0 0 = 3\n$"},
        {{"read", "0", "0", "0"}, 0, "^3\n$"},
        {{"--json", "read", "0", "0", "0"}, 0, "^\\{\"address\":\\[0,0,0\\],\"value\":3\\}\n$"},
        {{"leds"},
         0,
         "^preset F1: \\(edited: side A\\)\nmeters AGC, online\nmarkers TR -  DP -  DEF F1:\n"
         "levels( \\d+){8}\n$"},
        {{"--json", "leds"}, 0, "\"current\":8,\"compare\":0,\"change\":1,\"view\":0,\"bypass\":0"},
        {{"--json", "leds"},
         0,
         "\"rows\":\\[(\\{\"lit\":\\d+,\"colour\":\\d,\"peak\":\\d+\\},?){8}\\]"},
        {{"--json", "leds"}, 0, "\"raw\":\"0682[0-9a-f]{54}\""},
        {{"compare"}, 0, "^compare: side B \\(the preset as loaded\\) plays\n$"},
        {{"--json", "leds"}, 0, "\"compare\":1,\"change\":1"},
        {{"leds"}, 0, "^preset F1: \\(comparing: side B, the preset as loaded\\)\n"},
        {{"revert"}, 0, "^revert: side A \\(the edits\\) plays\n$"},
        {{"--json", "leds"}, 0, "\"compare\":0,\"change\":1"},
        {{"bypass", "on"}, 0, "^bypass\n$"},
        {{"leds"}, 0, "\nmeters AGC, BYPASS\n"},
        {{"bypass", "off"}, 0, "^online\n$"},
        {{"meters-flip"}, 0, "^meter view flipped \\(AGC / input and output\\)\n$"},
        {{"--json", "leds"}, 0, "\"view\":1,\"bypass\":0"},
        {{"meters-flip"}, 0, "^meter view flipped"},
        {{"describe"}, 0, "^\\{\n  \"type\": 3,\n  \"errors\": \\[\\],\n  \"root\": \\{\n"},
        // Patterns stay short: the standard regex recurses once per character it repeats.
        {{"describe"}, 0, "\n +\"name\": \"AGC Drive\",\n"},
        {{"--json", "describe"}, 0, "^\\{\"type\":3,\"errors\":\\[\\],\"root\":\\{\"name\":\"\","},
        {{"presets"}, 0, "^U1: USER 1\nU2: USER 2\n(.*\n){6}F1: NEWS TALK\n(.*\n){7}$"},
        {{"--json", "presets"}, 0, "\\{\"number\":9,\"label\":\"F2:\",\"name\":\"ROCK\"\\}"},
        {{"preset-load", "9"}, 0, "^loaded F2:\n$"},
        {{"--json", "leds"}, 0, "\"current\":9,\"compare\":0,\"change\":0"},
        {{"preset-save", "2"}, 0, "^saved the current settings as U3:\n$"},
        {{"preset-rename", "2", "LATE NIGHT"}, 0, "^renamed U3: to \"LATE NIGHT\"\n$"},
        {{"presets"}, 0, "\nU3: LATE NIGHT\n"},
        {{"preset-get", "9", preset},
         0,
         "^saved preset F2: \"ROCK\" to .*f2\\.pst \\(128 bytes\\)\n$"},
        {{"preset-send", "1", preset},
         0,
         "^sent .*f2\\.pst to preset U2: \"ROCK\"; it reads back the same\n$"},
        {{"preset-get", "1", copy}, 0, "^saved preset U2: \"ROCK\""},
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
    const auto upgrade = Ctl(connection, {"upgrade", image}, "300", true);
    EXPECT_EQ(upgrade.exitCode, 0) << upgrade.err;
    EXPECT_NE(upgrade.err.find("\rupgrade: 100% (8 of 8 blocks)\n"), std::string::npos)
        << upgrade.err;
    // A script's log gets no progress line.
    const auto piped = Ctl(connection, {"upgrade", image});
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.err, "");

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
        {{"write", "1", "0", "1", "1"}, 0, "^wrote 1 0 1 = 1\n$"},
        {{"read", "1", "0", "1"}, 0, "^1\n$"},
        {{"describe"}, 0, "\"name\": \"Input Source\""},
        {{"preset-get", "8", preset}, 0, "^saved preset F1: \"NEWS TALK\""},
        {{"preset-send", "0", preset}, 0, "^sent .* to preset U1: \"NEWS TALK\"; it reads back"},
        {{"preset-get", "0", copy}, 0, "^saved preset U1: \"NEWS TALK\""},
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
    const auto connection = StartSim({"--type", "5", "--firmware", "9AB"});
    const auto result = Ctl(connection, {"describe"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("{\n  \"type\": 5,", 0), 0u) << result.out;
    EXPECT_NE(result.err.find("processor type 5 is not the type 3"), std::string::npos);
    EXPECT_EQ(Ctl(connection, {"version"}).out, "9AB\n");
}

TEST_F(CtlEndToEndTest, NoProcessorMeansNoResponse) {
    // Port 9 (discard) on the loopback: nobody serves it, so nothing ever answers.
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
    std::ofstream(Path("huge-number.json")) << "{\"type\": 1e400}";
    const std::vector<Step> steps = {
        {{}, 1, "^$"},
        {{"read", "1", "2"}, 1, "^$"},
        {{"read", "0x100", "0", "0"}, 1, "^$"},
        {{"bypass", "maybe"}, 1, "^$"},
        {{"preset-save", "8"}, 1, "^$"},
        {{"frobnicate"}, 1, "^$"},
        {{"watch", "--count", "0"}, 1, "^$"},
        {{"describe", "--file", Path("missing.bin")}, 4, "^$"},
        {{"describe", "--file", Path("tiny.bin")}, 0, "^\\{\n  \"type\": 3,\n  \"errors\": \\[\\]"},
        // A number no double holds is a bad file, not an unexpected failure.
        {{"describe", "--file", Path("huge-number.json")}, 4, "^$"},
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
    std::ofstream(state) << ""; // an empty file starts a fresh state
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
        {{"--json", "leds"}, 0, "\"current\":5,\"compare\":0,\"change\":0.*\"bypass\":1"},
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
        EXPECT_EQ(line->rfind("{\"tr\":", 0), 0u) << *line;
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

// A transfer the processor cancels is tried again, and the retry gives the clean result.
// Faults are drawn only for transfer packets, so the seed fixes which try is cancelled.
TEST_F(CtlEndToEndTest, ACancelledTransferIsTriedAgainAndSucceeds) {
    const auto connection = StartSim({"--cancel", "0.5", "--seed", "2"});
    const std::string file = Path("f1.pst");
    const auto got = Ctl(connection, {"--log", "preset-get", "8", file});
    EXPECT_EQ(got.exitCode, 0) << got.err;
    EXPECT_NE(got.err.find("solvei-ctl: the transfer of Get Preset was broken off, trying again "
                           "(2 of 4)\n"),
              std::string::npos)
        << got.err;
    EXPECT_EQ(ReadFile(file).substr(0, 10), std::string("NEWS TALK\0", 10));
}

// Junk after replies breaks transfers off (the link cancels them, or gives up); each command
// tries again and ends with the clean run's result or, when every try broke, one clear line
// and nothing that could pass for a result.
TEST_F(CtlEndToEndTest, StrayBytesGiveTheCleanResultOrOneClearLine) {
    const std::string clean = "U1: USER 1\nU2: USER 2\nU3: USER 3\nU4: USER 4\nU5: USER 5\n"
                              "U6: USER 6\nU7: USER 7\nU8: USER 8\nF1: NEWS TALK\n";
    const std::string image = Path("image.bin");
    std::ofstream(image, std::ios::binary) << std::string(300, 'U');
    const std::string file = Path("f1.pst");
    struct Command {
        std::vector<std::string> args;
        std::function<bool(const TestProcess::Result&)> clean;
        int succeeded = 0;
    };
    std::vector<Command> commands = {
        {{"presets"}, [&](const TestProcess::Result& r) { return r.out == clean; }},
        {{"--json", "describe"},
         [](const TestProcess::Result& r) {
             return r.out.rfind("{\"type\":3,\"errors\":[],", 0) == 0;
         }},
        {{"preset-get", "8", file},
         [&](const TestProcess::Result&) { return ReadFile(file).substr(0, 9) == "NEWS TALK"; }},
        {{"upgrade", image}, [](const TestProcess::Result& r) { return r.out.empty(); }},
    };
    for (bool serial : {false, true}) {
        for (const char* seed : {"5", "6"}) {
            SCOPED_TRACE(std::string(serial ? "serial" : "udp") + " seed " + seed);
            const auto connection =
                StartSim({"--stray", "0.3", "--presets", "9", "--seed", seed}, serial);
            for (Command& command : commands) {
                fs::remove(file);
                const auto result = Ctl(connection, command.args, "50");
                if (result.exitCode == 0) {
                    EXPECT_TRUE(command.clean(result)) << command.args[0] << ": " << result.out;
                    ++command.succeeded;
                } else {
                    EXPECT_EQ(result.exitCode, 2) << result.err;
                    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1)
                        << result.err;
                    EXPECT_EQ(result.out, "");
                    EXPECT_FALSE(fs::exists(file));
                }
            }
            EXPECT_EQ(m_sim->Stop(SIGTERM, 10s), 0);
            m_sim.reset();
        }
    }
    // A tool that always gave up would pass the above: the retries must win. (Each broken
    // transfer is tried four times, and a try breaks when any of its replies catches junk:
    // about half of these runs end clean.)
    int succeeded = 0;
    for (const Command& command : commands) {
        succeeded += command.succeeded;
    }
    EXPECT_GE(succeeded, 2) << "of 16 runs";
    std::cout << "stray bytes: " << succeeded << " of 16 runs gave the clean result\n";
}

// A processor that cancels every transfer: each command tries four times in all, then fails
// with one line and exit 2, keeping nothing.
TEST_F(CtlEndToEndTest, ACancelledTransferIsTriedAgainThenExits2) {
    const auto connection = StartSim({"--cancel", "1"});
    const std::string image = Path("image.bin");
    std::ofstream(image, std::ios::binary) << std::string(300, 'U');
    const std::string file = Path("u1.pst");
    struct Case {
        std::vector<std::string> args;
        const char* what;
    };
    const Case cases[] = {
        {{"--log", "preset-get", "0", file}, "Get Preset"},
        {{"--log", "describe"}, "Get Config"},
        {{"--log", "upgrade", image}, "Send Upgrade"},
        {{"--log", "presets"}, "Get Preset 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto result = Ctl(connection, c.args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find(std::string("solvei-ctl: the transfer of ") + c.what +
                                  " was cancelled 4 times; nothing was kept\n"),
                  std::string::npos)
            << result.err;
        // Each try met the processor's cancel once.
        std::size_t cancels = 0;
        for (std::size_t at = 0; (at = result.err.find("Recieved  - 18", at)) != std::string::npos;
             ++at) {
            ++cancels;
        }
        EXPECT_EQ(cancels, 4u) << result.err;
        EXPECT_FALSE(fs::exists(file));
    }
}

// Ten refusals are a refusal: exit 3 and a line that says so.
TEST_F(CtlEndToEndTest, RefusalsAreReportedAsRefused) {
    const auto connection = StartSim({});
    const std::vector<std::vector<std::string>> cases = {
        {"preset-load", "16"},
        {"preset-load", "255"},
        {"preset-get", "20", Path("x.pst")},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const auto result = Ctl(connection, args, "50");
        EXPECT_EQ(result.exitCode, 3) << result.err;
        EXPECT_NE(result.err.find("solvei-ctl: the processor refused "), std::string::npos)
            << result.err;
        EXPECT_EQ(result.err.find("no response"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

// A processor that dies while its description is on the way has not refused the lock code.
TEST_F(CtlEndToEndTest, AProcessorDyingDuringDescribeIsNoResponse) {
    const auto connection = StartSim({"--delay", "40"});
    std::vector<std::string> argv = {SOLVEI_CTL_PATH};
    argv.insert(argv.end(), connection.begin(), connection.end());
    argv.insert(argv.end(), {"--timeout", "100", "--log", "describe"});
    TestProcess describe(argv, {{"SOLVEI_SETTINGS_DIR", Path("settings")}});
    bool acknowledged = false;
    while (const auto line = describe.ReadErrLine(10s)) {
        if (line->rfind("Recieved  - 06 - 83", 0) == 0) {
            acknowledged = true;
            break;
        }
    }
    ASSERT_TRUE(acknowledged);
    EXPECT_EQ(m_sim->Stop(SIGKILL, 10s), 128 + SIGKILL);
    m_sim.reset();
    const auto result = describe.Finish(30s);
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_NE(result.err.find("solvei-ctl: no response from the processor during Get Config"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("Incorrect Password"), std::string::npos);
    EXPECT_EQ(result.out, "");
}

// The processor keeps what its range allows; the caller learns what that was.
TEST_F(CtlEndToEndTest, WriteReportsTheValueTheProcessorStored) {
    const auto connection = StartSim({});
    const auto beyond = Ctl(connection, {"write", "0", "0", "0", "200"});
    EXPECT_EQ(beyond.exitCode, 0);
    EXPECT_EQ(beyond.out, "wrote 0 0 0 = 40\n"); // AGC Drive has 40 steps
    EXPECT_EQ(beyond.err, "solvei-ctl: asked for 200 at 0 0 0, the processor stored 40\n");
    const auto json = Ctl(connection, {"--json", "write", "0", "0", "0", "7"});
    EXPECT_EQ(json.out, "{\"address\":[0,0,0],\"value\":7,\"requested\":7}\n");
    EXPECT_EQ(json.err, "");
}

// The processor keeps a preset only when the data is one; the tool reads it back to know.
TEST_F(CtlEndToEndTest, PresetSendChecksThatThePresetWasKept) {
    const auto connection = StartSim({});
    std::string noise(1000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    }
    noise[15] = '\xFF'; // announces more values than it holds
    std::ofstream(Path("noise.pst"), std::ios::binary) << noise;
    std::ofstream(Path("huge.pst"), std::ios::binary) << std::string(64 * 1024 + 1, 'x');
    const auto kept = Ctl(connection, {"preset-send", "1", Path("noise.pst")});
    EXPECT_EQ(kept.exitCode, 2);
    EXPECT_NE(kept.err.find("solvei-ctl: the processor did not keep the preset: U2: reads back "
                            "different from "),
              std::string::npos)
        << kept.err;
    const auto huge = Ctl(connection, {"--log", "preset-send", "1", Path("huge.pst")});
    EXPECT_EQ(huge.exitCode, 4);
    EXPECT_EQ(huge.err, "solvei-ctl: " + Path("huge.pst") + " is larger than 65536 bytes\n");
    EXPECT_EQ(Ctl(connection, {"presets"}).out.find("U2: USER 2\n"), 11u);
}

// describe --file tells a description from other files, and reads the encoder's source.
TEST_F(CtlEndToEndTest, DescribeFileRefusesWhatIsNoDescription) {
    std::string error;
    std::ifstream source(SOLVEI_BUILTIN_DESCRIPTION);
    const std::string json((std::istreambuf_iterator<char>(source)), {});
    const auto bytes = DescriptionEncoder::Encode(json, error);
    ASSERT_TRUE(bytes) << error;
    const std::string whole(bytes->begin(), bytes->end());
    std::ofstream(Path("whole.bin"), std::ios::binary) << whole;
    std::ofstream(Path("cut.bin"), std::ios::binary) << whole.substr(0, whole.size() / 2);
    std::ofstream(Path("empty.bin"), std::ios::binary) << "";
    std::ofstream(Path("garbage.bin"), std::ios::binary) << std::string(300, '\x07');
    std::ofstream(Path("source.json")) << json;
    std::ofstream(Path("broken.json")) << "{\"records\": [}";
    struct Case {
        const char* file;
        int exitCode;
        const char* out; // searched in stdout
        const char* err; // searched in stderr
    };
    const Case cases[] = {
        {"whole.bin", 0, "\"name\": \"AGC Drive\"", ""},
        {"source.json", 0, "\"name\": \"AGC Drive\"", ""},
        {"cut.bin", 4, "Config Truncated", "is no whole description (Config Truncated)"},
        {"garbage.bin", 4, "\"type\": 7", "is no whole description"},
        {"empty.bin", 4, "\"type\": null", "empty.bin is empty: no description"},
        {"broken.json", 4, "", "broken.json: line 1, column 14: "},
    };
    const auto line = Ctl({}, {"--json", "describe", "--file", Path("whole.bin")});
    EXPECT_EQ(line.exitCode, 0);
    EXPECT_EQ(std::count(line.out.begin(), line.out.end(), '\n'), 1); // one line with --json
    EXPECT_NE(line.out.find("\"name\":\"AGC Drive\""), std::string::npos);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto result = Ctl({}, {"describe", "--file", Path(c.file)});
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }
}

// Every command that takes a file refuses what is no file it can use with one line and its
// file exit code: no abort, no runaway memory.
TEST_F(CtlEndToEndTest, FileTakingCommandsRefuseDirectoriesDevicesAndMissingFiles) {
    fs::create_directories(Path("folder"));
    // Root reads every file whatever its mode; the process's own memory file fails for all.
    const bool root = ::geteuid() == 0;
    const std::string unreadable = root ? "/proc/self/mem" : Path("locked.bin");
    if (!root) {
        std::ofstream(unreadable) << "x";
        fs::permissions(unreadable, fs::perms::none);
    }
    struct Kind {
        std::string path;
        std::string says;
    };
    const Kind kinds[] = {
        {Path("folder"), Path("folder") + " is a directory"},
        {Path("missing"), "cannot read " + Path("missing") + ": No such file or directory"},
        {"/dev/zero", "/dev/zero is not a regular file"},
        {unreadable, "cannot read " + unreadable + ": "},
    };
    const auto silent = std::vector<std::string>{"--host", "127.0.0.1", "--port", "9"};
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.path);
        const std::vector<std::pair<std::vector<std::string>, int>> ctl = {
            {{"preset-send", "2", kind.path}, 4},
            {{"upgrade", kind.path}, 4},
            {{"describe", "--file", kind.path}, 4},
        };
        for (const auto& [args, exitCode] : ctl) {
            const auto result = Ctl(silent, args, "30");
            EXPECT_EQ(result.exitCode, exitCode) << args[0] << ": " << result.err;
            EXPECT_NE(result.err.find("solvei-ctl: " + kind.says), std::string::npos)
                << args[0] << ": " << result.err;
        }
        for (const char* option : {"--description", "--state"}) {
            if (kind.path == Path("missing") && std::string(option) == "--state") {
                continue; // a state file that does not exist yet is a fresh state: it would run
            }
            const auto sim = TestProcess::Run(
                {SOLVEI_SIM_PATH, "--udp", "127.0.0.1:0", option, kind.path}, {}, 20s);
            EXPECT_EQ(sim.exitCode, 1) << option << ": " << sim.err;
            EXPECT_NE(sim.err.find(kind.says), std::string::npos) << option << ": " << sim.err;
        }
    }
}

// At a terminal a person is told what happens during a long silence, and in the words of the
// system's error when the connection cannot be made.
TEST_F(CtlEndToEndTest, SilenceAndConnectionFailuresAreExplained) {
    const auto silent = std::vector<std::string>{"--host", "127.0.0.1", "--port", "9"};
    const auto atTerminal = Ctl(silent, {"version"}, "20", true);
    EXPECT_EQ(atTerminal.exitCode, 2);
    EXPECT_NE(atTerminal.err.find("solvei-ctl: no answer from 127.0.0.1:9, trying again (2 of 10)"),
              std::string::npos)
        << atTerminal.err;
    const auto piped = Ctl(silent, {"version"}, "20");
    EXPECT_EQ(piped.exitCode, 2);
    EXPECT_EQ(piped.err.find("trying again"), std::string::npos) << piped.err;
    EXPECT_EQ(std::count(piped.err.begin(), piped.err.end(), '\n'), 1) << piped.err;

    // The watch says the processor does not answer instead of standing still.
    const auto watch = Ctl(silent, {"watch", "--count", "1"}, "20");
    EXPECT_EQ(watch.exitCode, 2);
    EXPECT_NE(watch.err.find("solvei-ctl: no answer from 127.0.0.1:9\n"), std::string::npos)
        << watch.err;

    // A device held by another program, a missing one and a file that is no serial device.
    const int holder = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::grantpt(holder), 0);
    ASSERT_EQ(::unlockpt(holder), 0);
    const std::string held = ::ptsname(holder);
    const int device = ::open(held.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(device, 0);
    ASSERT_EQ(::flock(device, LOCK_EX | LOCK_NB), 0);
    std::ofstream(Path("plain.txt")) << "text";
    const std::pair<std::string, std::string> ports[] = {
        {held, "device busy"},
        {Path("no-such-device"), "no such device"},
        {Path("plain.txt"), "not a serial device"},
    };
    for (const auto& [port, cause] : ports) {
        const auto result = Ctl({"--serial", port}, {"version"}, "30");
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.err, "solvei-ctl: cannot connect to " + port + " (" + cause + ")\n");
    }
    ::close(device);
    ::close(holder);
}

// Names travel as Latin-1: a rename converts, and the lists show UTF-8 again.
TEST_F(CtlEndToEndTest, PresetNamesAreLatin1OnTheWireAndUtf8Here) {
    const auto connection = StartSim({"--presets", "9"});
    const auto renamed = Ctl(connection, {"preset-rename", "2",
                                          "\xC3\x9C"
                                          "BER NACHT"});
    EXPECT_EQ(renamed.exitCode, 0) << renamed.err;
    EXPECT_EQ(renamed.out, "renamed U3: to \"\xC3\x9C"
                           "BER NACHT\"\n");
    EXPECT_NE(Ctl(connection, {"presets"})
                  .out.find("\nU3: \xC3\x9C"
                            "BER NACHT\n"),
              std::string::npos);
    EXPECT_NE(Ctl(connection, {"--json", "presets"})
                  .out.find("{\"number\":2,\"label\":\"U3:\",\"name\":\"\xC3\x9C"
                            "BER NACHT\"}"),
              std::string::npos);
    // Fifteen characters fit, as fifteen bytes: the Ü is one of them.
    const auto full = Ctl(connection, {"preset-rename", "3",
                                       "\xC3\x9C"
                                       "12345678901234X"});
    EXPECT_EQ(full.exitCode, 0);
    EXPECT_EQ(full.err, "solvei-ctl: the name is cut to its first 15 characters\n");
    EXPECT_EQ(full.out, "renamed U4: to \"\xC3\x9C"
                        "12345678901234\"\n");
    const auto euro = Ctl(connection, {"preset-rename", "2", "5 \xE2\x82\xAC"});
    EXPECT_EQ(euro.exitCode, 1);
    EXPECT_EQ(euro.err, "solvei-ctl: the name has a character outside Latin-1 (U+0001..U+00FF)\n");
}

TEST_F(CtlEndToEndTest, HelpSaysWhatCompareAndRevertDo) {
    const auto help = Ctl({}, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("compare              switch to side B"), std::string::npos);
    EXPECT_NE(help.out.find("revert               back to side A"), std::string::npos);
    EXPECT_NE(help.out.find("3 refused by the processor"), std::string::npos);
}

} // namespace
