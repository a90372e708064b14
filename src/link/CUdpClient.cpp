#include "link/CUdpClient.h"

#include <asio/post.hpp>
#include <asio/ip/address_v4.hpp>

#include "link/IUdpClientSink.h"

CUdpClient::CUdpClient(IUdpClientSink* sink) : sink_(sink), socket_(thread_.Context()) {}

CUdpClient::~CUdpClient() {
    thread_.Run([this] {
        std::error_code ec;
        socket_.close(ec);
    });
    thread_.Stop();
}

void CUdpClient::Connect(const std::string& host, std::uint16_t port) {
    std::error_code ec;
    asio::ip::address_v4 address = asio::ip::make_address_v4(host, ec);
    if (ec) {
        asio::ip::udp::resolver resolver(thread_.Context());
        auto results = resolver.resolve(asio::ip::udp::v4(), host, std::string(), ec);
        if (!ec && results.empty()) {
            ec = asio::error::host_not_found;
        }
        if (ec) {
            sink_->OnError(ec.value());
            return;
        }
        address = results.begin()->endpoint().address().to_v4();
    }
    peer_ = asio::ip::udp::endpoint(address, port);
    thread_.Run([&] { socket_.open(asio::ip::udp::v4(), ec); });
    if (ec) {
        sink_->OnError(ec.value());
        return;
    }
    state_ = State::Connect;
    asio::post(thread_.Context(), [this] {
        std::error_code error;
        socket_.connect(peer_, error);
        if (error) {
            sink_->OnError(error.value());
            return;
        }
        sink_->OnConnected();
        StartReceive();
    });
}

void CUdpClient::Send(const ByteString& bytes) {
    asio::post(thread_.Context(), [this, bytes] {
        if (!socket_.is_open()) {
            return;
        }
        accumulator_.Clear();
        std::error_code ec;
        const std::size_t sent = socket_.send(asio::buffer(bytes), 0, ec);
        if (ec || sent != bytes.size()) {
            sink_->OnError(ec ? ec.value() : static_cast<int>(asio::error::message_size));
            return;
        }
        state_ = State::Receive;
    });
}

void CUdpClient::Close() {
    thread_.Run([this] {
        std::error_code ec;
        socket_.close(ec);
        state_ = State::Stop;
    });
    sink_->OnDisconnected();
}

void CUdpClient::StartReceive() {
    socket_.async_receive(asio::buffer(receiveBuffer_), [this](const std::error_code& ec,
                                                               std::size_t n) {
        if (ec == asio::error::operation_aborted || !socket_.is_open()) {
            return;
        }
        // A refused or reset datagram (no peer listening yet) ends only this receive;
        // the reply time-out repeats the request. Anything else ends receiving.
        if (ec && ec != asio::error::connection_refused && ec != asio::error::connection_reset) {
            return;
        }
        if (!ec) {
            accumulator_.AddDatagram(
                receiveBuffer_.data(), n,
                [this](const ByteString& b) { return sink_->ExpectedLength(b); },
                [this](const ByteString& reply) { sink_->OnReceived(reply); });
        }
        StartReceive();
    });
}
