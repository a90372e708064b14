#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ctl/TestProcess.h"

// Real processes for the exporter's end-to-end tests: simulators, the exporter itself and
// plain HTTP requests to it, all on 127.0.0.1. Every wait polls against a deadline.
class ExporterHarness {
public:
    struct Sim {
        std::unique_ptr<TestProcess> process;
        std::vector<int> ports; // one per processor it serves
        std::string device;     // with --pty
    };

    explicit ExporterHarness(const std::string& testName);
    ~ExporterHarness();

    [[nodiscard]] std::string Path(const std::string& name) const;

    // Starts solvei-sim with the arguments and reads its "udp"/"serial" lines.
    Sim StartSim(const std::vector<std::string>& args, int processors = 1);
    // Starts solvei-exporter on a free port of 127.0.0.1 and reads its URL; a shell line in
    // before runs first in the exporter's shell (such as "ulimit -n 1024").
    bool StartExporter(const std::vector<std::string>& args, const std::string& before = {});
    TestProcess& Exporter() { return *m_exporter; }
    [[nodiscard]] int ExporterPort() const { return m_port; }

    // The body of GET path, or nullopt when the request fails.
    [[nodiscard]] std::optional<std::string> Get(const std::string& path) const;
    [[nodiscard]] static std::optional<std::string> HttpGet(int port, const std::string& path,
                                                            int* status = nullptr);

    // The value of the first sample of name whose labels include all of labels.
    [[nodiscard]] static std::optional<double>
    Sample(const std::string& text, const std::string& name,
           const std::map<std::string, std::string>& labels = {});
    // Sample from a fresh scrape.
    [[nodiscard]] std::optional<double> Metric(const std::string& name,
                                               const std::map<std::string, std::string>& labels);

    // Polls until the condition holds or the deadline passes.
    static bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit);
    // Waits until the metric has exactly the value.
    bool WaitForMetric(const std::string& name, const std::map<std::string, std::string>& labels,
                       double value, std::chrono::milliseconds limit);

    // Runs solvei-ctl against a UDP processor.
    static TestProcess::Result Ctl(int port, const std::vector<std::string>& command,
                                   const std::string& settingsDir);

    static int FreeTcpPort();

private:
    std::filesystem::path m_dir;
    std::unique_ptr<TestProcess> m_exporter;
    int m_port = 0;
};
