#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include "exporter/CBasicAuth.h"
#include "exporter/ExporterHarness.h"
#include "exporter/WebSecurityFiles.h"

using namespace std::chrono_literals;
using Verdict = CBasicAuth::Verdict;

namespace {

// The whole answer to one request sent as written, or "" when the connection failed.
std::string Exchange(int port, const std::string& request) {
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    std::error_code ec;
    socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)}, ec);
    if (ec) {
        return {};
    }
    asio::write(socket, asio::buffer(request), ec);
    std::string answer;
    asio::read(socket, asio::dynamic_buffer(answer), ec);
    return answer;
}

std::string Get(int port, const std::string& path, const std::string& authorization) {
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!authorization.empty()) {
        request += "Authorization: " + authorization + "\r\n";
    }
    return Exchange(port, request + "\r\n");
}

int Status(const std::string& answer) {
    return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::stoi(answer.substr(9, 3)) : 0;
}

// Runs a check to its end on this thread's io_context.
Verdict CheckNow(CBasicAuth& auth, asio::io_context& io, const std::string& authorization) {
    std::optional<Verdict> verdict;
    auth.Check(authorization, [&](Verdict v) { verdict = v; });
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!verdict && std::chrono::steady_clock::now() < deadline) {
        io.run_one_for(1s);
    }
    return verdict.value_or(Verdict::Busy);
}

class BasicAuth : public testing::Test {
protected:
    void SetUp() override {
        promHash = WebSecurityFiles::BcryptHash("s3cret: with colon");
        otherHash = WebSecurityFiles::BcryptHash("other");
        ASSERT_FALSE(promHash.empty()) << "the system's crypt makes no bcrypt hash";
        auth.emplace(
            io, std::map<std::string, std::string>{{"prom", promHash}, {"grafana", otherHash}});
    }

    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> guard = asio::make_work_guard(io);
    std::string promHash;
    std::string otherHash;
    std::optional<CBasicAuth> auth;
};

} // namespace

TEST(ExporterBasicAuthDecode, OnlyWellFormedBasicCredentials) {
    struct Case {
        std::string header;
        bool ok;
        std::string user;
        std::string password;
    };
    const Case cases[] = {
        {"Basic cHJvbTpzZWNyZXQ=", true, "prom", "secret"},
        {"basic cHJvbTpzZWNyZXQ=", true, "prom", "secret"},   // the scheme has no case
        {"Basic   cHJvbTpzZWNyZXQ=", true, "prom", "secret"}, // more spaces
        {"Basic cHJvbTo=", true, "prom", ""},                 // empty password
        {"Basic OnNlY3JldA==", true, "", "secret"},           // empty user
        {"Basic cHJvbTphOmI=", true, "prom", "a:b"},          // the first colon splits
        {"Basic cHJvbXNlY3JldA==", false, "", ""},            // no colon
        {"Basic cHJvbTpzZWNyZXQ", false, "", ""},             // padding missing
        {"Basic cHJvbTpzZWNyZXQ==", false, "", ""},           // padding too long
        {"Basic cHJvbTpz!WNyZXQ=", false, "", ""},            // not base64
        {"Basic cHJvbTpzZWNyZXR=", false, "", ""},            // stray bits in the last group
        {"Basic ", false, "", ""},
        {"Basic", false, "", ""},
        {"Bearer cHJvbTpzZWNyZXQ=", false, "", ""},
        {"Basics cHJvbTpzZWNyZXQ=", false, "", ""},
        {"", false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        std::string user;
        std::string password;
        EXPECT_EQ(CBasicAuth::Decode(c.header, user, password), c.ok);
        if (c.ok) {
            EXPECT_EQ(user, c.user);
            EXPECT_EQ(password, c.password);
        }
    }
}

TEST_F(BasicAuth, OnlyTheRightPairOfAKnownUserPasses) {
    const std::string tooLong = WebSecurityFiles::BasicHeader("prom", std::string(1100, 'x'));
    struct Case {
        const char* name;
        std::string header;
        Verdict verdict;
        bool bcrypt; // whether the check costs a bcrypt computation
    };
    const Case cases[] = {
        {"no header", "", Verdict::Denied, false},
        {"wrong user", WebSecurityFiles::BasicHeader("prometheus", "s3cret: with colon"),
         Verdict::Denied, true},
        {"wrong password", WebSecurityFiles::BasicHeader("prom", "s3cret"), Verdict::Denied, true},
        // Unknown names are checked against a known user's hash, for the time it takes.
        {"unknown user with a known user's password",
         WebSecurityFiles::BasicHeader("nobody", "other"), Verdict::Denied, true},
        {"another user's password", WebSecurityFiles::BasicHeader("grafana", "s3cret: with colon"),
         Verdict::Denied, true},
        {"user name in another case", WebSecurityFiles::BasicHeader("Prom", "s3cret: with colon"),
         Verdict::Denied, true},
        {"malformed base64", "Basic cHJvbTpz!WNyZXQ=", Verdict::Denied, false},
        {"not basic", "Bearer abc", Verdict::Denied, false},
        {"header too long", tooLong, Verdict::Denied, false},
        {"right", WebSecurityFiles::BasicHeader("prom", "s3cret: with colon"), Verdict::Allowed,
         true},
        {"the other user, right", WebSecurityFiles::BasicHeader("grafana", "other"),
         Verdict::Allowed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = auth->ChecksRun();
        EXPECT_EQ(CheckNow(*auth, io, c.header), c.verdict);
        EXPECT_EQ(auth->ChecksRun() - before, c.bcrypt ? 1u : 0u);
    }
}

TEST_F(BasicAuth, APairThatPassedIsRememberedAFailedOneIsNot) {
    const std::string right = WebSecurityFiles::BasicHeader("prom", "s3cret: with colon");
    const std::string wrong = WebSecurityFiles::BasicHeader("prom", "guess");
    ASSERT_EQ(CheckNow(*auth, io, right), Verdict::Allowed);
    ASSERT_EQ(CheckNow(*auth, io, wrong), Verdict::Denied);
    const auto before = auth->ChecksRun();
    // Remembered: answered at once, without running bcrypt again.
    std::optional<Verdict> verdict;
    auth->Check(right, [&](Verdict v) { verdict = v; });
    EXPECT_EQ(verdict, Verdict::Allowed);
    EXPECT_EQ(auth->ChecksRun(), before);
    EXPECT_EQ(CheckNow(*auth, io, wrong), Verdict::Denied);
    EXPECT_EQ(auth->ChecksRun(), before + 1);
}

TEST_F(BasicAuth, AFloodOfChecksIsCutAtTheCapWhileARememberedPairStillPasses) {
    const std::string right = WebSecurityFiles::BasicHeader("prom", "s3cret: with colon");
    ASSERT_EQ(CheckNow(*auth, io, right), Verdict::Allowed);
    // Nothing runs on io meanwhile, so no check can finish before the last is asked for.
    constexpr std::size_t kFlood = CBasicAuth::kMaxChecks + 20;
    std::vector<std::optional<Verdict>> verdicts(kFlood);
    for (std::size_t i = 0; i < kFlood; ++i) {
        auth->Check(WebSecurityFiles::BasicHeader("prom", "guess" + std::to_string(i)),
                    [&verdicts, i](Verdict v) { verdicts[i] = v; });
    }
    std::optional<Verdict> remembered;
    auth->Check(right, [&](Verdict v) { remembered = v; });
    EXPECT_EQ(remembered, Verdict::Allowed);
    const auto busy = std::count(verdicts.begin(), verdicts.end(), Verdict::Busy);
    EXPECT_EQ(static_cast<std::size_t>(busy), kFlood - CBasicAuth::kMaxChecks);
    ASSERT_TRUE(ExporterHarness::WaitFor(
        [&] {
            io.poll();
            return std::count(verdicts.begin(), verdicts.end(), Verdict::Denied) ==
                   static_cast<long>(CBasicAuth::kMaxChecks);
        },
        30s));
    // Once they are done, checks are taken again.
    EXPECT_EQ(CheckNow(*auth, io, WebSecurityFiles::BasicHeader("prom", "again")), Verdict::Denied);
}

TEST(ExporterBasicAuth, EveryPageAsksForThePassword) {
    ExporterHarness h("basic-auth");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    const std::string hash = WebSecurityFiles::BcryptHash("s3cret");
    std::ofstream(h.Path("web.yml")) << "basic_auth_users:\n  prom: " << hash << "\n";
    ASSERT_TRUE(h.StartExporter({"--web.config.file", h.Path("web.yml"), "--processor",
                                 "fm=127.0.0.1:" + std::to_string(sim.ports[0])}));
    const std::string right = WebSecurityFiles::BasicHeader("prom", "s3cret");
    struct Case {
        const char* name;
        std::string authorization;
        int status;
    };
    const Case cases[] = {
        {"no header", "", 401},
        {"wrong user", WebSecurityFiles::BasicHeader("grafana", "s3cret"), 401},
        {"wrong password", WebSecurityFiles::BasicHeader("prom", "secret"), 401},
        {"malformed base64", "Basic %%%%", 401},
        {"header too long for a check",
         WebSecurityFiles::BasicHeader("prom", std::string(2000, 'p')), 401},
        {"header too long for the port", "Basic " + std::string(20000, 'A'), 431},
        {"right", right, 200},
        {"right again, remembered", right, 200},
    };
    for (const std::string path : {"/metrics", "/"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(path + ": " + c.name);
            const std::string answer = Get(h.ExporterPort(), path, c.authorization);
            EXPECT_EQ(Status(answer), c.status) << answer.substr(0, 300);
            const bool challenged =
                answer.find("\r\nWWW-Authenticate: Basic realm=\"solvei-exporter\"") !=
                std::string::npos;
            EXPECT_EQ(challenged, c.status == 401);
            // Nothing of the fleet leaks to a client without the password.
            EXPECT_EQ(answer.find("127.0.0.1:" + std::to_string(sim.ports[0])) != std::string::npos,
                      c.status == 200)
                << answer.substr(0, 300);
        }
    }
    // A 404 also needs the password: the port says nothing to a stranger.
    EXPECT_EQ(Status(Get(h.ExporterPort(), "/nothing", "")), 401);
    EXPECT_EQ(Status(Get(h.ExporterPort(), "/nothing", right)), 404);
}

TEST(ExporterBasicAuth, AFloodOfWrongPasswordsLeavesTheScraperAnswered) {
    ExporterHarness h("basic-auth-flood");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    // Cost 10, as a station would use: about 50 ms a check.
    std::ofstream(h.Path("web.yml"))
        << "basic_auth_users:\n  prom: " << WebSecurityFiles::BcryptHash("s3cret", 10) << "\n";
    ASSERT_TRUE(h.StartExporter({"--web.config.file", h.Path("web.yml"), "--processor",
                                 "fm=127.0.0.1:" + std::to_string(sim.ports[0])}));
    const std::string right = WebSecurityFiles::BasicHeader("prom", "s3cret");
    ASSERT_EQ(Status(Get(h.ExporterPort(), "/metrics", right)), 200);

    std::atomic<bool> stop{false};
    std::atomic<int> refused{0};
    std::vector<std::thread> attackers;
    for (int t = 0; t < 8; ++t) {
        attackers.emplace_back([&, t] {
            for (int i = 0; !stop; ++i) {
                const int status =
                    Status(Get(h.ExporterPort(), "/metrics",
                               WebSecurityFiles::BasicHeader("prom", std::to_string(t) + "-" +
                                                                         std::to_string(i))));
                if (status == 401 || status == 503) {
                    ++refused;
                }
            }
        });
    }
    ASSERT_TRUE(ExporterHarness::WaitFor([&] { return refused >= 50; }, 60s));
    // The scraper whose pair passed before is answered all the while, and polling goes on.
    int answered = 0;
    for (int i = 0; i < 10; ++i) {
        const std::string answer = Get(h.ExporterPort(), "/metrics", right);
        answered += Status(answer) == 200 &&
                    ExporterHarness::Sample(answer.substr(answer.find("\r\n\r\n")), "solvei_up",
                                            {{"processor", "fm"}}) == 1.0;
    }
    stop = true;
    for (auto& attacker : attackers) {
        attacker.join();
    }
    EXPECT_EQ(answered, 10);
}
