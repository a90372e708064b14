#pragma once

#include <cstdint>
#include <vector>

// A packet or any run of bytes on the link; it may hold 0x00 bytes.
using ByteString = std::vector<std::uint8_t>;
