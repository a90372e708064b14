#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "link/LinkPacket.h"

// Builds and checks the processor's packets with the link's checksum.
namespace SimPacket {

// An acknowledgement: 0x06, the echoed code, the data and the checksum.
inline std::vector<std::uint8_t> Ack(std::uint8_t code, std::span<const std::uint8_t> data = {}) {
    std::vector<std::uint8_t> reply{0x06, code};
    reply.insert(reply.end(), data.begin(), data.end());
    reply.push_back(Checksum(reply));
    return reply;
}

inline bool HasValidChecksum(std::span<const std::uint8_t> packet) {
    return ChecksumOk(ByteString(packet.begin(), packet.end()));
}

} // namespace SimPacket
