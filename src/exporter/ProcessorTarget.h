#pragma once

#include <string>

// One processor the exporter watches: its name in every metric and where to reach it.
struct ProcessorTarget {
    std::string name;
    std::string host; // UDP, when device is empty
    int port = 1203;
    std::string device;         // serial device path
    double intervalSeconds = 0; // 0: the exporter's interval

    [[nodiscard]] bool IsSerial() const { return !device.empty(); }
    [[nodiscard]] std::string Address() const {
        return IsSerial() ? device : host + ":" + std::to_string(port);
    }
};
