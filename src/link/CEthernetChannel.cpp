#include "link/CEthernetChannel.h"

#include "link/CConnectionSettings.h"
#include "link/CUdpClient.h"

CEthernetChannel::CEthernetChannel(IChannelSink* sink, CIoThread& io)
    : CLinkChannel(sink), io_(io), clientSink_(*this) {}

CEthernetChannel::~CEthernetChannel() = default;

void CEthernetChannel::Open(const CConnectionSettings& settings) {
    if (client_) {
        return;
    }
    client_ = std::make_unique<CUdpClient>(&clientSink_, io_);
    client_->Connect(settings.host, static_cast<std::uint16_t>(settings.port));
}

void CEthernetChannel::Close() {
    if (client_) {
        client_->Close();
        client_.reset();
    }
}

void CEthernetChannel::Send(const ByteString& bytes) {
    if (client_) {
        client_->Send(bytes);
    }
}
