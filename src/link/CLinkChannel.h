#pragma once

#include "link/ByteString.h"

class CConnectionSettings;
class IChannelSink;

// One transport to the processor. The owner opens it once, sends packets one at a time and
// finally closes and destroys it. Reports go to the sink, possibly from inside these calls.
class CLinkChannel {
public:
    explicit CLinkChannel(IChannelSink* sink) : sink_(sink) {}
    virtual ~CLinkChannel() = default;
    CLinkChannel(const CLinkChannel&) = delete;
    CLinkChannel& operator=(const CLinkChannel&) = delete;

    virtual void Open(const CConnectionSettings& settings) = 0;
    virtual void Close() = 0;
    virtual void Send(const ByteString& bytes) = 0;

    void NotifyConnected();
    void NotifyDisconnected();
    void NotifyError(int code);
    void NotifyReceived(const ByteString& bytes);
    [[nodiscard]] int ExpectedLength(const ByteString& bytes);

private:
    IChannelSink* sink_;
};
