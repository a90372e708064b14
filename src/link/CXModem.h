#pragma once

#include <cstdint>
#include <string>

#include "link/ByteString.h"

// XModem with 128-byte blocks and a one-byte sum, started by the receiver's "C". Every block
// and control byte goes out through SendRaw; the other side's next packet comes back through
// OnData. Not thread-safe on its own: the owner serialises every call.
class CXModem {
public:
    static constexpr std::uint8_t kSoh = 0x01;
    static constexpr std::uint8_t kEot = 0x04;
    static constexpr std::uint8_t kAck = 0x06;
    static constexpr std::uint8_t kNak = 0x15;
    static constexpr std::uint8_t kCan = 0x18;
    static constexpr std::uint8_t kStart = 'C';
    static constexpr std::size_t kDataSize = 128;
    static constexpr std::size_t kBlockSize = 132;

    CXModem() = default;
    virtual ~CXModem() = default;
    CXModem(const CXModem&) = delete;
    CXModem& operator=(const CXModem&) = delete;

    [[nodiscard]] bool IsActive() const { return active_; }
    [[nodiscard]] bool IsFinishing() const { return finishing_; }
    [[nodiscard]] bool IsSending() const { return sending_; }
    // The last transfer ended before its end: cancelled by either side or broken off by an
    // unexpected byte. Its data is incomplete.
    [[nodiscard]] bool WasCancelled() const { return cancelled_; }
    // Send side: the data to send. Receive side: the data received so far.
    [[nodiscard]] const ByteString& Data() const { return data_; }

    void StartSend(const ByteString& data);
    void StartReceive();
    // Returns false only for a NAK on the send side: the owner repeats its last packet.
    bool OnData(const ByteString& bytes);
    // Clears the flags, then reports the transfer as complete.
    void End();
    // Clears both flags without reporting (a fresh connection).
    void Reset();
    // Completion rule for replies while a transfer runs. During a send a lone NAK or "C" is
    // complete at once, so a refused block is repeated without waiting for the time-out.
    [[nodiscard]] int ExpectedLength(const ByteString& bytes) const;

protected:
    virtual void SendRaw(const ByteString& bytes) = 0;
    virtual void OnTransferComplete() = 0;
    virtual void LogError(const std::string& text) = 0;
    virtual void Log(const std::string& text) = 0;

private:
    bool OnSendData(const ByteString& bytes);
    bool OnReceiveData(const ByteString& bytes);
    void SendNextBlock();

    bool finishing_ = false;
    bool active_ = false;
    bool sending_ = false;
    bool eotSent_ = false;
    bool cancelled_ = false;
    ByteString data_;
    ByteString work_;
    std::uint32_t block_ = 0;
};
