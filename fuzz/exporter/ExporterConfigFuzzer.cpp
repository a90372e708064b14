// Any bytes as the exporter's configuration file: it is read or refused with one line naming
// the file, and what it lets through is a usable set of options.
#include <cstddef>
#include <cstdint>
#include <string>

#include <QByteArray>

#include "exporter/CExporterOptions.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CExporterOptions options;
    std::string error;
    if (!CExporterOptions::ParseConfig(text, "station.json", options, error)) {
        Check(!error.empty() && error.find("station.json") != std::string::npos);
        Check(error.find('\n') == std::string::npos);
        return 0;
    }
    Check(options.listenPort >= 0 && options.listenPort <= 65535);
    Check(options.intervalSeconds > 0);
    for (const ProcessorTarget& target : options.processors) {
        Check(!target.name.empty());
        Check(!target.lockCode || *target.lockCode <= 9999);
        Check(target.IsSerial() ? target.device.front() == '/'
                                : !target.host.empty() && target.port > 0 && target.port <= 65535);
    }
    return 0;
}
