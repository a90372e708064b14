#include "link/CSerialChannel.h"

#include <asio/post.hpp>
#include <asio/write.hpp>

#include "link/CConnectionSettings.h"

CSerialChannel::CSerialChannel(IChannelSink* sink) : CLinkChannel(sink), port_(thread_.Context()) {}

CSerialChannel::~CSerialChannel() {
    thread_.Run([this] { port_.Close(); });
    thread_.Stop();
}

void CSerialChannel::Open(const CConnectionSettings& settings) {
    int error = 0;
    thread_.Run([&] {
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
        open_ = true;
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
    thread_.Run([&] {
        wasOpen = port_.IsOpen();
        open_ = false;
        port_.Close();
        writes_.clear();
    });
    if (wasOpen) {
        NotifyDisconnected();
    } else {
        NotifyError(-2);
    }
}

void CSerialChannel::Send(const ByteString& bytes) {
    asio::post(thread_.Context(), [this, bytes] {
        if (!port_.IsOpen()) {
            return;
        }
        accumulator_.Clear();
        writes_.push_back(bytes);
        if (!writing_) {
            StartWrite();
        }
    });
}

void CSerialChannel::StartWrite() {
    writing_ = true;
    asio::async_write(port_.Port(), asio::buffer(writes_.front()),
                      [this](const std::error_code& ec, std::size_t) {
                          writing_ = false;
                          // A failed write ends this packet; the reply time-out repeats it.
                          if (ec == asio::error::operation_aborted || !port_.IsOpen()) {
                              writes_.clear();
                              return;
                          }
                          if (!writes_.empty()) {
                              writes_.pop_front();
                          }
                          if (!writes_.empty()) {
                              StartWrite();
                          }
                      });
}

void CSerialChannel::StartRead() {
    port_.Port().async_read_some(
        asio::buffer(readBuffer_), [this](const std::error_code& ec, std::size_t n) {
            // Cancelled means closed; any other failure ends reading and the reply
            // time-out takes over.
            if (ec) {
                return;
            }
            accumulator_.AddSerial(
                readBuffer_.data(), n, [this](const ByteString& b) { return ExpectedLength(b); },
                [this](const ByteString& reply) { NotifyReceived(reply); });
            if (port_.IsOpen()) {
                StartRead();
            }
        });
}
