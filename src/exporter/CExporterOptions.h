#pragma once

#include <optional>
#include <string>
#include <vector>

#include "exporter/WebConfig.h"
#include "station/ProcessorTarget.h"

class QByteArray;

// The exporter's command line and its JSON config file. Processors from both are watched;
// a value given on the command line wins over the file's.
class CExporterOptions {
public:
    static constexpr const char* kDefaultListen = "0.0.0.0:9488";

    std::string listenHost = "0.0.0.0";
    int listenPort = 9488;
    double intervalSeconds = 1.0;
    int replyTimeoutMs = 500;
    int maxConnections = 64; // clients on the HTTP port at once
    std::vector<ProcessorTarget> processors;
    // The settings history: a git repository kept in historyDir (none when empty).
    std::string historyDir;
    double historyIntervalSeconds = 15 * 60;
    int historyPresetsHour = 4; // local time of the daily preset reading
    int historyPresetsMinute = 0;
    std::string webConfigFile; // --web.config.file: TLS and users, read into webConfig
    WebConfig webConfig;
    bool help = false;
    bool showVersion = false; // --version: print the program's version and stop

    // nullopt with one line of explanation for a bad command line or config file.
    [[nodiscard]] static std::optional<CExporterOptions> Parse(const std::vector<std::string>& args,
                                                               std::string& error);
    [[nodiscard]] static const char* Usage();

    // "NAME=HOST:PORT" or "NAME=/dev/DEVICE", either followed by ",lock=CODE".
    [[nodiscard]] static std::optional<ProcessorTarget> ParseProcessor(const std::string& text,
                                                                       std::string& error);
    // HOST:PORT; the host may be empty for every interface.
    [[nodiscard]] static bool ParseHostPort(const std::string& text, std::string& host, int& port);
    // The configuration file's text (the station file), as ReadConfig reads it, into
    // options; path names it in errors.
    [[nodiscard]] static bool ParseConfig(const QByteArray& text, const std::string& path,
                                          CExporterOptions& options, std::string& error);

private:
    // Reads the config file into options; the command line is applied afterwards.
    [[nodiscard]] static bool ReadConfig(const std::string& path, CExporterOptions& options,
                                         std::string& error);
    [[nodiscard]] static bool ValidName(const std::string& name);
    // "900", "90s", "15m", "1h": 1 s to a day.
    [[nodiscard]] static bool ParseDuration(const std::string& text, double& seconds);
    // "HH:MM", 00:00 to 23:59.
    [[nodiscard]] static bool ParseTimeOfDay(const std::string& text, int& hour, int& minute);
};
