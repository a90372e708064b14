#pragma once

#include "link/ByteString.h"

// How a transport channel reports to its owner. The link engine's channels call it on the
// engine's thread, which drives their port or socket, also from inside Open, Send and Close.
class IChannelSink {
public:
    virtual ~IChannelSink() = default;
    virtual void OnConnected() = 0;
    virtual void OnDisconnected() = 0;
    virtual void OnError(int code) = 0;
    virtual void OnReceived(const ByteString& bytes) = 0;
    // Length of the complete reply at the front of the accumulated bytes, or -1.
    virtual int ExpectedReplyLength(const ByteString& bytes) = 0;
};
