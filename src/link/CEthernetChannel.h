#pragma once

#include <memory>

#include "link/CLinkChannel.h"
#include "link/IUdpClientSink.h"

class CUdpClient;

// The link over UDP: a UDP client made on Open and destroyed on Close.
class CEthernetChannel : public CLinkChannel {
public:
    explicit CEthernetChannel(IChannelSink* sink);
    ~CEthernetChannel() override;

    void Open(const CConnectionSettings& settings) override;
    void Close() override;
    void Send(const ByteString& bytes) override;

private:
    // Forwards the client's reports to the channel's own notifications.
    class ClientSink : public IUdpClientSink {
    public:
        explicit ClientSink(CEthernetChannel& channel) : channel_(channel) {}
        void OnConnected() override { channel_.NotifyConnected(); }
        void OnDisconnected() override { channel_.NotifyDisconnected(); }
        void OnReceived(const ByteString& bytes) override { channel_.NotifyReceived(bytes); }
        int ExpectedLength(const ByteString& bytes) override {
            return channel_.ExpectedLength(bytes);
        }
        void OnError(int code) override { channel_.NotifyError(code); }

    private:
        CEthernetChannel& channel_;
    };

    ClientSink clientSink_;
    std::unique_ptr<CUdpClient> client_;
};
