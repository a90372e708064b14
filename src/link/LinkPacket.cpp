#include "link/LinkPacket.h"

#include <algorithm>
#include <cstdio>

namespace {

ByteString Finish(ByteString packet) {
    packet.push_back(Checksum(packet));
    return packet;
}

std::string Format(const char* format, int a = 0, int b = 0, int c = 0, int d = 0) {
    char line[128];
    std::snprintf(line, sizeof line, format, a, b, c, d);
    return line;
}

} // namespace

std::uint8_t Checksum(const ByteString& packet, std::size_t count) {
    const std::size_t n = std::min(count, packet.size());
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += packet[i];
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

bool ChecksumOk(const ByteString& packet) {
    if (packet.size() <= 1) {
        return true;
    }
    return Checksum(packet, packet.size() - 1) == packet.back();
}

int ExpectedReplyLength(const ByteString& bytes) {
    if (!bytes.empty() && bytes[0] == kNak) {
        return bytes.size() >= 2 && bytes[1] == kNak ? 2 : 1;
    }
    if (bytes.size() < 2) {
        return -1;
    }
    int length = -1;
    switch (bytes[1]) {
    case 0x00:
    case 0x03:
    case 0x07:
    case 0x08:
    case 0x0A:
    case 0x83:
        length = 3;
        break;
    case 0x01:
    case 0x81:
        length = 7;
        break;
    case 0x02:
    case 0x04:
    case 0x05:
    case 0x09:
    case 0x0B:
    case 0x84:
    case 0x85:
        length = 4;
        break;
    case 0x80:
        length = 6;
        break;
    case 0x82:
        length = 29;
        break;
    default:
        return -1;
    }
    return static_cast<std::size_t>(length) > bytes.size() ? -1 : length;
}

int ExpectedRequestLength(const ByteString& bytes) {
    if (bytes.empty()) {
        return -1;
    }
    int args = -1;
    switch (bytes[0]) {
    case 0x00:
    case 0x03:
    case 0x07:
    case 0x08:
    case 0x0A:
    case 0x80:
    case 0x82:
    case 0x84:
        args = 0;
        break;
    case 0x02:
    case 0x04:
    case 0x05:
    case 0x0B:
    case 0x85:
        args = 1;
        break;
    case 0x81:
        args = 3;
        break;
    case 0x01:
    case 0x83:
        args = 4;
        break;
    case 0x09:
        args = 1 + static_cast<int>(kRenameNameLength);
        break;
    default:
        return -1;
    }
    const int length = args + 2;
    return static_cast<std::size_t>(length) > bytes.size() ? -1 : length;
}

std::string PacketLogText(const ByteString& p) {
    if (p.empty()) {
        return {};
    }
    // Each command's line quotes its argument bytes; a shorter packet (an XModem control
    // byte that shares a code) must not be read past its end, so it logs nothing.
    auto has = [&](std::size_t args) { return p.size() >= 1 + args; };
    switch (p[0]) {
    case Command::Disconnect:
        return "Disconnecting.";
    case Command::WriteParameter:
        return has(4) ? Format("Write : %02x - %02x - %02x - %02x", p[1], p[2], p[3], p[4])
                      : std::string();
    case Command::SendPreset:
        return has(1) ? Format("Send Preset : %02x ", p[1]) : std::string();
    case Command::SendUpgrade:
        return "Send Upgrade";
    case Command::LoadPreset:
        return has(1) ? Format("Load Preset : %02x ", p[1]) : std::string();
    case Command::SavePreset:
        return has(1) ? Format("Save Preset : %02x ", p[1]) : std::string();
    case Command::Compare:
        return "Send Compare";
    case Command::Revert:
        return "Send Revert";
    case Command::RenamePreset:
        return has(1) ? Format("Send Rename for preset # %i", p[1]) : std::string();
    case Command::MetersFlip:
        return "Send Meters Flip";
    case Command::BypassUpdate:
        return has(1) ? Format("Send Bypass Update : %02x ", p[1]) : std::string();
    case Command::ReadVersion:
        return "Read version";
    case Command::ReadParameter:
        return has(3) ? Format("Read : %02x - %02x - %02x", p[1], p[2], p[3]) : std::string();
    case Command::ReadLeds:
        return "Read Leds State";
    case Command::GetConfig:
        return has(4) ? "Get Config. The Lock Code is " + std::string(p.begin() + 1, p.begin() + 5)
                      : std::string();
    case Command::GetFactoryPresetNumber:
        return "Get Factory Preset Number";
    case Command::GetPreset:
        return has(1) ? Format("Get Preset : %02x ", p[1]) : std::string();
    default:
        return {};
    }
}

ByteString BuildDisconnect() {
    return Finish({Command::Disconnect});
}

ByteString BuildWriteParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t value) {
    return Finish({Command::WriteParameter, a, b, c, value});
}

ByteString BuildSendPreset(std::uint8_t preset) {
    return Finish({Command::SendPreset, preset});
}
ByteString BuildSendUpgrade() {
    return Finish({Command::SendUpgrade});
}
ByteString BuildLoadPreset(std::uint8_t preset) {
    return Finish({Command::LoadPreset, preset});
}
ByteString BuildSavePreset(std::uint8_t preset) {
    return Finish({Command::SavePreset, preset});
}
ByteString BuildCompare() {
    return Finish({Command::Compare});
}
ByteString BuildRevert() {
    return Finish({Command::Revert});
}

ByteString BuildRenamePreset(std::uint8_t preset, std::string_view name) {
    ByteString packet{Command::RenamePreset, preset};
    const std::size_t n = std::min(name.size(), kRenameNameLength);
    packet.insert(packet.end(), name.begin(), name.begin() + n);
    packet.resize(2 + kRenameNameLength, 0x00);
    return Finish(std::move(packet));
}

ByteString BuildMetersFlip() {
    return Finish({Command::MetersFlip});
}
ByteString BuildBypassUpdate(std::uint8_t bypass) {
    return Finish({Command::BypassUpdate, bypass});
}
ByteString BuildReadVersion() {
    return Finish({Command::ReadVersion});
}
ByteString BuildReadParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return Finish({Command::ReadParameter, a, b, c});
}
ByteString BuildReadLeds() {
    return Finish({Command::ReadLeds});
}

ByteString BuildGetConfig(int lockCode) {
    char text[16];
    std::snprintf(text, sizeof text, "%4i", lockCode);
    ByteString packet{Command::GetConfig};
    packet.insert(packet.end(), text, text + 4);
    return Finish(std::move(packet));
}

ByteString BuildGetFactoryPresetNumber() {
    return Finish({Command::GetFactoryPresetNumber});
}
ByteString BuildGetPreset(std::uint8_t preset) {
    return Finish({Command::GetPreset, preset});
}
