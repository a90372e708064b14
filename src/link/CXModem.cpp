#include "link/CXModem.h"

#include <algorithm>

void CXModem::Reset() {
    finishing_ = false;
    active_ = false;
}

void CXModem::StartSend(const ByteString& data) {
    Log("Start Send Data through XModem Protocol");
    finishing_ = false;
    active_ = true;
    sending_ = true;
    data_ = data;
    work_ = data;
    block_ = 0;
    eotSent_ = false;
    cancelled_ = false;
    // The first block goes out at once, as if the receiver had asked with "C".
    OnData(ByteString{kStart});
}

void CXModem::StartReceive() {
    Log("Start Receive Data through XModem Protocol");
    finishing_ = false;
    active_ = true;
    sending_ = false;
    data_.clear();
    work_.clear();
    Log("Send handshake");
    block_ = 0;
    eotSent_ = false;
    cancelled_ = false;
    SendRaw(ByteString{kStart});
}

void CXModem::End() {
    finishing_ = false;
    active_ = false;
    OnTransferComplete();
}

bool CXModem::OnData(const ByteString& bytes) {
    return sending_ ? OnSendData(bytes) : OnReceiveData(bytes);
}

void CXModem::SendNextBlock() {
    ++block_;
    const auto number = static_cast<std::uint8_t>(block_ & 0xFF);
    // The last block is padded with 0x00 up to 128 data bytes.
    ByteString block(3 + kDataSize, 0x00);
    block[0] = kSoh;
    block[1] = number;
    block[2] = static_cast<std::uint8_t>(0xFF - number);
    const std::size_t take = std::min(work_.size(), kDataSize);
    std::copy_n(work_.begin(), take, block.begin() + 3);
    work_.erase(work_.begin(), work_.begin() + take);
    unsigned sum = 0;
    for (std::uint8_t b : block) {
        sum += b;
    }
    block.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    SendRaw(block);
}

bool CXModem::OnSendData(const ByteString& bytes) {
    if (bytes.empty()) {
        return true;
    }
    const std::uint8_t b0 = bytes[0];
    if (b0 == kAck || b0 == kStart) {
        if (!work_.empty()) {
            SendNextBlock();
        } else if (eotSent_) {
            End();
        } else {
            SendRaw(ByteString{kEot});
            eotSent_ = true;
        }
        return true;
    }
    if (b0 == kNak) {
        LogError("NACK");
        return false;
    }
    LogError("Unknown Package");
    cancelled_ = true;
    End();
    return true;
}

bool CXModem::OnReceiveData(const ByteString& bytes) {
    Log("Received XModem data");
    work_.insert(work_.end(), bytes.begin(), bytes.end());
    if (work_.size() >= kBlockSize) {
        Log("Normal XModem package");
        ByteString block(work_.begin(), work_.begin() + kBlockSize);
        work_.erase(work_.begin(), work_.begin() + kBlockSize);
        ++block_;
        const auto expected = static_cast<std::uint8_t>(block_ & 0xFF);
        if (block[0] != kSoh || block[1] != expected ||
            block[2] != static_cast<std::uint8_t>(0xFF - expected)) {
            Log("Cancel Transmission");
            cancelled_ = true;
            SendRaw(ByteString{kCan});
            finishing_ = true;
            return true;
        }
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < kBlockSize; ++i) {
            sum += block[i];
        }
        if (static_cast<std::uint8_t>(sum & 0xFF) == block[kBlockSize - 1]) {
            data_.insert(data_.end(), block.begin() + 3, block.begin() + 3 + kDataSize);
            SendRaw(ByteString{kAck});
        } else {
            --block_;
            LogError("Incorrect CRC");
            SendRaw(ByteString{kNak});
        }
    } else if (!work_.empty()) {
        if (work_[0] == kEot) {
            SendRaw(ByteString{kAck});
            finishing_ = true;
        } else if (work_[0] == kCan) {
            Log("Transmission Cancelled.");
            cancelled_ = true;
            End();
        }
    }
    return true;
}

int CXModem::ExpectedLength(const ByteString& bytes) const {
    if (bytes.empty()) {
        return -1;
    }
    const std::uint8_t b0 = bytes[0];
    if (b0 == kEot || b0 == kCan) {
        return 1;
    }
    if (bytes.size() >= kBlockSize) {
        return static_cast<int>(bytes.size());
    }
    if (b0 == kAck) {
        return 1;
    }
    if (sending_ && (b0 == kNak || b0 == kStart)) {
        return 1;
    }
    return -1;
}
