#pragma once

#include <cstdint>
#include <optional>
#include <string>

// One processor of the station file: its name and where to reach it. The exporter watches
// it under that name; the desktop application and the command-line remote offer it by name.
struct ProcessorTarget {
    std::string name;
    std::string host; // UDP, when device is empty
    int port = 1203;
    std::string device;         // serial device path
    double intervalSeconds = 0; // 0: the exporter's interval
    // The processor's lock code, for the programs that read its description (the exporter's
    // settings history among them); none: the factory code.
    std::optional<std::uint32_t> lockCode;

    [[nodiscard]] bool IsSerial() const { return !device.empty(); }
    [[nodiscard]] std::string Address() const {
        return IsSerial() ? device : host + ":" + std::to_string(port);
    }
};
