#include "link/CLinkChannel.h"

#include "link/IChannelSink.h"

void CLinkChannel::NotifyConnected() {
    if (sink_ != nullptr) {
        sink_->OnConnected();
    }
}

void CLinkChannel::NotifyDisconnected() {
    if (sink_ != nullptr) {
        sink_->OnDisconnected();
    }
}

void CLinkChannel::NotifyError(int code) {
    if (sink_ != nullptr) {
        sink_->OnError(code);
    }
}

void CLinkChannel::NotifyReceived(const ByteString& bytes) {
    if (sink_ != nullptr) {
        sink_->OnReceived(bytes);
    }
}

int CLinkChannel::ExpectedLength(const ByteString& bytes) {
    return sink_ != nullptr ? sink_->ExpectedReplyLength(bytes) : -1;
}
