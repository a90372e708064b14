#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>

#include "link/CIoThread.h"
#include "link/CLinkChannel.h"
#include "link/CReplyAccumulator.h"
#include "link/CSerialPort.h"

// The link over a serial port. One thread runs the port's io_context: it reads, cuts the
// bytes into replies (an exact match only) and writes the packets handed to Send.
class CSerialChannel : public CLinkChannel {
public:
    explicit CSerialChannel(IChannelSink* sink);
    ~CSerialChannel() override;

    // Opens the settings' port name with its line codes; reports connected at once, or
    // error -1 when the port cannot be opened or set up.
    void Open(const CConnectionSettings& settings) override;
    // Reports disconnected, or error -2 when the port was not open.
    void Close() override;
    void Send(const ByteString& bytes) override;

private:
    void StartRead();
    void StartWrite();

    CIoThread thread_;
    CSerialPort port_;
    std::atomic<bool> open_{false};
    // Used on the channel's thread only.
    CReplyAccumulator accumulator_;
    std::array<std::uint8_t, 260> readBuffer_{};
    std::deque<ByteString> writes_;
    bool writing_ = false;
};
