#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include "exporter/CFleetExporter.h"
#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

namespace {

std::size_t Entries(const char* dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++n;
    }
    return n;
}

} // namespace

// A fleet's links share a few threads and cost about one descriptor each: a station with
// hundreds of processors must not need a thread and four descriptors per processor.
TEST(ExporterScale, FleetCostsAFewThreadsAndAboutOneDescriptorEach) {
    constexpr int kProcessors = 60;
    ExporterHarness h("scale");
    auto sim =
        h.StartSim({"--udp", "127.0.0.1:0", "--fleet", std::to_string(kProcessors)}, kProcessors);
    ASSERT_EQ(sim.ports.size(), static_cast<std::size_t>(kProcessors));

    CExporterOptions options;
    options.listenHost = "127.0.0.1";
    options.listenPort = 0;
    options.intervalSeconds = 0.2;
    options.replyTimeoutMs = 200;
    for (int i = 0; i < kProcessors; ++i) {
        ProcessorTarget target;
        target.name = "p" + std::to_string(i);
        target.host = "127.0.0.1";
        target.port = sim.ports[static_cast<std::size_t>(i)];
        options.processors.push_back(target);
    }

    asio::io_context io;
    auto work = asio::make_work_guard(io);
    const std::size_t threadsBefore = Entries("/proc/self/task");
    const std::size_t fdsBefore = Entries("/proc/self/fd");
    std::thread runner([&] { io.run(); });
    // Destroyed once its io_context no longer runs, as the program does.
    auto owned = std::make_unique<CFleetExporter>(io, options);
    {
        CFleetExporter& exporter = *owned;
        ASSERT_FALSE(exporter.Listen());
        asio::post(io, [&] { exporter.Start(); });
        const auto upCount = [&] {
            std::promise<int> count;
            asio::post(io, [&] {
                int up = 0;
                for (const auto& p : exporter.Fleet()) {
                    up += p.up ? 1 : 0;
                }
                count.set_value(up);
            });
            return count.get_future().get();
        };
        EXPECT_TRUE(ExporterHarness::WaitFor([&] { return upCount() == kProcessors; }, 60s));

        const std::size_t threads = Entries("/proc/self/task") - threadsBefore;
        const std::size_t fds = Entries("/proc/self/fd") - fdsBefore;
        // The runner, the link threads, and a little slack for what the server adds.
        EXPECT_LE(threads, 1 + CFleetExporter::kLinkThreads + 4);
        // One socket per processor plus each link thread's and the listener's own.
        EXPECT_LE(fds, kProcessors + 3 * CFleetExporter::kLinkThreads + 12);

        std::promise<void> stopped;
        asio::post(io, [&] { exporter.Stop(3s, [&] { stopped.set_value(); }); });
        EXPECT_EQ(stopped.get_future().wait_for(30s), std::future_status::ready);
    }
    work.reset();
    io.stop();
    runner.join();
    owned.reset();
}
