#include "link/CUdpClient.h"

#include <asio/ip/address_v4.hpp>

#include "link/IUdpClientSink.h"

CUdpClient::CUdpClient(IUdpClientSink* sink, CIoThread& io)
    : sink_(sink), io_(io), socket_(io.Context()), resolver_(io.Context()) {}

CUdpClient::~CUdpClient() {
    io_.Run([this] {
        CloseSocket();
        alive_.reset();
    });
}

void CUdpClient::CloseSocket() {
    resolver_.cancel();
    std::error_code ignored;
    socket_.close(ignored);
}

void CUdpClient::Connect(const std::string& host, std::uint16_t port) {
    io_.Run([this, host, port] {
        std::error_code error;
        const asio::ip::address_v4 address = asio::ip::make_address_v4(host, error);
        if (!error) {
            ConnectTo(asio::ip::udp::endpoint(address, port));
            return;
        }
        // A name lookup may take seconds; the thread serves everything else meanwhile.
        resolver_.async_resolve(
            asio::ip::udp::v4(), host, std::string(),
            [this, port, alive = std::weak_ptr<char>(alive_)](
                std::error_code ec, const asio::ip::udp::resolver::results_type& results) {
                if (alive.expired() || ec == asio::error::operation_aborted) {
                    return;
                }
                if (!ec && results.empty()) {
                    ec = asio::error::host_not_found;
                }
                if (ec) {
                    sink_->OnError(ec.value());
                    return;
                }
                ConnectTo(
                    asio::ip::udp::endpoint(results.begin()->endpoint().address().to_v4(), port));
            });
    });
}

void CUdpClient::ConnectTo(const asio::ip::udp::endpoint& peer) {
    std::error_code error;
    socket_.open(asio::ip::udp::v4(), error);
    if (!error) {
        // Fixes the datagram peer: only its datagrams are received.
        socket_.connect(peer, error);
    }
    if (error) {
        std::error_code ignored;
        socket_.close(ignored);
        sink_->OnError(error.value());
        return;
    }
    state_ = State::Connect;
    sink_->OnConnected();
    if (socket_.is_open()) {
        StartReceive();
    }
}

void CUdpClient::Send(const ByteString& bytes) {
    io_.Dispatch([this, bytes, alive = std::weak_ptr<char>(alive_)] {
        if (alive.expired() || !socket_.is_open()) {
            return;
        }
        accumulator_.Clear();
        std::error_code error;
        const std::size_t sent = socket_.send(asio::buffer(bytes), 0, error);
        if (error || sent != bytes.size()) {
            sink_->OnError(error ? error.value() : static_cast<int>(asio::error::message_size));
            return;
        }
        state_ = State::Receive;
    });
}

void CUdpClient::Close() {
    io_.Run([this] {
        CloseSocket();
        state_ = State::Stop;
    });
    sink_->OnDisconnected();
}

void CUdpClient::FailPendingReceive(const std::error_code& error) {
    io_.Run([this, error] {
        injectedError_ = error;
        std::error_code ignored;
        socket_.cancel(ignored);
    });
}

void CUdpClient::StartReceive() {
    socket_.async_receive(
        asio::buffer(receiveBuffer_),
        [this, alive = std::weak_ptr<char>(alive_)](const std::error_code& error, std::size_t n) {
            if (!alive.expired()) {
                OnReceive(error, n);
            }
        });
}

void CUdpClient::OnReceive(std::error_code error, std::size_t size) {
    if (error == asio::error::operation_aborted && injectedError_) {
        error = *injectedError_;
        injectedError_.reset();
    }
    // Only closing ends receiving. Any other error (an ICMP "port unreachable" or
    // "administratively prohibited" surfaces as one) ends this receive alone; the reply
    // time-out repeats the request and the answer to it must still be heard.
    if (error == asio::error::operation_aborted || error == asio::error::bad_descriptor ||
        !socket_.is_open()) {
        return;
    }
    if (!error) {
        std::weak_ptr<char> alive = alive_;
        accumulator_.AddDatagram(
            receiveBuffer_.data(), size,
            [this](const ByteString& b) { return sink_->ExpectedLength(b); },
            [this](const ByteString& reply) { sink_->OnReceived(reply); });
        if (alive.expired() || !socket_.is_open()) {
            return;
        }
    }
    StartReceive();
}
