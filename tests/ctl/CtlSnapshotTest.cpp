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

#include "ctl/CCtlOptions.h"
#include "ctl/CSnapshotCommands.h"
#include "ctl/TestProcess.h"
#include "link/CConnectionSettings.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// solvei-ctl's snapshot, diff and restore against real simulators over UDP and a
// pseudo-terminal, with the processor changed behind the snapshot's back by solvei-ctl itself.
class CtlSnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info->name();
        std::replace(name.begin(), name.end(), '/', '-');
        m_dir = fs::temp_directory_path() /
                ("solvei-snapshot-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "settings");
    }

    void TearDown() override {
        for (auto& sim : m_sims) {
            EXPECT_EQ(sim->Stop(SIGTERM, 10s), 0);
        }
        m_sims.clear();
        fs::remove_all(m_dir);
    }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // Starts a simulator; returns the connection arguments for solvei-ctl.
    std::vector<std::string> StartSim(std::vector<std::string> args, bool serial = false) {
        std::vector<std::string> argv = {SOLVEI_SIM_PATH};
        const std::string link = Path("serial" + std::to_string(m_sims.size()));
        if (serial) {
            argv.insert(argv.end(), {"--no-udp", "--pty", link});
        } else {
            argv.insert(argv.end(), {"--udp", "127.0.0.1:0"});
        }
        argv.insert(argv.end(), args.begin(), args.end());
        m_sims.push_back(std::make_unique<TestProcess>(argv, std::map<std::string, std::string>{}));
        const auto line = m_sims.back()->ReadLine(10s);
        if (!line) {
            ADD_FAILURE() << "the simulator printed no address";
            return {};
        }
        if (serial) {
            return {"--serial", link};
        }
        std::smatch match;
        EXPECT_TRUE(std::regex_match(*line, match, std::regex("udp 127\\.0\\.0\\.1:(\\d+)")))
            << *line;
        return {"--host", "127.0.0.1", "--port", match[1].str()};
    }

    // solvei-ctl with its standard input from /dev/null: no terminal to ask.
    // errTerminal: its standard error is a pseudo-terminal, as for a person at a terminal.
    TestProcess::Result Ctl(const std::vector<std::string>& connection,
                            const std::vector<std::string>& args, bool errTerminal = false) {
        std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" </dev/null",
                                         SOLVEI_CTL_PATH};
        argv.insert(argv.end(), connection.begin(), connection.end());
        argv.insert(argv.end(), {"--timeout", "300"});
        argv.insert(argv.end(), args.begin(), args.end());
        return TestProcess::Run(argv, {{"SOLVEI_SETTINGS_DIR", Path("settings")}}, 120s,
                                errTerminal);
    }

    // Runs a command that must succeed.
    void Must(const std::vector<std::string>& connection, const std::vector<std::string>& args) {
        const auto r = Ctl(connection, args);
        EXPECT_EQ(r.exitCode, 0) << args.front() << "\n" << r.err;
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path m_dir;
    std::vector<std::unique_ptr<TestProcess>> m_sims;
};

// The changes made behind the snapshot's back, and how diff names them.
const std::vector<std::vector<std::string>> kChanges = {
    {"write", "0", "0", "0", "34"},
    {"write", "0", "2", "0", "0"},
    {"preset-rename", "2", "NEWS 2"},
};
const char* kChangeLines = "AGC > AGC Drive: 5.0 dB -> 7.0 dB\n"
                           "Limiter > Limiter: On -> Off\n"
                           "U3: renamed \"USER 3\" -> \"NEWS 2\"\n";

struct RoundTrip {
    const char* name;
    std::vector<std::string> simArgs;
    bool serial;
};

void PrintTo(const RoundTrip& r, std::ostream* os) {
    *os << r.name;
}

class CtlSnapshotRoundTrip : public CtlSnapshotTest,
                             public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(CtlSnapshotRoundTrip, DiffNamesExactlyTheChangesAndRestoreUndoesThem) {
    const auto sim = StartSim(GetParam().simArgs, GetParam().serial);
    const std::string file = Path("before.json");
    const auto taken = Ctl(sim, {"snapshot", file});
    ASSERT_EQ(taken.exitCode, 0) << taken.err;
    EXPECT_TRUE(std::regex_match(taken.out, std::regex("snapshot of .+ \\(version 123\\) in .+: "
                                                       "23 parameters and 3 live readings, 16 "
                                                       "presets\n")))
        << taken.out;
    const auto unchanged = Ctl(sim, {"diff", file, "live"});
    EXPECT_EQ(unchanged.exitCode, 0) << unchanged.err;
    EXPECT_EQ(unchanged.out, "same\n");

    for (const auto& change : kChanges) {
        Must(sim, change);
    }
    const auto changed = Ctl(sim, {"diff", file, "live"});
    EXPECT_EQ(changed.exitCode, 1) << changed.err;
    EXPECT_EQ(changed.out, kChangeLines);

    const auto restored = Ctl(sim, {"restore", file, "--yes"});
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_EQ(restored.out, "write AGC > AGC Drive (0 0 0): 7.0 dB -> 5.0 dB\n"
                            "write Limiter > Limiter (0 2 0): Off -> On\n"
                            "send U3: \"NEWS 2\" -> \"USER 3\"\n"
                            "restored 2 parameters and 1 preset on " +
                                sim[1] + (GetParam().serial ? "" : ":" + sim[3]) +
                                "; they read back as in " + file + "\n");
    const auto after = Ctl(sim, {"diff", "live", file});
    EXPECT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(after.out, "same\n");
}

INSTANTIATE_TEST_SUITE_P(Links, CtlSnapshotRoundTrip,
                         ::testing::Values(RoundTrip{"Udp", {}, false},
                                           RoundTrip{
                                               "UdpNakAndDrop",
                                               {"--nak", "0.1", "--drop", "0.05", "--seed", "5"},
                                               false},
                                           RoundTrip{"PseudoTerminal", {}, true}),
                         [](const auto& info) { return info.param.name; });

TEST_F(CtlSnapshotTest, DiffOfTwoFilesNeedsNoProcessorAndRestoreParts) {
    const auto sim = StartSim({});
    const std::string before = Path("before.json");
    const std::string after = Path("after.json");
    Must(sim, {"snapshot", before});
    for (const auto& change : kChanges) {
        Must(sim, change);
    }
    Must(sim, {"snapshot", after});
    // The processor gone, the files still compare.
    EXPECT_EQ(m_sims.back()->Stop(SIGTERM, 10s), 0);
    m_sims.clear();
    const auto files = Ctl({}, {"diff", before, after});
    EXPECT_EQ(files.exitCode, 1) << files.err;
    EXPECT_EQ(files.out, kChangeLines);
    const auto same = Ctl({}, {"diff", after, after});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_EQ(same.out, "same\n");

    // Parameters only, then presets only: each leaves the other kind as it was.
    const auto sim2 = StartSim({});
    for (const auto& change : kChanges) {
        Must(sim2, change);
    }
    const auto dry = Ctl(sim2, {"restore", before, "--dry-run", "--presets-only"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_EQ(dry.out, "would send U3: \"NEWS 2\" -> \"USER 3\"\ndry run: nothing was written\n");
    Must(sim2, {"restore", before, "--parameters-only", "--yes"});
    const auto presetLeft = Ctl(sim2, {"diff", before, "live"});
    EXPECT_EQ(presetLeft.out, "U3: renamed \"USER 3\" -> \"NEWS 2\"\n");
    Must(sim2, {"restore", before, "--presets-only", "--yes"});
    EXPECT_EQ(Ctl(sim2, {"diff", before, "live"}).out, "same\n");
}

TEST_F(CtlSnapshotTest, APartlyRefusedRestoreNamesWhatWasNotKeptAndExits2) {
    const auto sim = StartSim({});
    const std::string file = Path("wide.json");
    Must(sim, {"write", "0", "0", "0", "34"}); // 7.0 dB
    Must(sim, {"write", "0", "2", "3", "80"});
    Must(sim, {"snapshot", file});

    // Another firmware: AGC Drive only reaches 0.0 dB there, so 7.0 dB cannot be kept.
    std::string narrow = ReadFile(SOLVEI_BUILTIN_DESCRIPTION);
    const std::string drive = "\"span\": 40, \"minimum\": -100";
    ASSERT_NE(narrow.find(drive), std::string::npos);
    narrow.replace(narrow.find(drive), drive.size(), "\"span\": 20, \"minimum\": -100");
    std::ofstream(Path("narrow.json")) << narrow;
    const auto other = StartSim({"--description", Path("narrow.json")});

    const auto asked = Ctl(other, {"restore", file});
    EXPECT_EQ(asked.exitCode, 1);
    EXPECT_NE(asked.err.find("confirm with --yes"), std::string::npos) << asked.err;

    const auto restored = Ctl(other, {"restore", file, "--yes"});
    EXPECT_EQ(restored.exitCode, 2) << restored.err;
    EXPECT_NE(restored.err.find("was taken with another control description"), std::string::npos)
        << restored.err;
    EXPECT_NE(restored.err.find("solvei-ctl: not kept: AGC > AGC Drive (0 0 0): 7.0 dB was "
                                "written, the processor has 0.0 dB\n"),
              std::string::npos)
        << restored.err;
    // Only that one: the other parameter was kept.
    EXPECT_EQ(std::count(restored.err.begin(), restored.err.end(), '\n'), 2) << restored.err;
    const auto diff = Ctl(other, {"diff", file, "live"});
    EXPECT_EQ(diff.exitCode, 1);
    EXPECT_EQ(diff.out, "control description: differs; parameters are matched by address\n"
                        "AGC > AGC Drive: 7.0 dB -> 0.0 dB\n");
}

TEST_F(CtlSnapshotTest, BadFilesAndOtherProcessorTypesAreRefusedAndNothingIsWritten) {
    const auto sim = StartSim({});
    const std::string good = Path("good.json");
    Must(sim, {"snapshot", good});
    const std::string text = ReadFile(good);
    std::ofstream(Path("truncated.json")) << text.substr(0, text.size() / 2);
    std::string edited = text;
    edited.replace(edited.find("\"value\":30"), 10, "\"value\":31");
    std::ofstream(Path("edited.json")) << edited;
    std::ofstream(Path("foreign.json")) << R"({"type": 3, "records": []})";
    Must(sim, {"write", "0", "0", "0", "34"});
    Must(sim, {"snapshot", Path("changed.json")});

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"truncated.json", ": line \\d+, column \\d+: .+"},
        {"edited.json", ": the content does not match its sha256: the file was changed after it "
                        "was taken"},
        {"foreign.json", ": not a Solvei snapshot"},
        {"missing.json", ": .*No such file or directory"},
    };
    for (const auto& [name, error] : cases) {
        for (const std::string command : {"restore", "diff"}) {
            const auto r = command == "restore" ? Ctl(sim, {"restore", Path(name), "--yes"})
                                                : Ctl(sim, {"diff", Path(name), "live"});
            EXPECT_EQ(r.exitCode, 4) << name << " " << command << ": " << r.err;
            EXPECT_TRUE(std::regex_match(
                r.err, std::regex("solvei-ctl: (cannot read )?" +
                                  std::regex_replace(Path(name), std::regex("\\."), "\\.") + error +
                                  "\n")))
                << name << " " << command << ": " << r.err;
        }
    }
    // Nothing was written: the processor is still as changed.
    EXPECT_EQ(Ctl(sim, {"diff", Path("changed.json"), "live"}).out, "same\n");

    const auto foreignType = StartSim({"--type", "4"});
    const auto refused = Ctl(foreignType, {"restore", good, "--yes"});
    EXPECT_EQ(refused.exitCode, 4) << refused.err;
    EXPECT_NE(refused.err.find("is a snapshot of a processor of type 3; "), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("is of type 4: nothing was written"), std::string::npos);
}

// A person at a terminal sees the work go on; a script's stderr stays empty.
TEST_F(CtlSnapshotTest, ProgressShowsOnATerminalOnly) {
    const auto sim = StartSim({});
    const auto terminal = Ctl(sim, {"snapshot", Path("t.json")}, true);
    EXPECT_EQ(terminal.exitCode, 0) << terminal.err;
    EXPECT_NE(terminal.err.find("\rsnapshot: presets 16 of 16"), std::string::npos) << terminal.err;
    EXPECT_NE(terminal.err.find("\rsnapshot: parameters 26 of 26"), std::string::npos)
        << terminal.err;
    const auto script = Ctl(sim, {"snapshot", Path("s.json")});
    EXPECT_EQ(script.exitCode, 0) << script.err;
    EXPECT_EQ(script.err, "");
}

// The terminal's question, answered no and then yes, through the command itself.
TEST_F(CtlSnapshotTest, RestoreAsksAtATerminalAndWritesOnlyOnYes) {
    const auto sim = StartSim({});
    const std::string file = Path("before.json");
    Must(sim, {"snapshot", file});
    Must(sim, {"write", "0", "0", "0", "34"});

    const auto run = [&](const std::string& answer, std::string& out, std::string& err) {
        std::string error;
        auto options = CCtlOptions::Parse({"restore", file}, error);
        EXPECT_TRUE(options.has_value()) << error;
        CConnectionSettings settings;
        settings.SetLinkDefaults();
        settings.serial = 0;
        settings.portName = CConnectionSettings::kEthernetPortName;
        settings.lockCode = 7; // the simulator's
        settings.host = sim[1];
        settings.port = static_cast<std::uint32_t>(std::stoi(sim[3]));
        settings.replyTimeoutMs = 300;
        std::ostringstream o;
        std::ostringstream e;
        std::istringstream in(answer);
        const int code = CSnapshotCommands(*options, settings, o, e, false, in, true).Run();
        out = o.str();
        err = e.str();
        return code;
    };
    std::string out, err;
    EXPECT_EQ(run("n\n", out, err), 1);
    EXPECT_NE(
        err.find("Restore 1 parameter and 0 presets on " + sim[1] + ":" + sim[3] + "? [y/N] "),
        std::string::npos)
        << err;
    EXPECT_NE(err.find("not confirmed; nothing was written"), std::string::npos) << err;
    EXPECT_EQ(Ctl(sim, {"diff", file, "live"}).out, "AGC > AGC Drive: 5.0 dB -> 7.0 dB\n");

    EXPECT_EQ(run("", out, err), 1); // end of input is no yes
    EXPECT_EQ(run("y\n", out, err), 0) << err;
    EXPECT_EQ(Ctl(sim, {"diff", file, "live"}).out, "same\n");
}

} // namespace
