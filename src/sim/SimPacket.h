#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "link/LinkPacket.h"

// Builds and checks the processor's packets with the link's checksum.
namespace SimPacket {

// An acknowledgement: 0x06, the echoed code, the data and the checksum.
inline std::vector<std::uint8_t> Ack(std::uint8_t code, std::span<const std::uint8_t> data = {}) {
    // Sized once and filled in place: inserting a span behind a braced list makes GCC 12 warn
    // about a copy out of bounds that cannot happen.
    std::vector<std::uint8_t> reply(data.size() + 2);
    reply[0] = 0x06;
    reply[1] = code;
    std::copy(data.begin(), data.end(), reply.begin() + 2);
    reply.push_back(Checksum(reply));
    return reply;
}

inline bool HasValidChecksum(std::span<const std::uint8_t> packet) {
    return ChecksumOk(ByteString(packet.begin(), packet.end()));
}

} // namespace SimPacket
