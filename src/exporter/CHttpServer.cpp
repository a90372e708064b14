#include "exporter/CHttpServer.h"

#include <array>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sstream>

#include <optional>

#include <asio/post.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>
#include <asio/write.hpp>

#include "exporter/HttpRequestHead.h"

// One accepted connection: (with TLS, the handshake,) read the request head, answer, close.
// The server's list holds it until it finishes; pending handlers keep it alive after that and
// then do nothing.
class CHttpServer::Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(asio::ip::tcp::socket socket, CHttpServer& server)
        : m_timer(socket.get_executor()), m_server(&server) {
        if (server.m_tls) {
            m_tls.emplace(std::move(socket), *server.m_tls);
        } else {
            m_plain.emplace(std::move(socket));
        }
    }

    void Start(std::list<std::shared_ptr<Connection>>::iterator where) {
        m_where = where;
        Arm(m_server->m_requestTimeout);
        if (m_tls) {
            WaitForHello();
        } else {
            Read();
        }
    }

    [[nodiscard]] bool WaitingForRequest() const { return !m_answering; }

    // Closes the socket and leaves the server's list; safe to call more than once.
    void Finish() {
        if (m_finished) {
            return;
        }
        m_finished = true;
        std::error_code ignored;
        m_timer.cancel();
        Socket().close(ignored);
        auto self = shared_from_this(); // the list may hold the last reference
        m_server->m_connections.erase(m_where);
    }

private:
    asio::ip::tcp::socket& Socket() { return m_tls ? m_tls->next_layer() : *m_plain; }

    // Calls fn with the stream the request and answer travel on: TLS once it is set up.
    template <class Fn> void WithStream(Fn&& fn) {
        if (m_tls && !m_plainAnswer) {
            fn(*m_tls);
        } else {
            fn(Socket());
        }
    }

    void Arm(std::chrono::milliseconds limit) {
        m_timer.expires_after(limit);
        m_timer.async_wait([self = shared_from_this()](const std::error_code& ec) {
            if (!ec) {
                self->Finish();
            }
        });
    }

    // A TLS client starts with a handshake record; anything else is most likely plain HTTP,
    // answered in plain with what went wrong rather than a dropped connection.
    void WaitForHello() {
        Socket().async_wait(
            asio::socket_base::wait_read,
            [self = shared_from_this()](const std::error_code& ec) { self->OnHello(ec); });
    }

    void OnHello(const std::error_code& ec) {
        if (m_finished) {
            return;
        }
        std::array<unsigned char, 1> first{};
        std::error_code peek;
        const std::size_t n =
            ec ? 0 : Socket().receive(asio::buffer(first), asio::socket_base::message_peek, peek);
        if (ec || peek || n == 0) {
            Finish();
            return;
        }
        constexpr unsigned char kHandshakeRecord = 0x16;
        if (first[0] != kHandshakeRecord) {
            m_plainAnswer = true;
            Send(Response::Text(400, "this port speaks HTTPS: use https://\n"), false, "");
            return;
        }
        m_tls->async_handshake(asio::ssl::stream_base::server,
                               [self = shared_from_this()](const std::error_code& hs) {
                                   if (self->m_finished) {
                                       return;
                                   }
                                   if (hs) {
                                       self->Finish();
                                       return;
                                   }
                                   self->m_secured = true;
                                   self->Read();
                               });
    }

    void Read() {
        WithStream([this](auto& stream) {
            stream.async_read_some(
                asio::buffer(m_chunk),
                [self = shared_from_this()](const std::error_code& ec, std::size_t n) {
                    self->OnRead(ec, n);
                });
        });
    }

    void OnRead(const std::error_code& ec, std::size_t n) {
        if (m_finished) {
            return;
        }
        if (ec) {
            Finish();
            return;
        }
        m_in.append(m_chunk.data(), n);
        const std::size_t end = HttpRequestHead::HeadEnd(m_in);
        if (end == std::string::npos) {
            if (m_in.size() >= kMaxRequestBytes) {
                Send(Response::Text(431, "request head too large\n"), false, "");
            } else {
                Read();
            }
            return;
        }
        m_answering = true;
        const HttpRequestHead head = HttpRequestHead::Parse(std::string_view(m_in).substr(0, end));
        if (head.status == 400) {
            Send(Response::Text(400, "bad request\n"), false, "");
            return;
        }
        if (head.status == 405) {
            Send(Response::Text(405, "only GET and HEAD\n"), false, "Allow: GET, HEAD\r\n");
            return;
        }
        Arm(kAnswerTimeout);
        const bool headOnly = head.headOnly;
        m_server->m_handler({head.path, head.acceptsGzip, head.authorization},
                            [self = shared_from_this(), headOnly](Response response) {
                                asio::post(self->m_timer.get_executor(),
                                           [self, headOnly, r = std::move(response)]() mutable {
                                               self->Send(std::move(r), headOnly, "");
                                           });
                            });
    }

    void Send(Response response, bool headOnly, const char* extra) {
        if (m_finished) {
            return;
        }
        m_answering = true;
        m_response = std::move(response);
        const std::size_t length = m_response.body ? m_response.body->size() : 0;
        std::ostringstream head;
        head << "HTTP/1.1 " << m_response.status << " " << Reason(m_response.status) << "\r\n"
             << "Content-Type: " << m_response.contentType << "\r\n"
             << "Content-Length: " << length << "\r\n";
        if (!m_response.contentEncoding.empty()) {
            head << "Content-Encoding: " << m_response.contentEncoding << "\r\n";
        }
        head << "Vary: Accept-Encoding\r\n"
             << extra << m_response.extraHeaders << "Cache-Control: no-store\r\n"
             << "Connection: close\r\n\r\n";
        m_head = head.str();
        std::array<asio::const_buffer, 2> buffers = {asio::buffer(m_head), asio::const_buffer()};
        if (!headOnly && m_response.body) {
            buffers[1] = asio::buffer(*m_response.body);
        }
        WithStream([&](auto& stream) {
            asio::async_write(stream, buffers,
                              [self = shared_from_this()](const std::error_code& ec, std::size_t) {
                                  self->OnSent(ec);
                              });
        });
    }

    void OnSent(const std::error_code& ec) {
        if (m_finished) {
            return;
        }
        if (!ec && m_secured) {
            // close_notify, so the client knows the answer is whole; bounded by its own time.
            Arm(kShutdownTimeout);
            m_tls->async_shutdown(
                [self = shared_from_this()](const std::error_code&) { self->Finish(); });
            return;
        }
        std::error_code ignored;
        Socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        Finish();
    }

    std::optional<asio::ip::tcp::socket> m_plain;
    std::optional<asio::ssl::stream<asio::ip::tcp::socket>> m_tls;
    asio::steady_timer m_timer;
    CHttpServer* m_server;
    std::list<std::shared_ptr<Connection>>::iterator m_where;
    std::array<char, 2048> m_chunk{};
    std::string m_in;
    std::string m_head;
    Response m_response;
    bool m_answering = false;
    bool m_finished = false;
    bool m_plainAnswer = false; // plain HTTP came to the TLS port: answered without TLS
    bool m_secured = false;     // the TLS handshake is done
};

CHttpServer::Response CHttpServer::Response::Text(int status, std::string text) {
    Response response;
    response.status = status;
    response.body = std::make_shared<const std::string>(std::move(text));
    return response;
}

CHttpServer::CHttpServer(asio::io_context& io, Handler handler, std::size_t maxConnections)
    : m_io(io), m_acceptor(io), m_acceptPause(io), m_handler(std::move(handler)),
      m_maxConnections(std::max<std::size_t>(1, maxConnections)) {}

CHttpServer::~CHttpServer() {
    Close();
}

const char* CHttpServer::Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

void CHttpServer::UseTls(std::shared_ptr<asio::ssl::context> context) {
    m_tls = std::move(context);
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
    if (!ec) {
        // A connection is handed over only once its first bytes are in: a flood of clients
        // that connect and say nothing stays in the kernel, and a client slow to send its
        // request cannot be closed as the oldest silent one before it has spoken.
        // After a few seconds of silence the kernel hands it over anyway, and the request
        // deadline and the cap deal with it.
        const int wait = 3;
        if (::setsockopt(m_acceptor.native_handle(), IPPROTO_TCP, TCP_DEFER_ACCEPT, &wait,
                         sizeof wait) != 0) {
            ec = std::error_code(errno, std::generic_category());
        }
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
    m_acceptPause.cancel();
    while (!m_connections.empty()) {
        m_connections.front()->Finish();
    }
}

void CHttpServer::Evict() {
    for (const auto& connection : m_connections) {
        if (connection->WaitingForRequest()) {
            connection->Finish();
            return;
        }
    }
    if (!m_connections.empty()) {
        m_connections.front()->Finish();
    }
}

void CHttpServer::Admit(asio::ip::tcp::socket socket) {
    while (m_connections.size() >= m_maxConnections) {
        Evict();
    }
    // A small kernel buffer per client: one that never reads holds little, and answering a
    // crowd of them copies little before the next one is taken.
    std::error_code ignored;
    socket.set_option(asio::socket_base::send_buffer_size(kSendBufferBytes), ignored);
    auto connection = std::make_shared<Connection>(std::move(socket), *this);
    m_connections.push_back(connection);
    connection->Start(std::prev(m_connections.end()));
}

void CHttpServer::Accept() {
    m_acceptor.async_accept([this, alive = std::weak_ptr<const char>(m_alive)](
                                const std::error_code& ec, asio::ip::tcp::socket socket) {
        if (alive.expired() || ec == asio::error::operation_aborted || !m_acceptor.is_open()) {
            return;
        }
        if (ec) {
            // Out of descriptors or memory: free one and wait, rather than spin on the error.
            if (!m_connections.empty()) {
                Evict();
            }
            m_acceptPause.expires_after(kAcceptPause);
            m_acceptPause.async_wait([this, alive](const std::error_code& wait) {
                if (!alive.expired() && !wait && m_acceptor.is_open()) {
                    Accept();
                }
            });
            return;
        }
        Admit(std::move(socket));
        Accept();
    });
}
