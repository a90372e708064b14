#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "exporter/ExporterHarness.h"
#include "exporter/UdpRecorder.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

TestProcess::Result Git(const std::string& dir, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {SOLVEI_GIT_PATH, "--git-dir", dir + "/.git", "--work-tree",
                                     dir};
    argv.insert(argv.end(), args.begin(), args.end());
    return TestProcess::Run(
        argv, {{"GIT_CONFIG_NOSYSTEM", "1"}, {"GIT_CONFIG_GLOBAL", "/dev/null"}}, 30s);
}

// The repository's commit subjects, newest first; none while it has no commit.
std::vector<std::string> Subjects(const std::string& dir) {
    const auto result = Git(dir, {"log", "--format=%s"});
    return result.exitCode == 0 ? Lines(result.out) : std::vector<std::string>{};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Waits until the processor's history has taken count more snapshots.
bool WaitForSnapshots(ExporterHarness& h, const std::string& processor, int count) {
    std::set<double> seen;
    const auto first =
        h.Metric("solvei_history_last_snapshot_timestamp_seconds", {{"processor", processor}});
    if (first) {
        seen.insert(*first);
    }
    return ExporterHarness::WaitFor(
        [&] {
            const auto at = h.Metric("solvei_history_last_snapshot_timestamp_seconds",
                                     {{"processor", processor}});
            if (at) {
                seen.insert(*at);
            }
            return static_cast<int>(seen.size()) >= count + (first ? 1 : 0);
        },
        60s);
}

std::string Address(int port) {
    return "127.0.0.1:" + std::to_string(port);
}

} // namespace

// The first run makes the repository and one commit per processor, each in a folder of its
// own; snapshots that find nothing changed commit nothing.
TEST(ExporterHistory, FirstRunCommitsEachProcessorOnceAndNothingWithoutChange) {
    ExporterHarness h("history-first");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0", "--fleet", "3"}, 3);
    ASSERT_EQ(sim.ports.size(), 3u);
    const std::string dir = h.Path("history");
    ASSERT_TRUE(h.StartExporter(
        {"--interval", "0.2", "--timeout", "200", "--history", dir, "--history-interval", "1",
         "--processor", "fm1=" + Address(sim.ports[0]), "--processor",
         "fm2=" + Address(sim.ports[1]), "--processor", ".hidden=" + Address(sim.ports[2])}));
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() >= 3; }, 60s));
    const auto subjects = Subjects(dir);
    ASSERT_EQ(subjects.size(), 3u);
    std::set<std::string> names;
    for (const auto& subject : subjects) {
        names.insert(subject.substr(0, subject.find(':')));
        EXPECT_NE(subject.find(": first snapshot, version 123, "), std::string::npos) << subject;
    }
    EXPECT_EQ(names, (std::set<std::string>{"fm1", "fm2", ".hidden"}));
    // A name that starts with a dot gets a folder that is neither hidden nor git's own.
    for (const std::string folder : {"fm1", "fm2", "_.hidden"}) {
        const std::string text = ReadFile(dir + "/" + folder + "/parameters.txt");
        EXPECT_EQ(text.rfind("AGC > AGC Drive = ", 0), 0u) << folder;
        EXPECT_NE(text.find("\npreset U1 = \""), std::string::npos) << folder;
        EXPECT_NE(text.find("\" sha256:"), std::string::npos) << folder;
        EXPECT_NE(ReadFile(dir + "/" + folder + "/snapshot.json").find("\"parameters\""),
                  std::string::npos)
            << folder;
    }
    // The commits carry the repository's own identity, whoever runs the exporter.
    EXPECT_EQ(Git(dir, {"log", "--format=%an <%ae>"}).out,
              "solvei-exporter <solvei-exporter@localhost>\n"
              "solvei-exporter <solvei-exporter@localhost>\n"
              "solvei-exporter <solvei-exporter@localhost>\n");
    EXPECT_EQ(Git(dir, {"config", "user.name"}).out, "solvei-exporter\n");
    EXPECT_EQ(Git(dir, {"status", "--porcelain"}).out, ""); // the lock file is not history

    for (const std::string name : {"fm1", "fm2", ".hidden"}) {
        ASSERT_TRUE(WaitForSnapshots(h, name, 2)) << name;
    }
    EXPECT_EQ(Subjects(dir).size(), 3u);
    EXPECT_EQ(h.Metric("solvei_history_changes_total", {{"processor", "fm1"}}), 0);
    EXPECT_EQ(h.Metric("solvei_history_failures_total", {{"processor", "fm1"}, {"stage", "store"}}),
              0);

    // A change on one processor of the fleet is that processor's commit.
    ASSERT_EQ(ExporterHarness::Ctl(sim.ports[1], {"write", "0", "0", "0", "33"}, h.Path("settings"))
                  .exitCode,
              0);
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() >= 4; }, 60s));
    const auto after = Subjects(dir);
    EXPECT_EQ(after.size(), 4u);
    EXPECT_EQ(after.front().rfind("fm2: AGC > AGC Drive: ", 0), 0u) << after.front();
    EXPECT_EQ(Git(dir, {"show", "--format=", "--name-only", "HEAD"}).out,
              "fm2/parameters.txt\nfm2/snapshot.json\n");
}

// Changes made with solvei-ctl while the exporter watches: each shows in the LED state (the
// change flag, a save) and becomes exactly one commit naming it. The interval is long, so only
// the LED state brings these snapshots about.
TEST(ExporterHistory, EachChangeBecomesOneCommitNamingIt) {
    ExporterHarness h("history-change");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    const int port = sim.ports[0];
    const std::string dir = h.Path("history");
    ASSERT_TRUE(
        h.StartExporter({"--interval", "0.2", "--timeout", "200", "--history", dir,
                         "--history-interval", "1h", "--processor", "fm=" + Address(port)}));
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() == 1; }, 60s));
    const std::string settings = h.Path("settings");

    ASSERT_EQ(ExporterHarness::Ctl(port, {"write", "0", "0", "0", "40"}, settings).exitCode, 0);
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() >= 2; }, 60s));
    EXPECT_EQ(Subjects(dir).front(), "fm: AGC > AGC Drive: 5.0 dB -> 10.0 dB");
    // The line diff of the plain-text rendering says the same.
    const std::string diff = Git(dir, {"show", "--format=", "HEAD", "--", "fm/parameters.txt"}).out;
    EXPECT_NE(diff.find("\n-AGC > AGC Drive = 5.0 dB\n+AGC > AGC Drive = 10.0 dB\n"),
              std::string::npos)
        << diff;

    // A rename shows nowhere in the LED state; the save after it does.
    ASSERT_EQ(ExporterHarness::Ctl(port, {"preset-rename", "2", "NEWS 2"}, settings).exitCode, 0);
    ASSERT_EQ(ExporterHarness::Ctl(port, {"preset-save", "0"}, settings).exitCode, 0);
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() >= 3; }, 60s));
    const std::string renamed = Subjects(dir).front();
    EXPECT_NE(renamed.find("U3: renamed \"USER 3\" -> \"NEWS 2\""), std::string::npos) << renamed;
    EXPECT_NE(renamed.find("U1 \"USER 1\": data differ"), std::string::npos) << renamed;
    const std::string body = Git(dir, {"log", "-1", "--format=%b"}).out;
    EXPECT_NE(body.find("U3: renamed \"USER 3\" -> \"NEWS 2\"\n"), std::string::npos) << body;

    // The next change is the next commit: nothing came in between.
    ASSERT_EQ(ExporterHarness::Ctl(port, {"write", "0", "0", "0", "30"}, settings).exitCode, 0);
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() >= 4; }, 60s));
    const auto subjects = Subjects(dir);
    ASSERT_EQ(subjects.size(), 4u);
    EXPECT_EQ(subjects[0].rfind("fm: AGC > AGC Drive: 10.0 dB -> ", 0), 0u) << subjects[0];
    // The commit is in the repository a moment before the exporter hears it is done.
    EXPECT_TRUE(h.WaitForMetric("solvei_history_changes_total", {{"processor", "fm"}}, 3, 30s));
    const auto page = h.Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("<li>AGC &gt; AGC Drive: 10.0 dB -&gt; "), std::string::npos);

#ifdef SOLVEI_PROMTOOL_PATH
    // The history's families pass promtool's lint without a word.
    const auto scrape = h.Get("/metrics");
    ASSERT_TRUE(scrape);
    std::string history;
    for (const auto& line : Lines(*scrape)) {
        if (line.find("solvei_history_") != std::string::npos) {
            history += line + "\n";
        }
    }
    EXPECT_NE(history.find("solvei_history_last_snapshot_timestamp_seconds{processor=\"fm\"} "),
              std::string::npos);
    std::ofstream(h.Path("history.txt")) << history;
    const auto check = TestProcess::Run(
        {"/bin/sh", "-c",
         std::string(SOLVEI_PROMTOOL_PATH) + " check metrics < " + h.Path("history.txt")},
        {});
    EXPECT_EQ(check.exitCode, 0) << check.err << check.out;
    EXPECT_EQ(check.out + check.err, "");
#endif
}

// Each processor's lock code from the config file ("lock") or the command line (",lock="),
// the factory code otherwise; a processor that refuses it is reported, not committed.
TEST(ExporterHistory, LockCodePerProcessor) {
    ExporterHarness h("history-lock");
    auto fromFile = h.StartSim({"--udp", "127.0.0.1:0", "--lock", "1234"});
    auto fromLine = h.StartSim({"--udp", "127.0.0.1:0", "--lock", "4321"});
    auto other = h.StartSim({"--udp", "127.0.0.1:0", "--lock", "99"});
    ASSERT_EQ(fromFile.ports.size(), 1u);
    ASSERT_EQ(fromLine.ports.size(), 1u);
    ASSERT_EQ(other.ports.size(), 1u);
    const std::string config = h.Path("station.json");
    std::ofstream(config) << R"({"processors": [{"name": "cfg", "host": "127.0.0.1", "port": )"
                          << fromFile.ports[0] << R"(, "lock": 1234}]})";
    const std::string dir = h.Path("history");
    ASSERT_TRUE(h.StartExporter({"--interval", "0.2", "--timeout", "100", "--history", dir,
                                 "--history-interval", "1", "--config", config, "--processor",
                                 "cli=" + Address(fromLine.ports[0]) + ",lock=4321", "--processor",
                                 "factory=" + Address(other.ports[0])}));
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() >= 2; }, 60s));
    ASSERT_TRUE(h.WaitForMetric("solvei_history_failures_total",
                                {{"processor", "factory"}, {"stage", "snapshot"}}, 1, 60s));
    std::set<std::string> names;
    for (const auto& subject : Subjects(dir)) {
        names.insert(subject.substr(0, subject.find(':')));
    }
    EXPECT_EQ(names, (std::set<std::string>{"cfg", "cli"}));
    const auto page = h.Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("does not answer Get Config with lock code 7"), std::string::npos);
}

// A history folder that cannot be written is reported on the page and in the metrics, the
// exporter goes on, and the history is written once the folder can be.
TEST(ExporterHistory, UnusableFolderIsReportedAndTriedAgain) {
    ExporterHarness h("history-unusable");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    // A file where the folder should be: no account, root included, can make it a folder.
    const std::string dir = h.Path("history");
    std::ofstream(dir) << "in the way\n";
    ASSERT_TRUE(
        h.StartExporter({"--interval", "0.2", "--timeout", "200", "--history", dir,
                         "--history-interval", "1", "--processor", "fm=" + Address(sim.ports[0])}));
    ASSERT_TRUE(h.WaitForMetric("solvei_history_failures_total",
                                {{"processor", "fm"}, {"stage", "store"}}, 1, 60s));
    const auto page = h.Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("cannot keep the snapshot: cannot create history folder"),
              std::string::npos);
    EXPECT_EQ(h.Metric("solvei_up", {{"processor", "fm"}}), 1);

    std::filesystem::remove(dir);
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() == 1; }, 60s));
    ASSERT_TRUE(ExporterHarness::WaitFor(
        [&] {
            const auto text = h.Get("/");
            return text && text->find("cannot keep the snapshot") == std::string::npos;
        },
        30s));
}

// Two exporters must not write one history: the second is refused at start.
TEST(ExporterHistory, SecondExporterOnTheSameFolderIsRefused) {
    ExporterHarness h("history-twice");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    const std::string dir = h.Path("history");
    ASSERT_TRUE(h.StartExporter({"--history", dir, "--processor", "fm=" + Address(sim.ports[0])}));
    const auto second =
        TestProcess::Run({SOLVEI_EXPORTER_PATH, "--listen", "127.0.0.1:0", "--history", dir,
                          "--processor", "fm=" + Address(sim.ports[0])},
                         {}, 30s);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("history folder " + dir +
                              " is in use by another solvei-exporter (process " +
                              std::to_string(h.Exporter().Pid()) + ")"),
              std::string::npos)
        << second.err;
}

// Everything the exporter sends a processor while it keeps the history, seen on the wire: only
// reads (no write, preset send, load, save, rename, compare, bypass or meter flip), and the LED
// polls go on between the snapshot's reads.
TEST(ExporterHistory, ReadsOnlyAndKeepsPolling) {
    ExporterHarness h("history-reads");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    UdpRecorder relay(sim.ports[0]);
    ASSERT_NE(relay.Port(), 0);
    const std::string dir = h.Path("history");
    ASSERT_TRUE(
        h.StartExporter({"--interval", "0.2", "--timeout", "200", "--history", dir,
                         "--history-interval", "1", "--processor", "fm=" + Address(relay.Port())}));
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() == 1; }, 60s));
    ASSERT_TRUE(WaitForSnapshots(h, "fm", 3));

    const auto sent = relay.Sent();
    std::map<int, int> byCommand;
    for (const auto& d : sent) {
        ASSERT_FALSE(d.bytes.empty());
        ++byCommand[d.bytes[0]];
        // 0x01 to 0x0B change the processor (0x06 is the acknowledgement of a transfer).
        EXPECT_FALSE(d.bytes[0] >= 0x01 && d.bytes[0] <= 0x0B && d.bytes[0] != 0x06)
            << "sent command " << int(d.bytes[0]);
    }
    EXPECT_GE(byCommand[0x81], 3 * 20); // parameters read by three snapshots and more
    EXPECT_GE(byCommand[0x83], 1);      // the description, once
    EXPECT_GE(byCommand[0x85], 16);     // every preset

    // The longest time between two LED polls, the snapshots included.
    std::optional<std::chrono::steady_clock::time_point> last;
    std::chrono::steady_clock::duration longest{};
    for (const auto& d : sent) {
        if (d.bytes[0] == 0x82) {
            if (last) {
                longest = std::max(longest, d.at - *last);
            }
            last = d.at;
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(longest).count();
    RecordProperty("longest_led_poll_gap_ms", std::to_string(ms));
    std::cout << "longest gap between LED polls (interval 200 ms): " << ms << " ms over "
              << byCommand[0x82] << " polls\n";
    // Generous: a snapshot that held the polls back for its whole length would take longer.
    EXPECT_LT(ms, 5000);
}

// Reading a preset ends compare on the processor, which changes what is on air: neither the
// preset names nor the history's presets are read while it compares, only once it stops.
TEST(ExporterHistory, NothingEndsCompareOnTheProcessor) {
    ExporterHarness h("history-compare");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    const int port = sim.ports[0];
    const std::string settings = h.Path("settings");
    ASSERT_EQ(ExporterHarness::Ctl(port, {"write", "0", "0", "0", "40"}, settings).exitCode, 0);
    ASSERT_EQ(ExporterHarness::Ctl(port, {"compare"}, settings).exitCode, 0);
    const std::string dir = h.Path("history");
    ASSERT_TRUE(h.StartExporter({"--interval", "0.2", "--timeout", "200", "--history", dir,
                                 "--history-interval", "1", "--processor", "fm=" + Address(port)}));
    ASSERT_TRUE(h.WaitForMetric("solvei_compare_side", {{"processor", "fm"}}, 1, 30s));
    // Long enough for the names (read right after connecting) and several history checks.
    ASSERT_TRUE(ExporterHarness::WaitFor(
        [&] {
            const auto n = h.Metric("solvei_link_requests_total", {{"processor", "fm"}});
            return n && *n >= 40;
        },
        60s));
    const auto leds = ExporterHarness::Ctl(port, {"leds"}, settings);
    EXPECT_NE(leds.out.find("comparing: side B"), std::string::npos) << leds.out;
    EXPECT_EQ(h.Metric("solvei_compare_side", {{"processor", "fm"}}), 1);
    EXPECT_TRUE(Subjects(dir).empty());

    ASSERT_EQ(ExporterHarness::Ctl(port, {"revert"}, settings).exitCode, 0);
    EXPECT_TRUE(ExporterHarness::WaitFor([&] { return Subjects(dir).size() == 1; }, 60s));
    EXPECT_TRUE(h.WaitForMetric(
        "solvei_preset_info", {{"processor", "fm"}, {"number", "0"}, {"name", "USER 1"}}, 1, 30s));
}
