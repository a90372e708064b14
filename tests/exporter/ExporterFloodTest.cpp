#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <csignal>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

namespace {

constexpr int kFleet = 300;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// GET /metrics as a well-behaved scraper does, with a deadline on every step.
std::optional<std::string> Scrape(int port, std::chrono::seconds limit) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval tv{static_cast<time_t>(limit.count()), 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    const auto address = Loopback(port);
    std::string answer;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        (void)send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        std::array<char, 65536> chunk{};
        for (ssize_t n; (n = recv(fd, chunk.data(), chunk.size(), 0)) > 0;) {
            answer.append(chunk.data(), static_cast<std::size_t>(n));
        }
    }
    close(fd);
    const auto at = answer.find("\r\n\r\n");
    if (answer.rfind("HTTP/1.1 200 ", 0) != 0 || at == std::string::npos) {
        return std::nullopt;
    }
    return answer.substr(at + 4);
}

// The processors the scrape shows up.
std::set<std::string> UpProcessors(const std::string& text) {
    std::set<std::string> up;
    std::istringstream in(text);
    std::string line;
    const std::string prefix = "solvei_up{processor=\"";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0 && line.size() > 2 &&
            line.compare(line.size() - 2, 2, " 1") == 0) {
            up.insert(line.substr(prefix.size(), line.find('"', prefix.size()) - prefix.size()));
        }
    }
    return up;
}

// Keeps count connections open to the port without ever finishing a request; every one the
// server closes is opened again at once.
class HalfOpenFlood {
public:
    HalfOpenFlood(int port, std::size_t count) : m_port(port), m_fds(count, -1) {
        m_thread = std::thread([this] { Run(); });
    }
    ~HalfOpenFlood() {
        m_stop = true;
        m_thread.join();
        for (const int fd : m_fds) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    [[nodiscard]] std::size_t Reopened() const { return m_reopened.load(); }

private:
    void Open(int& fd) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            return;
        }
        const auto address = Loopback(m_port);
        (void)connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        // Half of them start a request they never finish.
        if (fd % 2 == 0) {
            (void)send(fd, "GET /metrics HTTP/1.1\r\n", 23, MSG_NOSIGNAL);
        }
    }

    void Run() {
        for (int& fd : m_fds) {
            Open(fd);
        }
        std::vector<pollfd> polls(m_fds.size());
        while (!m_stop) {
            for (std::size_t i = 0; i < m_fds.size(); ++i) {
                polls[i] = {m_fds[i], POLLIN, 0};
            }
            (void)poll(polls.data(), polls.size(), 100);
            for (std::size_t i = 0; i < m_fds.size(); ++i) {
                if (polls[i].revents != 0 || m_fds[i] < 0) {
                    if (m_fds[i] >= 0) {
                        close(m_fds[i]);
                    }
                    Open(m_fds[i]);
                    ++m_reopened;
                }
            }
            std::this_thread::sleep_for(50ms);
        }
    }

    int m_port;
    std::vector<int> m_fds;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_reopened{0};
    std::thread m_thread;
};

} // namespace

// 300 processors under the usual open-file limit, the port flooded with two thousand
// connections that never finish a request: the fleet stays up, a scraper is answered
// throughout, and a processor killed and started again meanwhile comes back.
TEST(ExporterFlood, HalfOpenFloodStarvesNeitherPollingNorScraperUnderTheUsualFileLimit) {
    // The flood comes from this process: it needs the descriptors the exporter must not.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    const std::size_t flood = std::min<std::size_t>(2000, limit.rlim_cur - 200);

    ExporterHarness h("flood");
    auto fleet = h.StartSim({"--udp", "127.0.0.1:0", "--fleet", std::to_string(kFleet)}, kFleet);
    ASSERT_EQ(fleet.ports.size(), static_cast<std::size_t>(kFleet));
    auto victim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(victim.ports.size(), 1u);
    const int victimPort = victim.ports[0];

    std::vector<std::string> args = {"--interval", "1"};
    for (int i = 0; i < kFleet; ++i) {
        args.push_back("--processor");
        args.push_back("p" + std::to_string(i) +
                       "=127.0.0.1:" + std::to_string(fleet.ports[static_cast<std::size_t>(i)]));
    }
    args.push_back("--processor");
    args.push_back("victim=127.0.0.1:" + std::to_string(victimPort));
    // Soft and hard: the exporter may not raise it past 1024.
    ASSERT_TRUE(h.StartExporter(args, "ulimit -n 1024"));
    const int port = h.ExporterPort();

    ASSERT_TRUE(ExporterHarness::WaitFor(
        [&] {
            const auto text = Scrape(port, 20s);
            return text && UpProcessors(*text).size() == kFleet + 1;
        },
        180s));

    HalfOpenFlood attack(port, flood);
    std::chrono::steady_clock::duration slowest{};
    int scrapes = 0;
    // Scrapes until the condition on the victim holds; every scrape answered with the rest of
    // the fleet up.
    const auto scrapeUntil = [&](bool victimUp) {
        return ExporterHarness::WaitFor(
            [&] {
                const auto start = std::chrono::steady_clock::now();
                const auto text = Scrape(port, 20s);
                const auto took = std::chrono::steady_clock::now() - start;
                slowest = std::max(slowest, took);
                ++scrapes;
                EXPECT_TRUE(text) << "a scrape was not answered within 20 s";
                if (!text) {
                    return false;
                }
                const auto up = UpProcessors(*text);
                EXPECT_GE(up.size() + (victimUp ? 0 : 1), static_cast<std::size_t>(kFleet))
                    << "part of the fleet went down during the flood";
                return up.count("victim") == (victimUp ? 1u : 0u);
            },
            120s);
    };
    // The flood settles in, then the victim goes and comes back on the same port.
    EXPECT_TRUE(ExporterHarness::WaitFor([&] { return attack.Reopened() > 0; }, 30s));
    victim.process->Stop(SIGKILL, 10s);
    EXPECT_TRUE(scrapeUntil(false)) << "the killed processor was not seen down";
    auto again = h.StartSim({"--udp", "127.0.0.1:" + std::to_string(victimPort)});
    ASSERT_EQ(again.ports.size(), 1u);
    EXPECT_TRUE(scrapeUntil(true)) << "the restarted processor did not come back";

    const double slowestMs = std::chrono::duration<double, std::milli>(slowest).count();
    std::cout << "flood of " << flood << " connections (" << attack.Reopened()
              << " reopened after the server closed them): " << scrapes << " scrapes, slowest "
              << slowestMs << " ms\n";
    // Generous for a loaded machine; the figure itself is printed above.
    EXPECT_LT(slowestMs, 10000);
}
