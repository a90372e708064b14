// solvei-exporter watching a simulated fleet (one solvei-sim --fleet N; N = 300, or
// SOLVEI_BENCH_FLEET up to 1000) at one poll a second: its CPU share, resident memory, threads
// and open descriptors over a minute, and the time of one scrape.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>
#include <benchmark/benchmark.h>

#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

namespace {

int FleetSize() {
    const char* text = std::getenv("SOLVEI_BENCH_FLEET");
    const int n = text ? std::atoi(text) : 300;
    return std::clamp(n, 1, 1000);
}

const int kProcessors = FleetSize();

struct ProcessTimes {
    double cpuSeconds = 0;
    double rssMb = 0;
    int threads = 0;
    int fds = 0;
};

ProcessTimes Measure(pid_t pid) {
    ProcessTimes t;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0;
    long stime = 0;
    for (int i = 1; i <= 13 && rest >> field; ++i) {
        if (i == 12) {
            utime = std::stol(field);
        } else if (i == 13) {
            stime = std::stol(field);
        }
    }
    t.cpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            t.rssMb = std::stod(line.substr(6)) / 1024.0;
        } else if (line.rfind("Threads:", 0) == 0) {
            t.threads = std::stoi(line.substr(8));
        }
    }
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        ++t.fds;
    }
    return t;
}

pid_t FindExporterPid() {
    // The newest process whose command is our exporter binary.
    pid_t found = -1;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream cmd(entry.path() / "cmdline");
        std::string arg0;
        std::getline(cmd, arg0, '\0');
        if (arg0 == SOLVEI_EXPORTER_PATH) {
            found = std::max(found, static_cast<pid_t>(std::stoi(name)));
        }
    }
    return found;
}

// One fleet and one exporter for every case, started on first use.
class Fleet {
public:
    static Fleet& Get() {
        static Fleet fleet;
        return fleet;
    }

    ExporterHarness harness{"bench"};
    ExporterHarness::Sim sim;
    pid_t exporterPid = -1;
    bool ready = false;

private:
    Fleet() {
        sim = harness.StartSim({"--udp", "127.0.0.1:0", "--fleet", std::to_string(kProcessors)},
                               kProcessors);
        if (static_cast<int>(sim.ports.size()) != kProcessors) {
            return;
        }
        std::vector<std::string> args = {"--interval", "1"};
        for (int i = 0; i < kProcessors; ++i) {
            args.push_back("--processor");
            args.push_back("p" + std::to_string(i) +
                           "=127.0.0.1:" + std::to_string(sim.ports[static_cast<std::size_t>(i)]));
        }
        if (!harness.StartExporter(args)) {
            return;
        }
        exporterPid = FindExporterPid();
        // Every processor up and its preset list read: the steady state of a station.
        ready = ExporterHarness::WaitFor(
            [&] {
                const auto text = harness.Get("/metrics");
                if (!text) {
                    return false;
                }
                for (int i = 0; i < kProcessors; ++i) {
                    const std::string name = "p" + std::to_string(i);
                    if (ExporterHarness::Sample(*text, "solvei_up", {{"processor", name}}) != 1.0 ||
                        !ExporterHarness::Sample(*text, "solvei_preset_info",
                                                 {{"processor", name}, {"number", "15"}})) {
                        return false;
                    }
                }
                return true;
            },
            std::chrono::seconds(60 + kProcessors / 5));
    }
};

void BM_ScrapeFleet(benchmark::State& state) {
    auto& fleet = Fleet::Get();
    if (!fleet.ready) {
        state.SkipWithError("fleet did not come up");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto text = fleet.harness.Get("/metrics");
        if (!text) {
            state.SkipWithError("scrape failed");
            return;
        }
        bytes = text->size();
    }
    const auto text = fleet.harness.Get("/metrics");
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["own_gather_ms"] =
        ExporterHarness::Sample(*text, "solvei_exporter_scrape_duration_seconds").value_or(-1) *
        1000;
}
BENCHMARK(BM_ScrapeFleet)->Unit(benchmark::kMillisecond)->Iterations(50);

// The whole answer to GET /metrics with Accept-Encoding: gzip, as Prometheus asks.
std::size_t GzipScrape(int port) {
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    std::error_code ec;
    socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)}, ec);
    const std::string request =
        "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip\r\n\r\n";
    asio::write(socket, asio::buffer(request), ec);
    std::string answer;
    asio::read(socket, asio::dynamic_buffer(answer), ec);
    return answer.find("Content-Encoding: gzip") == std::string::npos ? 0 : answer.size();
}

void BM_ScrapeFleetGzip(benchmark::State& state) {
    auto& fleet = Fleet::Get();
    if (!fleet.ready) {
        state.SkipWithError("fleet did not come up");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = GzipScrape(fleet.harness.ExporterPort());
        if (bytes == 0) {
            state.SkipWithError("no gzip answer");
            return;
        }
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ScrapeFleetGzip)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_PollFleetFor60s(benchmark::State& state) {
    auto& fleet = Fleet::Get();
    if (!fleet.ready || fleet.exporterPid <= 0) {
        state.SkipWithError("fleet did not come up");
        return;
    }
    for (auto _ : state) {
        const auto before = Measure(fleet.exporterPid);
        const auto start = std::chrono::steady_clock::now();
        const auto polls0 =
            fleet.harness.Metric("solvei_link_requests_total", {{"processor", "p0"}});
        // Scraped every 5 s meanwhile, as Prometheus would.
        while (std::chrono::steady_clock::now() - start < 60s) {
            std::this_thread::sleep_for(5s);
            (void)fleet.harness.Get("/metrics");
        }
        const auto after = Measure(fleet.exporterPid);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto polls1 =
            fleet.harness.Metric("solvei_link_requests_total", {{"processor", "p0"}});
        state.counters["cpu_percent_of_core"] =
            100.0 * (after.cpuSeconds - before.cpuSeconds) / wall;
        state.counters["rss_mb"] = after.rssMb;
        state.counters["threads"] = after.threads;
        state.counters["fds"] = after.fds;
        state.counters["processors"] = kProcessors;
        state.counters["polls_p0"] = polls1.value_or(0) - polls0.value_or(0);
    }
}
BENCHMARK(BM_PollFleetFor60s)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
