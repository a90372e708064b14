#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/CFaultInjector.h"

// The simulator's command line.
class CSimOptions {
public:
    std::string udpHost = "127.0.0.1";
    int udpPort = 1203;
    bool udp = true;
    std::string ptyLink;
    int baud = 0; // the pseudo-terminal's line rate; 0: not paced
    static constexpr int kMinBaud = 50;
    static constexpr int kMaxBaud = 4000000;
    std::string version = "123";
    int lockCode = 7;
    int type = 3;
    int presets = 16;
    int fleet = 0; // 0: one processor; N: N processors on consecutive UDP ports
    std::string descriptionFile;
    std::string stateFile;
    CFaultInjector::Options faults;
    bool help = false;
    bool showVersion = false; // --version: print the program's version and stop

    // nullopt with a message for a bad command line.
    [[nodiscard]] static std::optional<CSimOptions> Parse(const std::vector<std::string>& args,
                                                          std::string& error);
    [[nodiscard]] static const char* Usage();
};
