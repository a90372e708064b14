#pragma once

#include <string>
#include <vector>

#include "station/ProcessorTarget.h"

class QByteArray;

// The station file: one JSON file naming every processor of the station, read by the
// exporter (its --config) and by the desktop application and the command-line remote (their
// processors by name). Keys: "listen", "interval", "timeout_ms" (the exporter's own) and
// "processors": [{"name", "host", "port" | "device", "interval", "lock_code" or "lock"}].
class StationFile {
public:
    // Values the file leaves out keep what the caller put here.
    std::string listenHost = "0.0.0.0";
    int listenPort = 9488;
    double intervalSeconds = 1.0;
    int replyTimeoutMs = 500;
    std::vector<ProcessorTarget> processors;

    // The file's text into file (processors are appended); path names it in the one line of
    // error, which never holds a line break whatever the file holds.
    [[nodiscard]] static bool Parse(const QByteArray& text, const std::string& path,
                                    StationFile& file, std::string& error);
    // Reads and parses the file at path.
    [[nodiscard]] static bool Read(const std::string& path, StationFile& file, std::string& error);

    // Where the desktop application and the command-line remote look for the station file
    // when not told: $SOLVEI_STATION_FILE, else /etc/solvei/station.json.
    [[nodiscard]] static std::string DefaultPath();

    // Letters, digits, '-', '_' and '.', at most 64: a name that is also a metric label.
    [[nodiscard]] static bool ValidName(const std::string& name);
    // HOST:PORT; the host may be empty for every interface, "[::1]" names an IPv6 address.
    [[nodiscard]] static bool ParseHostPort(const std::string& text, std::string& host, int& port);
    // A polling interval the link can serve: 0.05 s to an hour.
    [[nodiscard]] static bool ValidInterval(double seconds);

private:
    [[nodiscard]] static bool ParseText(const QByteArray& text, const std::string& path,
                                        StationFile& file, std::string& error);
};
