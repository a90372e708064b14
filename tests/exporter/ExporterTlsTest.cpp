#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/ssl.hpp>
#include <asio/write.hpp>

#include "exporter/CHttpServer.h"
#include "exporter/ExporterHarness.h"
#include "exporter/TlsServerContext.h"
#include "exporter/WebSecurityFiles.h"
#include "link/CIoThread.h"

using namespace std::chrono_literals;

namespace {

const std::string kRequest = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

asio::ip::tcp::endpoint Local(int port) {
    return {asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)};
}

// One request over TLS, trusting only caFile; the whole answer, or "" with ec set.
std::string TlsExchange(int port, const std::string& caFile, const std::string& request,
                        std::error_code& ec) {
    asio::io_context io;
    asio::ssl::context context(asio::ssl::context::tls_client);
    context.load_verify_file(caFile, ec);
    if (ec) {
        return {};
    }
    context.set_verify_mode(asio::ssl::verify_peer);
    asio::ssl::stream<asio::ip::tcp::socket> stream(io, context);
    stream.next_layer().connect(Local(port), ec);
    if (!ec) {
        stream.handshake(asio::ssl::stream_base::client, ec);
    }
    if (ec) {
        return {};
    }
    asio::write(stream, asio::buffer(request), ec);
    std::string answer;
    asio::read(stream, asio::dynamic_buffer(answer), ec);
    // The server ends with close_notify: a clean end of stream, nothing cut.
    if (ec == asio::error::eof) {
        ec = {};
    }
    return answer;
}

// Whether the server closes the socket within limit (end of stream or reset).
bool ClosedWithin(asio::ip::tcp::socket& socket, asio::io_context& io,
                  std::chrono::milliseconds limit) {
    bool closed = false;
    std::array<char, 4096> chunk{};
    std::function<void(const std::error_code&, std::size_t)> onRead;
    onRead = [&](const std::error_code& ec, std::size_t) {
        if (ec) {
            closed = ec != asio::error::operation_aborted;
            return;
        }
        socket.async_read_some(asio::buffer(chunk), onRead);
    };
    socket.async_read_some(asio::buffer(chunk), onRead);
    io.restart();
    io.run_for(limit);
    if (!closed) {
        std::error_code ignored;
        socket.cancel(ignored);
        io.restart();
        io.run();
    }
    return closed;
}

// A server on its own thread answering every request over TLS with the path.
class TlsServer : public testing::Test {
protected:
    void SetUp() override {
        h.emplace("tls-server");
        ASSERT_TRUE(WebSecurityFiles::MakeCertificate(h->Path(""), "server"));
        ASSERT_TRUE(WebSecurityFiles::MakeCertificate(h->Path(""), "stranger"));
    }
    void Start(std::size_t maxConnections, std::chrono::milliseconds requestTimeout) {
        WebConfig::Tls tls;
        tls.certFile = h->Path("server.crt");
        tls.keyFile = h->Path("server.key");
        std::string error;
        auto context = TlsServerContext::Make(tls, error);
        ASSERT_TRUE(context) << error;
        std::error_code ec;
        thread.Run([&] {
            server = std::make_unique<CHttpServer>(
                thread.Context(),
                [](const CHttpServer::Request& request, CHttpServer::Reply reply) {
                    reply(CHttpServer::Response::Text(200, "hello " + request.path + "\n"));
                },
                maxConnections);
            server->UseTls(context);
            server->SetRequestTimeout(requestTimeout);
            ec = server->Listen("127.0.0.1", 0);
            port = server->LocalEndpoint().port();
        });
        ASSERT_FALSE(ec) << ec.message();
    }
    void TearDown() override {
        thread.Run([&] { server.reset(); });
    }

    std::optional<ExporterHarness> h;
    CIoThread thread;
    std::unique_ptr<CHttpServer> server;
    int port = 0;
};

} // namespace

TEST_F(TlsServer, ATlsClientIsAnsweredAPlainOneIsToldToUseHttps) {
    Start(CHttpServer::kDefaultMaxConnections, CHttpServer::kRequestTimeout);
    std::error_code ec;
    std::string answer = TlsExchange(port, h->Path("server.crt"), kRequest, ec);
    EXPECT_FALSE(ec) << ec.message();
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
    EXPECT_NE(answer.find("\r\n\r\nhello /metrics\n"), std::string::npos) << answer;

    // Plain HTTP gets a plain answer saying what to do, not a dropped connection.
    int status = 0;
    answer = ExporterHarness::HttpGet(port, "/metrics", &status).value_or("no answer");
    EXPECT_EQ(status, 400);
    EXPECT_EQ(answer, "this port speaks HTTPS: use https://\n");

    // A client that does not trust the certificate gives up in the handshake.
    answer = TlsExchange(port, h->Path("stranger.crt"), kRequest, ec);
    EXPECT_TRUE(ec);
    EXPECT_EQ(answer, "");

    // And the server goes on serving.
    answer = TlsExchange(port, h->Path("server.crt"), kRequest, ec);
    EXPECT_FALSE(ec) << ec.message();
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
}

TEST_F(TlsServer, AStalledHandshakeIsCutAtTheRequestDeadline) {
    Start(CHttpServer::kDefaultMaxConnections, 300ms);
    struct Case {
        const char* name;
        std::string sent;
    };
    const Case cases[] = {
        // Held by the kernel until its deferred accept runs out (a few seconds), then cut.
        {"connects and says nothing", ""},
        {"half a client hello", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11)},
        {"a full record header, then nothing", std::string("\x16\x03\x01\x00\x40", 5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        asio::io_context io;
        asio::ip::tcp::socket socket(io);
        socket.connect(Local(port));
        if (!c.sent.empty()) {
            asio::write(socket, asio::buffer(c.sent));
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(ClosedWithin(socket, io, 20s));
        // Closed by the deadline, not at once for the bytes sent.
        EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
    }
}

TEST_F(TlsServer, StalledHandshakesBeyondTheCapDoNotKeepOutAClient) {
    // Deadlines far beyond the test: only the cap can make room.
    Start(4, 600s);
    asio::io_context io;
    std::vector<asio::ip::tcp::socket> stalled;
    for (int i = 0; i < 40; ++i) {
        stalled.emplace_back(io);
        stalled.back().connect(Local(port));
        if (i % 2 == 0) {
            asio::write(stalled.back(),
                        asio::buffer(std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc", 9)));
        }
    }
    std::error_code ec;
    const std::string answer = TlsExchange(port, h->Path("server.crt"), kRequest, ec);
    EXPECT_FALSE(ec) << ec.message();
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
    // Of those that began a handshake all but the newest few were closed to make room (the
    // ones that said nothing are held by the kernel for a few seconds first).
    int closed = 0;
    for (std::size_t i = 0; i < stalled.size(); i += 2) {
        closed += ClosedWithin(stalled[i], io, 50ms) ? 1 : 0;
    }
    EXPECT_GE(closed, 20 - 4);
}

namespace {

// An exporter serving HTTPS with one user, and a simulator for it to watch.
class SecuredExporter : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WebSecurityFiles::MakeCertificate(h.Path(""), "exporter"));
        sim = h.StartSim({"--udp", "127.0.0.1:0"});
        ASSERT_EQ(sim.ports.size(), 1u);
        std::ofstream(h.Path("web.yml"))
            << "tls_server_config:\n  cert_file: exporter.crt\n  key_file: exporter.key\n"
               "basic_auth_users:\n  prom: "
            << WebSecurityFiles::BcryptHash("s3cret") << "\n";
        ASSERT_TRUE(h.StartExporter({"--web.config.file", h.Path("web.yml"), "--processor",
                                     "fm=127.0.0.1:" + std::to_string(sim.ports[0])}));
        url = "https://127.0.0.1:" + std::to_string(h.ExporterPort());
    }

    ExporterHarness h{"tls-exporter"};
    ExporterHarness::Sim sim;
    std::string url;
};

} // namespace

TEST_F(SecuredExporter, CurlScrapesOverTlsWithThePassword) {
    if (!std::filesystem::exists("/usr/bin/curl")) {
        GTEST_SKIP() << "curl is not installed";
    }
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;    // curl's
        std::string out; // in what it printed
    };
    const std::string ca = h.Path("exporter.crt");
    const Case cases[] = {
        {"metrics",
         {"--cacert", ca, "-u", "prom:s3cret", url + "/metrics"},
         0,
         "solvei_up{processor=\"fm\"} 1"},
        {"status page", {"--cacert", ca, "-u", "prom:s3cret", url + "/"}, 0, "fm"},
        {"no password", {"--cacert", ca, "-w", "%{http_code}", url + "/metrics"}, 0, "401"},
        {"untrusted certificate", {url + "/metrics"}, 60, ""},
        {"plain HTTP to the TLS port",
         {"http://127.0.0.1:" + std::to_string(h.ExporterPort()) + "/metrics"},
         0,
         "this port speaks HTTPS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> argv = {"/usr/bin/curl", "-sS", "--max-time", "20"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        // solvei_up reaches 1 once the first poll is in.
        TestProcess::Result last;
        EXPECT_TRUE(ExporterHarness::WaitFor(
            [&] {
                last = TestProcess::Run(argv, {}, 30s);
                return last.exitCode == c.exitCode && last.out.find(c.out) != std::string::npos;
            },
            60s))
            << "curl exit " << last.exitCode << ": " << last.out.substr(0, 300) << last.err;
    }
}

TEST_F(SecuredExporter, PrometheusScrapesOverTlsWithBasicAuth) {
    if (!std::filesystem::exists("/usr/bin/prometheus")) {
        GTEST_SKIP() << "prometheus is not installed";
    }
    std::ofstream(h.Path("prometheus.yml"))
        << "global:\n  scrape_interval: 1s\n"
           "scrape_configs:\n  - job_name: solvei\n    scheme: https\n"
           "    scrape_timeout: 900ms\n"
           "    tls_config:\n      ca_file: "
        << h.Path("exporter.crt") << "\n"
        << "    basic_auth:\n      username: prom\n      password: s3cret\n"
           "    static_configs:\n      - targets: [\"127.0.0.1:"
        << h.ExporterPort() << "\"]\n";
    const int port = ExporterHarness::FreeTcpPort();
    TestProcess prometheus({"/usr/bin/prometheus", "--config.file=" + h.Path("prometheus.yml"),
                            "--storage.tsdb.path=" + h.Path("data"),
                            "--web.listen-address=127.0.0.1:" + std::to_string(port),
                            "--log.level=warn"},
                           {});
    const auto query = [&](const std::string& expression) {
        const auto body =
            ExporterHarness::HttpGet(port, "/api/v1/query?query=" + expression).value_or("");
        const auto json = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
        const auto result = json["data"].toObject()["result"].toArray();
        return result.size() == 1 ? result[0].toObject()["value"].toArray()[1].toString()
                                  : QString();
    };
    // The scrape itself succeeds (up) and carries the processor's state (solvei_up).
    EXPECT_TRUE(ExporterHarness::WaitFor(
        [&] { return query("up") == "1" && query("solvei_up") == "1"; }, 30s))
        << "up=" << query("up").toStdString();
    prometheus.Stop(SIGTERM, 10s);
}
