#include <csignal>
#include <iostream>

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>

#include "exporter/CExporterOptions.h"
#include "exporter/CFleetExporter.h"
#include "exporter/FileLimit.h"
#include "SolveiVersion.h"

namespace {

// Within the 3 s a service manager is promised, with room for closing down after it.
constexpr std::chrono::milliseconds kStopGrace{2500};

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        CExporterOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "solvei-exporter: " << error << "\n";
        return 1;
    }
    if (options->help) {
        std::cout << CExporterOptions::Usage();
        return 0;
    }
    if (options->showVersion) {
        std::cout << "solvei-exporter " << SOLVEI_VERSION << "\n";
        return 0;
    }

    // Before anything opens a descriptor: a station's fleet must not meet the soft limit.
    (void)FileLimit::RaiseToHard();
    asio::io_context io;
    CFleetExporter exporter(io, *options);
    if (const auto refused = exporter.LockHistory(); !refused.empty()) {
        std::cerr << "solvei-exporter: " << refused << "\n";
        return 1;
    }
    if (const auto ec = exporter.Listen()) {
        std::cerr << "solvei-exporter: cannot listen on " << options->listenHost << ":"
                  << options->listenPort << ": " << ec.message() << "\n";
        return 1;
    }
    std::cout << "listening on " << exporter.ListenUrl() << std::endl;
    exporter.Start();

    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](const std::error_code& ec, int) {
        if (!ec) {
            exporter.Stop(kStopGrace, [&] { io.stop(); });
        }
    });
    io.run();
    return 0;
}
