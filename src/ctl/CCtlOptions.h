#pragma once

#include <optional>
#include <string>
#include <vector>

// The command line of solvei-ctl: connection and options (anywhere on the line), then the
// command and its own arguments.
class CCtlOptions {
public:
    std::optional<std::string> host;
    std::optional<int> port;
    std::optional<std::string> serial;
    std::optional<int> lockCode;
    // A processor by name: the application's address book, then the station file.
    std::optional<std::string> processor;
    std::optional<std::string> stationFile;
    int timeoutMs = 1500;
    bool log = false;
    bool json = false;
    bool help = false;
    bool showVersion = false; // --version: print the program's version and stop
    std::string command;
    std::vector<std::string> args;

    [[nodiscard]] static std::optional<CCtlOptions> Parse(const std::vector<std::string>& argv,
                                                          std::string& error);
    // Decimal, or hexadecimal with a 0x prefix, within min..max.
    [[nodiscard]] static bool ParseNumber(const std::string& text, long min, long max, int& out);
    [[nodiscard]] static const char* Usage();
};
