#pragma once

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "exporter/ExporterHarness.h"

// A real Prometheus for the exporter's end-to-end tests: it scrapes the harness's exporter
// every second (labelling the target with the labels given), evaluates the rule files every
// second, keeps its data in the harness's folder and answers on a free port of 127.0.0.1.
class RealPrometheus {
public:
    static constexpr const char* kProgram = "/usr/bin/prometheus";

    [[nodiscard]] static bool Installed() { return std::filesystem::exists(kProgram); }

    RealPrometheus(const ExporterHarness& h, const std::vector<std::string>& ruleFiles = {},
                   const std::map<std::string, std::string>& labels = {})
        : m_port(ExporterHarness::FreeTcpPort()),
          m_process(Argv(h, WriteConfig(h, ruleFiles, labels), m_port),
                    std::map<std::string, std::string>{}) {}

    [[nodiscard]] int Port() const { return m_port; }
    void Stop() { m_process.Stop(SIGTERM, std::chrono::seconds(10)); }

private:
    static std::string WriteConfig(const ExporterHarness& h,
                                   const std::vector<std::string>& ruleFiles,
                                   const std::map<std::string, std::string>& labels) {
        const std::string path = h.Path("prometheus.yml");
        std::ofstream config(path);
        config << "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n";
        if (!ruleFiles.empty()) {
            config << "rule_files:\n";
            for (const auto& file : ruleFiles) {
                config << "  - " << file << "\n";
            }
        }
        config << "scrape_configs:\n  - job_name: solvei\n    scrape_interval: 1s\n"
                  "    scrape_timeout: 900ms\n    static_configs:\n      - targets: [\"127.0.0.1:"
               << h.ExporterPort() << "\"]\n";
        if (!labels.empty()) {
            config << "        labels:\n";
            for (const auto& [name, value] : labels) {
                config << "          " << name << ": " << value << "\n";
            }
        }
        return path;
    }

    static std::vector<std::string> Argv(const ExporterHarness& h, const std::string& config,
                                         int port) {
        return {kProgram, "--config.file=" + config, "--storage.tsdb.path=" + h.Path("data"),
                "--web.listen-address=127.0.0.1:" + std::to_string(port), "--log.level=warn"};
    }

    int m_port;
    TestProcess m_process;
};
