#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/ByteString.h"

// Command codes of the request packets.
namespace Command {
inline constexpr std::uint8_t Disconnect = 0x00;
inline constexpr std::uint8_t WriteParameter = 0x01;
inline constexpr std::uint8_t SendPreset = 0x02;
inline constexpr std::uint8_t SendUpgrade = 0x03;
inline constexpr std::uint8_t LoadPreset = 0x04;
inline constexpr std::uint8_t SavePreset = 0x05;
inline constexpr std::uint8_t Compare = 0x07;
inline constexpr std::uint8_t Revert = 0x08;
inline constexpr std::uint8_t RenamePreset = 0x09;
inline constexpr std::uint8_t MetersFlip = 0x0A;
inline constexpr std::uint8_t BypassUpdate = 0x0B;
inline constexpr std::uint8_t ReadVersion = 0x80;
inline constexpr std::uint8_t ReadParameter = 0x81;
inline constexpr std::uint8_t ReadLeds = 0x82;
inline constexpr std::uint8_t GetConfig = 0x83;
inline constexpr std::uint8_t GetFactoryPresetNumber = 0x84;
inline constexpr std::uint8_t GetPreset = 0x85;
} // namespace Command

inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::size_t kAllBytes = static_cast<std::size_t>(-1);
inline constexpr std::size_t kRenameNameLength = 15;

// Low 8 bits of the sum of the first count bytes (all of them for kAllBytes).
[[nodiscard]] std::uint8_t Checksum(const ByteString& packet, std::size_t count = kAllBytes);

// True when the packet is at most one byte long or its last byte is the checksum of the rest.
[[nodiscard]] bool ChecksumOk(const ByteString& packet);

// Length of the complete reply at the front of the accumulated bytes, or -1 while it is
// incomplete or not recognised. Outside XModem transfers only.
[[nodiscard]] int ExpectedReplyLength(const ByteString& bytes);

// Length of the complete request at the front of the bytes (what a processor expects), or -1
// while incomplete or for an unknown code.
[[nodiscard]] int ExpectedRequestLength(const ByteString& bytes);

// The line logged when a packet goes out, or empty for codes that log nothing (and for a
// packet too short to carry its command's arguments).
[[nodiscard]] std::string PacketLogText(const ByteString& packet);

// Request builders: command code, arguments, checksum.
[[nodiscard]] ByteString BuildDisconnect();
[[nodiscard]] ByteString BuildWriteParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                             std::uint8_t value);
[[nodiscard]] ByteString BuildSendPreset(std::uint8_t preset);
[[nodiscard]] ByteString BuildSendUpgrade();
[[nodiscard]] ByteString BuildLoadPreset(std::uint8_t preset);
[[nodiscard]] ByteString BuildSavePreset(std::uint8_t preset);
[[nodiscard]] ByteString BuildCompare();
[[nodiscard]] ByteString BuildRevert();
// The name is cut after 15 bytes and padded with 0x00 up to 15.
[[nodiscard]] ByteString BuildRenamePreset(std::uint8_t preset, std::string_view name);
[[nodiscard]] ByteString BuildMetersFlip();
[[nodiscard]] ByteString BuildBypassUpdate(std::uint8_t bypass);
[[nodiscard]] ByteString BuildReadVersion();
[[nodiscard]] ByteString BuildReadParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c);
[[nodiscard]] ByteString BuildReadLeds();
// The lock code goes out as the first four characters of its "%4i" text.
[[nodiscard]] ByteString BuildGetConfig(int lockCode);
[[nodiscard]] ByteString BuildGetFactoryPresetNumber();
[[nodiscard]] ByteString BuildGetPreset(std::uint8_t preset);
