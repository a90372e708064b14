#include "sim/CSimFleet.h"

#include <random>

#include "link/LinkPacket.h"

namespace {

// Ports tried as a first port when the caller leaves the choice to us.
constexpr int kAnyPortAttempts = 20;
constexpr int kAnyPortLow = 20000;
constexpr int kAnyPortHigh = 60000;

} // namespace

CSimFleet::CSimFleet(asio::io_context& io, const CProcessor::Config& config,
                     const CFaultInjector::Options& faults, int count)
    : m_io(io), m_config(config), m_faults(faults), m_count(count) {
    Rebuild();
}

std::string CSimFleet::SiteName(int index) {
    return "SITE " + std::to_string(index + 1);
}

void CSimFleet::Rebuild() {
    m_members.clear();
    for (int i = 0; i < m_count; ++i) {
        CProcessor::Config config = m_config;
        config.seed = m_config.seed + static_cast<std::uint32_t>(i);
        CFaultInjector::Options faults = m_faults;
        faults.seed = m_faults.seed + static_cast<std::uint32_t>(i);
        auto member = std::make_unique<Member>(std::move(config), faults, m_io);
        // Set up through the processor's own commands, as an operator would have.
        const auto now = CProcessor::Clock::now();
        const auto rename = BuildRenamePreset(0, SiteName(i));
        member->processor.Handle(rename, now);
        const int count = member->processor.Presets().Count();
        const auto load = BuildLoadPreset(static_cast<std::uint8_t>(i % count));
        member->processor.Handle(load, now);
        member->processor.TakeDirty();
        m_members.push_back(std::move(member));
    }
}

bool CSimFleet::Open(const std::string& host, int firstPort, std::string& error) {
    std::error_code ec;
    const auto address = asio::ip::make_address(host, ec);
    if (ec) {
        error = "bad UDP host \"" + host + "\": " + ec.message();
        return false;
    }
    if (firstPort != 0) {
        if (firstPort + m_count - 1 > 65535) {
            error = "not enough ports above " + std::to_string(firstPort) + " for " +
                    std::to_string(m_count) + " processors";
            return false;
        }
        return OpenRun(address, firstPort, error);
    }
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pick(kAnyPortLow, kAnyPortHigh - m_count);
    for (int attempt = 0; attempt < kAnyPortAttempts; ++attempt) {
        if (OpenRun(address, pick(random), error)) {
            return true;
        }
        Rebuild(); // sockets of a failed run are closed with their members
    }
    return false;
}

bool CSimFleet::OpenRun(const asio::ip::address& address, int firstPort, std::string& error) {
    for (int i = 0; i < m_count; ++i) {
        const auto port = static_cast<unsigned short>(firstPort + i);
        if (const auto ec = m_members[static_cast<std::size_t>(i)]->udp.Open({address, port})) {
            error = "cannot serve UDP on " + address.to_string() + ":" + std::to_string(port) +
                    ": " + ec.message();
            return false;
        }
    }
    return true;
}

void CSimFleet::PrintEndpoints(std::ostream& out) const {
    for (const auto& member : m_members) {
        const auto local = member->udp.LocalEndpoint();
        out << "udp " << local.address().to_string() << ":" << local.port() << "\n";
    }
}
