#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

// A small HTTP/1.1 server for GET requests, on the caller's io_context: each connection is
// answered once and closed. Enough for a scraper and a browser; nothing is kept between
// requests.
class CHttpServer {
public:
    struct Response {
        int status = 200;
        std::string contentType = "text/plain; charset=utf-8";
        std::string body;
    };
    // path: without the query string.
    using Handler = std::function<Response(const std::string& path)>;

    static constexpr std::size_t kMaxRequestBytes = 16384;
    static constexpr std::chrono::seconds kRequestTimeout{10};

    CHttpServer(asio::io_context& io, Handler handler);
    ~CHttpServer();

    // Binds and listens; port 0 picks a free one.
    [[nodiscard]] std::error_code Listen(const std::string& host, int port);
    [[nodiscard]] asio::ip::tcp::endpoint LocalEndpoint() const;
    void Close();

    // The status line's reason for the codes this server sends.
    [[nodiscard]] static const char* Reason(int status);

private:
    class Connection;
    void Accept();

    asio::io_context& m_io;
    asio::ip::tcp::acceptor m_acceptor;
    Handler m_handler;
};
