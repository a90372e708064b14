#pragma once

#include <memory>

#include "link/CLinkChannel.h"
#include "link/IUdpClientSink.h"

class CIoThread;
class CUdpClient;

// The link over UDP: a UDP client on the given I/O thread, made on Open and destroyed on
// Close.
class CEthernetChannel : public CLinkChannel {
public:
    CEthernetChannel(IChannelSink* sink, CIoThread& io);
    ~CEthernetChannel() override;

    void Open(const CConnectionSettings& settings) override;
    void Close() override;
    void Send(const ByteString& bytes) override;

    // The client while open, else none (for tests).
    [[nodiscard]] CUdpClient* Client() { return client_.get(); }

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

    CIoThread& io_;
    ClientSink clientSink_;
    std::unique_ptr<CUdpClient> client_;
};
