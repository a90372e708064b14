#pragma once

#include <string>
#include <thread>

#include <asio/io_context.hpp>

#include "sim/CFaultInjector.h"
#include "sim/CProcessor.h"
#include "sim/CPtyTransport.h"
#include "sim/CSimDescription.h"
#include "sim/CSimService.h"
#include "sim/CUdpTransport.h"

// The simulator with its built-in description on its own asio thread, as solvei-sim runs it.
// Open the transports wanted, then Run; the thread is stopped and joined with the object.
// No GoogleTest here: the benchmarks use it too.
class SimOnThread {
public:
    // baud: the pseudo-terminal's line rate (0: not paced).
    explicit SimOnThread(int baud = 0, const CFaultInjector::Options& faults = {})
        : processor(BuiltinConfig(), CProcessor::Clock::now()), injector(faults),
          service(processor, injector, nullptr), udp(io, service), pty(io, service, baud) {}
    ~SimOnThread() {
        io.stop();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    SimOnThread(const SimOnThread&) = delete;
    SimOnThread& operator=(const SimOnThread&) = delete;

    void Run() {
        thread_ = std::thread([this] { io.run(); });
    }

    static CProcessor::Config BuiltinConfig() {
        std::string error;
        CProcessor::Config config;
        config.description = *CSimDescription::Builtin(error);
        config.parameters = CSimDescription::Catalog(config.description);
        return config;
    }

    asio::io_context io;
    CProcessor processor;
    CFaultInjector injector;
    CSimService service;
    CUdpTransport udp;
    CPtyTransport pty;

private:
    std::thread thread_;
};
