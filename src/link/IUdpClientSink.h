#pragma once

#include "link/ByteString.h"

// How a UDP client reports to its channel.
class IUdpClientSink {
public:
    virtual ~IUdpClientSink() = default;
    virtual void OnConnected() = 0;
    virtual void OnDisconnected() = 0;
    virtual void OnReceived(const ByteString& bytes) = 0;
    virtual int ExpectedLength(const ByteString& bytes) = 0;
    virtual void OnError(int code) = 0;
};
