#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "link/ByteString.h"

// Collects incoming bytes and cuts them into replies with the owner's length rule. The two
// transports cut differently: the serial line delivers only an exact match, UDP splits the
// first reply off a datagram and keeps the rest. Used from one thread only.
class CReplyAccumulator {
public:
    using LengthRule = std::function<int(const ByteString&)>;
    using Deliver = std::function<void(const ByteString&)>;

    // More than this without a complete reply cannot be a reply of the link; it is dropped.
    static constexpr std::size_t kMaxBytes = 65536;

    // Dropped when a new packet goes out: leftovers of an earlier exchange (noise, a late
    // duplicate) would otherwise be combined with every later reply.
    void Clear() { bytes_.clear(); }
    [[nodiscard]] const ByteString& Bytes() const { return bytes_; }

    // Serial line: the accumulation is delivered only when it is exactly one reply.
    void AddSerial(const std::uint8_t* data, std::size_t size, const LengthRule& length,
                   const Deliver& deliver);

    // One datagram: a complete first reply is delivered at once and the rest kept for the
    // next datagram. An empty datagram delivers whatever has accumulated.
    void AddDatagram(const std::uint8_t* data, std::size_t size, const LengthRule& length,
                     const Deliver& deliver);

private:
    void Append(const std::uint8_t* data, std::size_t size);

    ByteString bytes_;
};
