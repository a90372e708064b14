#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <future>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include "exporter/CHttpServer.h"
#include "exporter/HttpRequestHead.h"
#include "link/CIoThread.h"

using namespace std::chrono_literals;

namespace {

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    timeval limit{20, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return fd;
}

// Sends bytes and reads the whole answer (until the server closes).
std::string Exchange(int port, const std::string& bytes) {
    const int fd = Connect(port);
    if (fd < 0) {
        return {};
    }
    (void)send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::string answer;
    std::array<char, 65536> chunk{};
    for (ssize_t n; (n = recv(fd, chunk.data(), chunk.size(), 0)) > 0;) {
        answer.append(chunk.data(), static_cast<std::size_t>(n));
    }
    close(fd);
    return answer;
}

std::string Gunzip(const std::string& data) {
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) {
        return {};
    }
    std::string out(std::size_t{1} << 24, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return result == Z_STREAM_END ? out : std::string("(not gzip)");
}

// A server on its own thread whose handler answers every path with a long text, gzipped when
// the request allows it (as the exporter does).
class ServerFixture : public ::testing::Test {
protected:
    static constexpr std::size_t kCap = 8;

    void SetUp() override {
        thread.Run([this] {
            server = std::make_unique<CHttpServer>(
                thread.Context(),
                [this](const CHttpServer::Request& request, CHttpServer::Reply reply) {
                    auto response = CHttpServer::Response::Text(200, body);
                    if (request.acceptsGzip) {
                        response.body = std::make_shared<const std::string>(Gzip(body));
                        response.contentEncoding = "gzip";
                    }
                    reply(response);
                },
                kCap);
            ASSERT_FALSE(server->Listen("127.0.0.1", 0));
            port = server->LocalEndpoint().port();
        });
    }
    void TearDown() override {
        thread.Run([this] { server.reset(); });
        thread.Stop();
    }

    static std::string Gzip(const std::string& text) {
        z_stream stream{};
        deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
        std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        stream.avail_in = static_cast<uInt>(text.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, Z_FINISH);
        out.resize(stream.total_out);
        deflateEnd(&stream);
        return out;
    }

    std::string body = std::string(100000, 'x') + "end\n";
    CIoThread thread;
    std::unique_ptr<CHttpServer> server;
    int port = 0;
};

std::string BodyOf(const std::string& answer) {
    const auto at = answer.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : answer.substr(at + 4);
}

} // namespace

TEST(HttpRequestHeadParts, AcceptEncodingAndLineEnds) {
    struct Case {
        const char* head;
        int status;
        bool gzip;
    };
    const Case cases[] = {
        {"GET /metrics HTTP/1.1\r\nAccept-Encoding: gzip\r\n\r\n", 200, true},
        {"GET /metrics HTTP/1.1\r\naccept-encoding: deflate, GZIP;q=0.5\r\n\r\n", 200, true},
        {"GET /metrics HTTP/1.1\r\nAccept-Encoding: gzip;q=0\r\n\r\n", 200, false},
        {"GET /metrics HTTP/1.1\r\nAccept-Encoding: gzip;q=0.000, *\r\n\r\n", 200, false},
        {"GET /metrics HTTP/1.1\r\nAccept-Encoding: *\r\n\r\n", 200, true},
        {"GET /metrics HTTP/1.1\r\nAccept-Encoding: identity\r\n\r\n", 200, false},
        {"GET /metrics HTTP/1.1\r\nX-Accept-Encoding: gzip\r\n\r\n", 200, false},
        {"GET /metrics HTTP/1.1\nHost: a\nAccept-Encoding: gzip\n\n", 200, true},
        {"GET /metrics HTTP/1.1\n\n", 200, false},
        {"POST /metrics HTTP/1.1\r\nAccept-Encoding: gzip\r\n\r\n", 405, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head);
        const auto head = HttpRequestHead::Parse(c.head);
        EXPECT_EQ(head.status, c.status);
        EXPECT_EQ(head.acceptsGzip, c.gzip);
        EXPECT_EQ(HttpRequestHead::HeadEnd(c.head), std::string_view(c.head).size());
    }
    EXPECT_EQ(HttpRequestHead::HeadEnd("GET / HTTP/1.1\r\nHost: a\r\n"), std::string::npos);
    EXPECT_EQ(HttpRequestHead::HeadEnd("GET / HTTP/1.1\n\nrest"), 16u);
}

TEST_F(ServerFixture, AnswersBareLfOversizedHeadsWrongMethodsAndGzip) {
    const auto bare = Exchange(port, "GET /metrics HTTP/1.1\n\n");
    EXPECT_EQ(bare.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << bare.substr(0, 200);
    EXPECT_EQ(BodyOf(bare), body);

    const auto big = Exchange(port, "GET / HTTP/1.1\r\nX: " + std::string(20000, 'a'));
    EXPECT_EQ(big.rfind("HTTP/1.1 431 Request Header Fields Too Large\r\n", 0), 0u)
        << big.substr(0, 200);

    const auto post = Exchange(port, "POST / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(post.rfind("HTTP/1.1 405 ", 0), 0u);
    EXPECT_NE(post.find("\r\nAllow: GET, HEAD\r\n"), std::string::npos) << post;

    const auto gz = Exchange(port, "GET / HTTP/1.1\r\nAccept-Encoding: gzip\r\n\r\n");
    EXPECT_NE(gz.find("\r\nContent-Encoding: gzip\r\n"), std::string::npos);
    EXPECT_LT(BodyOf(gz).size(), body.size() / 10);
    EXPECT_EQ(Gunzip(BodyOf(gz)), body);

    const auto head = Exchange(port, "HEAD / HTTP/1.1\r\n\r\n");
    EXPECT_NE(head.find("Content-Length: " + std::to_string(body.size())), std::string::npos);
    EXPECT_EQ(BodyOf(head), "");
}

// Clients that connect and say nothing (or never finish a request) cannot take the port: the
// silent ones stay in the kernel until they speak, and past the cap the oldest of those that
// started a request is closed; a client that asks is answered at once.
TEST_F(ServerFixture, SilentClientsBeyondTheCapDoNotStarveARealOne) {
    std::vector<int> silent;
    for (std::size_t i = 0; i < kCap * 20; ++i) {
        const int fd = Connect(port);
        ASSERT_GE(fd, 0);
        if (i % 2 == 0) {
            (void)send(fd, "GET /metrics HTTP/1.1\r\n", 23, MSG_NOSIGNAL); // never finished
        }
        silent.push_back(fd);
    }
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const auto answer = Exchange(port, "GET /metrics HTTP/1.1\r\n\r\n");
        EXPECT_EQ(BodyOf(answer), body);
        // Far below the request time-out that would otherwise free a place.
        EXPECT_LT(std::chrono::steady_clock::now() - start, CHttpServer::kRequestTimeout / 2);
    }
    // All but the newest kCap of those that started a request were closed by the server (the
    // ones that said nothing are held by the kernel for a few seconds first).
    std::size_t closed = 0;
    std::size_t started = 0;
    for (std::size_t i = 0; i < silent.size(); ++i) {
        const int fd = silent[i];
        pollfd p{fd, POLLIN, 0};
        char c = 0;
        if (i % 2 == 0) {
            ++started;
            if (poll(&p, 1, 200) == 1 && recv(fd, &c, 1, MSG_DONTWAIT) <= 0) {
                ++closed;
            }
        }
        close(fd);
    }
    EXPECT_GE(closed, started - kCap);
}

// A client whose request comes a moment after its connect (a loaded machine, a slow network)
// is answered although clients that start a request and never finish it keep arriving: it
// is not taken from the kernel, and so not closed as the oldest silent one, before it speaks.
TEST_F(ServerFixture, AClientThatSpeaksLateIsNotClosedForTheSilentOnesBehindIt) {
    const int late = Connect(port);
    ASSERT_GE(late, 0);
    std::vector<int> unfinished;
    for (std::size_t i = 0; i < kCap * 5; ++i) {
        const int fd = Connect(port);
        ASSERT_GE(fd, 0);
        (void)send(fd, "GET /metrics HTTP/1.1\r\n", 23, MSG_NOSIGNAL);
        unfinished.push_back(fd);
    }
    // Time for the server to take every connection it is given.
    std::this_thread::sleep_for(300ms);
    const std::string request = "GET /metrics HTTP/1.1\r\n\r\n";
    (void)send(late, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    std::array<char, 65536> chunk{};
    for (ssize_t n; (n = recv(late, chunk.data(), chunk.size(), 0)) > 0;) {
        answer.append(chunk.data(), static_cast<std::size_t>(n));
    }
    close(late);
    for (const int fd : unfinished) {
        close(fd);
    }
    EXPECT_EQ(BodyOf(answer), body) << "the late client was closed unanswered";
}
