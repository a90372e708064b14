#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "exporter/CProcessMetrics.h"
#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double Entries(const std::filesystem::path& dir) {
    double count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++count;
    }
    return count;
}

// The number after "key" in a /proc text such as status or limits.
double ProcNumber(const std::filesystem::path& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stod(line.substr(line.find_first_of("0123456789", key.size())));
        }
    }
    return -1;
}

} // namespace

TEST(ExporterProcessMetrics, StatFieldsAreCountedFromTheLastParenthesis) {
    // The command name may hold spaces and parentheses of its own.
    const std::string tail = " S 1 2 3 4 5 6 7 8 9 10 150 50 0 0 20 0 7 0 4242 123456789 300";
    const auto stat = CProcessMetrics::ParseStat("77 (solvei (x) y)" + tail + " 1 2 3\n");
    ASSERT_TRUE(stat);
    EXPECT_EQ(stat->cpuTicks, 200);
    EXPECT_EQ(stat->threads, 7);
    EXPECT_EQ(stat->startTicks, 4242);
    EXPECT_EQ(stat->virtualBytes, 123456789);
    EXPECT_EQ(stat->residentPages, 300);

    const std::vector<std::string> bad = {"", "77 solvei" + tail, "77 (solvei) S 1 2 3",
                                          "77 (x)" + tail.substr(0, tail.size() - 4) + " -3"};
    for (const auto& line : bad) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(CProcessMetrics::ParseStat(line));
    }
    EXPECT_EQ(CProcessMetrics::ParseBootTime("cpu 1 2\nbtime 1765400000\nprocesses 9\n"),
              1765400000);
    EXPECT_FALSE(CProcessMetrics::ParseBootTime("cpu 1 2\nxbtime 5\nbtime x\n"));
}

// The exporter's own figures, scraped from the running program and held against what the
// kernel says of that same process.
TEST(ExporterProcessMetrics, ScrapeShowsTheExportersOwnProcess) {
    ExporterHarness h("process");
    const double startedBefore = Now();
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    ASSERT_TRUE(h.StartExporter({"--interval", "0.2", "--timeout", "100", "--processor",
                                 "fm=127.0.0.1:" + std::to_string(sim.ports[0])}));
    ASSERT_TRUE(h.WaitForMetric("solvei_up", {{"processor", "fm"}}, 1, 10s));
    const std::filesystem::path proc = "/proc/" + std::to_string(h.Exporter().Pid());

    const double threadsBefore = Entries(proc / "task");
    const double fdsBefore = Entries(proc / "fd");
    const double rss = ProcNumber(proc / "status", "VmRSS:") * 1024;
    const auto text = h.Get("/metrics");
    ASSERT_TRUE(text);
    const auto metric = [&](const char* name) {
        const auto value = ExporterHarness::Sample(*text, name);
        EXPECT_TRUE(value) << name << " is missing";
        return value.value_or(-1);
    };

    EXPECT_GE(metric("process_threads"), std::min(threadsBefore, Entries(proc / "task")));
    EXPECT_LE(metric("process_threads"), std::max(threadsBefore, Entries(proc / "task")));
    // The scrape's own connection and the listing itself come and go around the count.
    EXPECT_NEAR(metric("process_open_fds"), fdsBefore, 3);
    EXPECT_EQ(metric("process_max_fds"), ProcNumber(proc / "limits", "Max open files"));
    EXPECT_GT(metric("process_resident_memory_bytes"), rss / 2);
    EXPECT_LT(metric("process_resident_memory_bytes"), rss * 2);
    EXPECT_GE(metric("process_virtual_memory_bytes"), metric("process_resident_memory_bytes"));
    // The boot time has whole seconds; the start lies within this test.
    EXPECT_GE(metric("process_start_time_seconds"), startedBefore - 1.5);
    EXPECT_LE(metric("process_start_time_seconds"), Now() + 1);
    const double cpu = metric("process_cpu_seconds_total");
    EXPECT_GE(cpu, 0);
    EXPECT_LE(cpu, (Now() - startedBefore + 1) * std::thread::hardware_concurrency());
    EXPECT_NE(text->find("# TYPE process_cpu_seconds_total counter"), std::string::npos);
    EXPECT_NE(text->find("# TYPE process_open_fds gauge"), std::string::npos);
}
