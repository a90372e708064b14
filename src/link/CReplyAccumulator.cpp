#include "link/CReplyAccumulator.h"

void CReplyAccumulator::Append(const std::uint8_t* data, std::size_t size) {
    if (bytes_.size() + size > kMaxBytes) {
        bytes_.clear();
    }
    bytes_.insert(bytes_.end(), data, data + size);
}

void CReplyAccumulator::AddSerial(const std::uint8_t* data, std::size_t size,
                                  const LengthRule& length, const Deliver& deliver) {
    Append(data, size);
    if (!bytes_.empty() && length(bytes_) == static_cast<int>(bytes_.size())) {
        ByteString reply;
        reply.swap(bytes_);
        deliver(reply);
    }
}

void CReplyAccumulator::AddDatagram(const std::uint8_t* data, std::size_t size,
                                    const LengthRule& length, const Deliver& deliver) {
    if (size == 0) {
        if (!bytes_.empty()) {
            ByteString reply;
            reply.swap(bytes_);
            deliver(reply);
        }
        return;
    }
    Append(data, size);
    const int n = length(bytes_);
    if (n <= 0 || static_cast<std::size_t>(n) > bytes_.size()) {
        return;
    }
    ByteString reply(bytes_.begin(), bytes_.begin() + n);
    bytes_.erase(bytes_.begin(), bytes_.begin() + n);
    deliver(reply);
}
