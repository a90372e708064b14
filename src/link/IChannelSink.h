#pragma once

#include "link/ByteString.h"

// How a transport channel reports to its owner. Called from the channel's own thread
// (and from Open/Close callers); the channel holds none of its own locks while it calls.
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
