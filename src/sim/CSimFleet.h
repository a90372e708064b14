#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include "sim/CFaultInjector.h"
#include "sim/CProcessor.h"
#include "sim/CSimService.h"
#include "sim/CUdpTransport.h"

// Many independent processors in one process, each on its own UDP port, consecutive from a
// first port: a station's fleet on one machine. Each has its own seed (so its meters ride
// their own programme), user preset names that carry its number and its own preset on air.
class CSimFleet {
public:
    struct Member {
        Member(CProcessor::Config config, const CFaultInjector::Options& faults,
               asio::io_context& io)
            : processor(std::move(config), CProcessor::Clock::now()), injector(faults),
              service(processor, injector, nullptr), udp(io, service) {}
        CProcessor processor;
        CFaultInjector injector;
        CSimService service;
        CUdpTransport udp;
    };

    // config is the first member's; the others differ by seed and by the changes above.
    CSimFleet(asio::io_context& io, const CProcessor::Config& config,
              const CFaultInjector::Options& faults, int count);

    // Binds count consecutive ports from first (0: any free run of ports); an error names
    // the port that could not be taken.
    [[nodiscard]] bool Open(const std::string& host, int firstPort, std::string& error);
    // One "udp HOST:PORT" line per member, in port order.
    void PrintEndpoints(std::ostream& out) const;

    [[nodiscard]] int Count() const { return static_cast<int>(m_members.size()); }
    [[nodiscard]] const Member& At(int index) const { return *m_members.at(index); }

    // The name the first user preset of member index gets.
    [[nodiscard]] static std::string SiteName(int index);

private:
    bool OpenRun(const asio::ip::address& address, int firstPort, std::string& error);
    void Rebuild();

    asio::io_context& m_io;
    CProcessor::Config m_config;
    CFaultInjector::Options m_faults;
    int m_count;
    std::vector<std::unique_ptr<Member>> m_members;
};
