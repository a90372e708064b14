#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <system_error>

#include <asio/steady_timer.hpp>

#include "link/CIoThread.h"
#include "link/CLinkChannel.h"
#include "link/CReplyAccumulator.h"
#include "link/CSerialPort.h"

// The link over a serial port. The port lives on the given I/O thread (the link engine's):
// it reads, cuts the bytes into replies (an exact match only) and writes the packets handed
// to Send. Every report to the sink comes from that thread; Open and Close called from
// another thread wait for it.
class CSerialChannel : public CLinkChannel {
public:
    // After a failed read the next one starts this much later, so a port that fails every
    // read (a device pulled out) does not keep the thread busy.
    static constexpr std::chrono::milliseconds kReadRetryPause{50};

    CSerialChannel(IChannelSink* sink, CIoThread& io);
    ~CSerialChannel() override;

    // Opens the settings' port name with its line codes; reports connected at once, or
    // error -1 when the port cannot be opened or set up.
    void Open(const CConnectionSettings& settings) override;
    // Reports disconnected, or error -2 when the port was not open.
    void Close() override;
    // Replaces the outgoing packet: a packet still waiting behind the one on the line (flow
    // control holding it) is dropped, so repetitions never pile up.
    void Send(const ByteString& bytes) override;

    // For tests: the pending read completes with this error. It also cancels a write on the
    // line, so call it while nothing is being sent.
    void FailPendingRead(const std::error_code& error);

private:
    void StartRead();
    void OnRead(std::error_code error, std::size_t size);
    void StartWrite(ByteString bytes);

    CIoThread& io_;
    // Everything below is used on the I/O thread only.
    CSerialPort port_;
    asio::steady_timer readPause_;
    CReplyAccumulator accumulator_;
    std::array<std::uint8_t, 260> readBuffer_{};
    ByteString onLine_;              // the packet being written; its buffer must stay put
    std::optional<ByteString> next_; // the packet to write once the line is free
    bool writing_ = false;
    std::optional<std::error_code> injectedError_;
    // Handlers hold it weakly: one that runs after the channel is gone does nothing.
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};
