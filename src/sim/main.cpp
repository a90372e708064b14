#include <csignal>
#include <ctime>
#include <exception>
#include <iostream>
#include <memory>

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>

#include "sim/CFaultInjector.h"
#include "sim/CProcessor.h"
#include "sim/CPtyTransport.h"
#include "sim/CSimDescription.h"
#include "sim/CSimFleet.h"
#include "sim/CSimOptions.h"
#include "sim/CSimService.h"
#include "sim/CStateFile.h"
#include "sim/CUdpTransport.h"
#include "SolveiVersion.h"

namespace {

int SecondsOfDayNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

int Fail(const std::string& message) {
    std::cerr << "solvei-sim: " << message << "\n";
    return 1;
}

int Run(int argc, char** argv) {
    std::string error;
    const auto options = CSimOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "solvei-sim: " << error << "\n" << CSimOptions::Usage();
        return 1;
    }
    if (options->help) {
        std::cout << CSimOptions::Usage();
        return 0;
    }
    if (options->showVersion) {
        std::cout << "solvei-sim " << SOLVEI_VERSION << "\n";
        return 0;
    }

    auto description = options->descriptionFile.empty()
                           ? CSimDescription::Builtin(error)
                           : CSimDescription::FromFile(options->descriptionFile, error);
    if (!description) {
        return Fail(error);
    }
    CProcessor::Config config;
    config.version = options->version;
    config.lockCode = options->lockCode;
    config.type = static_cast<std::uint8_t>(options->type);
    config.presetCount = options->presets;
    config.parameters = CSimDescription::Catalog(*description);
    config.description = std::move(*description);
    config.seed = options->faults.seed;
    config.secondsOfDayAtStart = SecondsOfDayNow();
    if (options->fleet > 0) {
        asio::io_context io;
        CSimFleet fleet(io, config, options->faults, options->fleet);
        if (!fleet.Open(options->udpHost, options->udpPort, error)) {
            return Fail(error);
        }
        fleet.PrintEndpoints(std::cout);
        std::cout.flush();
        asio::signal_set signals(io, SIGINT, SIGTERM);
        signals.async_wait([&](const std::error_code&, int) { io.stop(); });
        io.run();
        return 0;
    }
    CProcessor processor(std::move(config), CProcessor::Clock::now());

    std::unique_ptr<CStateFile> stateFile;
    if (!options->stateFile.empty()) {
        stateFile = std::make_unique<CStateFile>(options->stateFile);
        if (auto state = stateFile->Load(error)) {
            processor.RestoreState(*state);
        } else if (!error.empty()) {
            return Fail(error);
        }
    }
    auto save = [&] {
        if (stateFile && !stateFile->Save(processor.SaveState(), error)) {
            std::cerr << "solvei-sim: " << error << "\n";
        }
    };

    asio::io_context io;
    // Changes are written a moment later, so a dragged slider costs one write, not dozens.
    asio::steady_timer saveTimer(io);
    bool savePending = false;
    CFaultInjector faults(options->faults);
    CSimService service(processor, faults, [&] {
        if (!stateFile || savePending) {
            return;
        }
        savePending = true;
        saveTimer.expires_after(std::chrono::milliseconds(500));
        saveTimer.async_wait([&](const std::error_code& ec) {
            savePending = false;
            if (!ec) {
                save();
            }
        });
    });

    CUdpTransport udp(io, service);
    if (options->udp) {
        std::error_code ec;
        const auto address = asio::ip::make_address(options->udpHost, ec);
        if (ec) {
            return Fail("bad UDP host \"" + options->udpHost + "\": " + ec.message());
        }
        ec = udp.Open({address, static_cast<unsigned short>(options->udpPort)});
        if (ec) {
            return Fail("cannot serve UDP on " + options->udpHost + ":" +
                        std::to_string(options->udpPort) + ": " + ec.message());
        }
        const auto local = udp.LocalEndpoint();
        std::cout << "udp " << local.address().to_string() << ":" << local.port() << "\n";
    }
    CPtyTransport pty(io, service, options->baud);
    if (!options->ptyLink.empty()) {
        if (!pty.Open(options->ptyLink, error)) {
            return Fail(error);
        }
        std::cout << "serial " << pty.DevicePath() << "\n";
    }
    std::cout.flush();

    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](const std::error_code&, int) { io.stop(); });
    io.run();
    save();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Whatever goes wrong ends in one line and exit code 1, never in an abort.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        return Fail(std::string("unexpected failure: ") + e.what());
    } catch (...) {
        return Fail("unexpected failure");
    }
}
