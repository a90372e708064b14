#include "exporter/ExporterHarness.h"

#include <sstream>
#include <thread>
#include <unistd.h>

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

using namespace std::chrono_literals;

namespace {

// ctest runs every test in a process of its own, side by side: a fixture shared by several
// tests gets a folder per process, or one test's start would wipe another's files.
std::string FolderName(const std::string& testName) {
    return testName + "-" + std::to_string(::getpid());
}

} // namespace

ExporterHarness::ExporterHarness(const std::string& testName)
    : m_dir(std::filesystem::path(SOLVEI_TEST_TMP) / FolderName(testName)) {
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
}

ExporterHarness::~ExporterHarness() {
    if (m_exporter) {
        m_exporter->Stop(SIGTERM, 10s);
    }
}

std::string ExporterHarness::Path(const std::string& name) const {
    return (m_dir / name).string();
}

ExporterHarness::Sim ExporterHarness::StartSim(const std::vector<std::string>& args,
                                               int processors) {
    Sim sim;
    std::vector<std::string> argv = {SOLVEI_SIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    sim.process = std::make_unique<TestProcess>(argv, std::map<std::string, std::string>{});
    const bool pty = std::find(args.begin(), args.end(), "--pty") != args.end();
    const bool udp = std::find(args.begin(), args.end(), "--no-udp") == args.end();
    const std::size_t lines = (udp ? processors : 0) + (pty ? 1 : 0);
    for (std::size_t i = 0; i < lines; ++i) {
        const auto line = sim.process->ReadLine(10s);
        if (!line) {
            break;
        }
        if (line->rfind("udp ", 0) == 0) {
            sim.ports.push_back(std::stoi(line->substr(line->rfind(':') + 1)));
        } else if (line->rfind("serial ", 0) == 0) {
            sim.device = line->substr(7);
        }
    }
    return sim;
}

bool ExporterHarness::StartExporter(const std::vector<std::string>& args,
                                    const std::string& before) {
    std::vector<std::string> argv = {SOLVEI_EXPORTER_PATH, "--listen", "127.0.0.1:0"};
    if (!before.empty()) {
        argv.insert(argv.begin(), {"/bin/sh", "-c", before + " && exec \"$0\" \"$@\""});
    }
    argv.insert(argv.end(), args.begin(), args.end());
    m_exporter = std::make_unique<TestProcess>(argv, std::map<std::string, std::string>{});
    const auto line = m_exporter->ReadLine(10s);
    // http:// or, with TLS from a web configuration, https://
    const std::string prefix = "listening on http";
    const std::string host = "://127.0.0.1:";
    if (!line || line->rfind(prefix, 0) != 0 || line->find(host) == std::string::npos) {
        return false;
    }
    m_port = std::stoi(line->substr(line->find(host) + host.size()));
    return true;
}

std::optional<std::string> ExporterHarness::Get(const std::string& path) const {
    return HttpGet(m_port, path);
}

std::optional<std::string> ExporterHarness::HttpGet(int port, const std::string& path,
                                                    int* status) {
    try {
        asio::io_context io;
        asio::ip::tcp::socket socket(io);
        socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)});
        const std::string request =
            "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        asio::write(socket, asio::buffer(request));
        std::string response;
        std::error_code ec;
        asio::read(socket, asio::dynamic_buffer(response), ec);
        if (ec && ec != asio::error::eof) {
            return std::nullopt;
        }
        const auto bodyAt = response.find("\r\n\r\n");
        if (response.rfind("HTTP/1.1 ", 0) != 0 || bodyAt == std::string::npos) {
            return std::nullopt;
        }
        const int code = std::stoi(response.substr(9, 3));
        if (status) {
            *status = code;
        } else if (code != 200) {
            return std::nullopt;
        }
        return response.substr(bodyAt + 4);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<double> ExporterHarness::Sample(const std::string& text, const std::string& name,
                                              const std::map<std::string, std::string>& labels) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const auto end = line.find_first_of("{ ");
        if (end == std::string::npos || line.compare(0, end, name) != 0 || end != name.size()) {
            continue;
        }
        const auto close = line.rfind('}');
        const std::string labelText = line[end] == '{' && close != std::string::npos
                                          ? line.substr(end, close - end + 1)
                                          : std::string();
        bool match = true;
        for (const auto& [key, value] : labels) {
            if (labelText.find(key + "=\"" + value + "\"") == std::string::npos) {
                match = false;
                break;
            }
        }
        if (match) {
            return std::stod(line.substr(line.rfind(' ') + 1));
        }
    }
    return std::nullopt;
}

std::optional<double> ExporterHarness::Metric(const std::string& name,
                                              const std::map<std::string, std::string>& labels) {
    const auto text = Get("/metrics");
    return text ? Sample(*text, name, labels) : std::nullopt;
}

bool ExporterHarness::WaitFor(const std::function<bool()>& condition,
                              std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
}

bool ExporterHarness::WaitForMetric(const std::string& name,
                                    const std::map<std::string, std::string>& labels, double value,
                                    std::chrono::milliseconds limit) {
    return WaitFor(
        [&] {
            const auto v = Metric(name, labels);
            return v && *v == value;
        },
        limit);
}

TestProcess::Result ExporterHarness::Ctl(int port, const std::vector<std::string>& command,
                                         const std::string& settingsDir) {
    std::vector<std::string> argv = {SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port",
                                     std::to_string(port)};
    argv.insert(argv.end(), command.begin(), command.end());
    return TestProcess::Run(argv, {{"SOLVEI_SETTINGS_DIR", settingsDir}}, 20s);
}

int ExporterHarness::FreeTcpPort() {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    return acceptor.local_endpoint().port();
}
