#include "link/CSerialChannel.h"

#include <asio/write.hpp>

#include "link/CConnectionSettings.h"

CSerialChannel::CSerialChannel(IChannelSink* sink, CIoThread& io)
    : CLinkChannel(sink), io_(io), port_(io.Context()), readPause_(io.Context()) {}

CSerialChannel::~CSerialChannel() {
    io_.Run([this] {
        readPause_.cancel();
        port_.Close();
        alive_.reset();
    });
}

void CSerialChannel::Open(const CConnectionSettings& settings) {
    int error = 0;
    io_.Run([&] {
        error = port_.Open(settings.portName);
        if (error == 0) {
            error = port_.Setup(settings.baud, settings.data, settings.parity, settings.stop);
        }
        if (error == 0) {
            error = port_.SetHandshaking(settings.flow);
        }
        if (error != 0) {
            port_.Close();
            return;
        }
        StartRead();
    });
    if (error != 0) {
        NotifyError(-1);
        return;
    }
    NotifyConnected();
}

void CSerialChannel::Close() {
    bool wasOpen = false;
    io_.Run([&] {
        wasOpen = port_.IsOpen();
        readPause_.cancel();
        port_.Close();
        next_.reset();
    });
    if (wasOpen) {
        NotifyDisconnected();
    } else {
        NotifyError(-2);
    }
}

void CSerialChannel::Send(const ByteString& bytes) {
    io_.Dispatch([this, bytes, alive = std::weak_ptr<char>(alive_)] {
        if (alive.expired() || !port_.IsOpen()) {
            return;
        }
        accumulator_.Clear();
        if (writing_) {
            next_ = bytes;
        } else {
            StartWrite(bytes);
        }
    });
}

void CSerialChannel::StartWrite(ByteString bytes) {
    onLine_ = std::move(bytes);
    writing_ = true;
    asio::async_write(
        port_.Port(), asio::buffer(onLine_),
        [this, alive = std::weak_ptr<char>(alive_)](const std::error_code& error, std::size_t) {
            if (alive.expired()) {
                return;
            }
            writing_ = false;
            // A failed write ends this packet; the reply time-out repeats it.
            if (error == asio::error::operation_aborted || !port_.IsOpen()) {
                next_.reset();
                return;
            }
            if (next_) {
                ByteString bytes = std::move(*next_);
                next_.reset();
                StartWrite(std::move(bytes));
            }
        });
}

void CSerialChannel::FailPendingRead(const std::error_code& error) {
    io_.Run([this, error] {
        injectedError_ = error;
        std::error_code ignored;
        port_.Port().cancel(ignored);
    });
}

void CSerialChannel::StartRead() {
    port_.Port().async_read_some(
        asio::buffer(readBuffer_),
        [this, alive = std::weak_ptr<char>(alive_)](const std::error_code& error, std::size_t n) {
            if (!alive.expired()) {
                OnRead(error, n);
            }
        });
}

void CSerialChannel::OnRead(std::error_code error, std::size_t size) {
    if (error == asio::error::operation_aborted && injectedError_) {
        error = *injectedError_;
        injectedError_.reset();
    }
    if (error == asio::error::operation_aborted || !port_.IsOpen()) {
        return; // closed
    }
    if (error) {
        // A failed read ends that read only; reading goes on after a pause.
        readPause_.expires_after(kReadRetryPause);
        readPause_.async_wait([this, alive = std::weak_ptr<char>(alive_)](std::error_code ec) {
            if (!alive.expired() && !ec && port_.IsOpen()) {
                StartRead();
            }
        });
        return;
    }
    std::weak_ptr<char> alive = alive_;
    accumulator_.AddSerial(
        readBuffer_.data(), size, [this](const ByteString& b) { return ExpectedLength(b); },
        [this](const ByteString& reply) { NotifyReceived(reply); });
    if (!alive.expired() && port_.IsOpen()) {
        StartRead();
    }
}
