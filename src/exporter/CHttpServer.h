#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <system_error>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

namespace asio::ssl {
class context;
}

// A small HTTP/1.1 server for GET requests on its own io_context: each connection is answered
// once and closed. Built for an open port: at most maxConnections clients at a time (a new one
// closes the oldest that has not yet sent its request), a deadline for the request and one for
// the answer, a pause after an accept error, and answers whose bodies are shared, not copied.
// With TLS the handshake falls under the request's deadline and the same cap, so clients that
// stall in it are cut and evicted like any other.
class CHttpServer {
public:
    struct Request {
        std::string path; // without the query string
        bool acceptsGzip = false;
        std::string authorization; // the Authorization field's value, empty when missing
    };
    struct Response {
        int status = 200;
        std::string contentType = "text/plain; charset=utf-8";
        // Shared by every client of one scrape; a client that never reads holds no copy.
        std::shared_ptr<const std::string> body;
        std::string contentEncoding; // "gzip" or empty
        std::string extraHeaders;    // whole header lines, each ending in CRLF

        [[nodiscard]] static Response Text(int status, std::string text);
    };
    // Answers a request; callable once, from any thread.
    using Reply = std::function<void(Response)>;
    // Runs on the server's thread; may reply later.
    using Handler = std::function<void(const Request&, Reply)>;

    static constexpr std::size_t kMaxRequestBytes = 16384;
    static constexpr std::size_t kDefaultMaxConnections = 64;
    static constexpr int kSendBufferBytes = 65536;
    static constexpr std::chrono::seconds kRequestTimeout{10};
    static constexpr std::chrono::seconds kAnswerTimeout{30};
    static constexpr std::chrono::milliseconds kAcceptPause{100};
    // After a TLS answer: time for the client's close_notify before the socket is closed.
    static constexpr std::chrono::seconds kShutdownTimeout{2};

    CHttpServer(asio::io_context& io, Handler handler,
                std::size_t maxConnections = kDefaultMaxConnections);
    ~CHttpServer();

    // Serves TLS with this context instead of plain HTTP; before Listen.
    void UseTls(std::shared_ptr<asio::ssl::context> context);
    // The time a client has from connecting (handshake included) to the end of its request.
    void SetRequestTimeout(std::chrono::milliseconds limit) { m_requestTimeout = limit; }

    // Binds and listens; port 0 picks a free one.
    [[nodiscard]] std::error_code Listen(const std::string& host, int port);
    [[nodiscard]] asio::ip::tcp::endpoint LocalEndpoint() const;
    // Stops accepting and drops every connection.
    void Close();

    // The status line's reason for the codes this server sends.
    [[nodiscard]] static const char* Reason(int status);

private:
    class Connection;
    void Accept();
    void Admit(asio::ip::tcp::socket socket);
    // Closes the oldest connection still waiting for its request, else the oldest of all.
    void Evict();

    asio::io_context& m_io;
    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_acceptPause;
    Handler m_handler;
    std::size_t m_maxConnections;
    std::shared_ptr<asio::ssl::context> m_tls;
    std::chrono::milliseconds m_requestTimeout = kRequestTimeout;
    std::list<std::shared_ptr<Connection>> m_connections; // oldest first
    // Gone with the server: an accept that completed just before the server was destroyed is
    // still run by the io_context afterwards, and must not touch it.
    std::shared_ptr<const char> m_alive = std::make_shared<const char>();
};
