#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ProcessorTarget;

// One processor by name: the way to it (Ethernet with host and port, a COM port, a USB
// adapter by its stable name or any other device path) and its lock code.
struct AddressEntry {
    enum class Origin { Own, Station };

    static constexpr const char* kEthernet = "Ethernet";

    std::string name;
    // "Ethernet", "COMn" or an absolute device path, as the settings record names ports.
    std::string portName = kEthernet;
    std::string host;
    std::uint32_t port = 1203;
    // Absent for a station file entry without one: the lock code field keeps its value.
    std::optional<std::uint32_t> lockCode;
    Origin origin = Origin::Own;
    // When it was chosen for a connect last, as a rising count; 0: never.
    std::uint64_t lastUse = 0;

    [[nodiscard]] bool IsEthernet() const { return portName == kEthernet || portName == "TCP"; }
    // "host:port" for Ethernet, else the port name.
    [[nodiscard]] std::string Address() const {
        return IsEthernet() ? host + ":" + std::to_string(port) : portName;
    }
    // A processor of the station file as an entry.
    [[nodiscard]] static AddressEntry FromTarget(const ProcessorTarget& target);
};
