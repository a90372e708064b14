#include "exporter/CHttpServer.h"

#include <sstream>

#include <asio/read_until.hpp>
#include <asio/steady_timer.hpp>
#include <asio/streambuf.hpp>
#include <asio/buffers_iterator.hpp>
#include <asio/write.hpp>

#include "exporter/HttpRequestHead.h"

// One accepted connection: read the request head, answer, close. It keeps itself alive
// through the handlers it has pending.
class CHttpServer::Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(asio::ip::tcp::socket socket, const Handler& handler)
        : m_socket(std::move(socket)), m_timer(m_socket.get_executor()), m_buffer(kMaxRequestBytes),
          m_handler(handler) {}

    void Start() {
        auto self = shared_from_this();
        m_timer.expires_after(kRequestTimeout);
        m_timer.async_wait([self](const std::error_code& ec) {
            if (!ec) {
                std::error_code ignored;
                self->m_socket.close(ignored);
            }
        });
        asio::async_read_until(
            m_socket, m_buffer, "\r\n\r\n",
            [self](const std::error_code& ec, std::size_t) { self->OnHead(ec); });
    }

private:
    void OnHead(const std::error_code& ec) {
        if (ec == asio::error::not_found) {
            Reply({413, "text/plain; charset=utf-8", "request head too large\n"});
            return;
        }
        if (ec) {
            m_timer.cancel();
            return;
        }
        const auto data = m_buffer.data();
        const std::string text(asio::buffers_begin(data), asio::buffers_end(data));
        const HttpRequestHead request = HttpRequestHead::Parse(text);
        if (request.status == 400) {
            Reply({400, "text/plain; charset=utf-8", "bad request\n"});
            return;
        }
        if (request.status == 405) {
            Reply({405, "text/plain; charset=utf-8", "only GET\n"});
            return;
        }
        Response response = m_handler(request.path);
        Reply(std::move(response), request.headOnly);
    }

    void Reply(Response response, bool headOnly = false) {
        std::ostringstream head;
        head << "HTTP/1.1 " << response.status << " " << Reason(response.status) << "\r\n"
             << "Content-Type: " << response.contentType << "\r\n"
             << "Content-Length: " << response.body.size() << "\r\n"
             << "Cache-Control: no-store\r\n"
             << "Connection: close\r\n\r\n";
        m_out = head.str();
        if (!headOnly) {
            m_out += response.body;
        }
        auto self = shared_from_this();
        asio::async_write(
            m_socket, asio::buffer(m_out), [self](const std::error_code&, std::size_t) {
                std::error_code ignored;
                self->m_socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
                self->m_socket.close(ignored);
                self->m_timer.cancel();
            });
    }

    asio::ip::tcp::socket m_socket;
    asio::steady_timer m_timer;
    asio::streambuf m_buffer;
    Handler m_handler;
    std::string m_out;
};

CHttpServer::CHttpServer(asio::io_context& io, Handler handler)
    : m_io(io), m_acceptor(io), m_handler(std::move(handler)) {}

CHttpServer::~CHttpServer() {
    Close();
}

const char* CHttpServer::Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

std::error_code CHttpServer::Listen(const std::string& host, int port) {
    std::error_code ec;
    const auto address = asio::ip::make_address(host.empty() ? "0.0.0.0" : host, ec);
    if (ec) {
        return ec;
    }
    const asio::ip::tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
    m_acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        m_acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
    }
    if (!ec) {
        m_acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        m_acceptor.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        std::error_code ignored;
        m_acceptor.close(ignored);
        return ec;
    }
    Accept();
    return {};
}

asio::ip::tcp::endpoint CHttpServer::LocalEndpoint() const {
    std::error_code ec;
    return m_acceptor.local_endpoint(ec);
}

void CHttpServer::Close() {
    std::error_code ignored;
    m_acceptor.close(ignored);
}

void CHttpServer::Accept() {
    m_acceptor.async_accept([this](const std::error_code& ec, asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !m_acceptor.is_open()) {
            return;
        }
        if (!ec) {
            std::make_shared<Connection>(std::move(socket), m_handler)->Start();
        }
        Accept();
    });
}
