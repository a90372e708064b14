#include "exporter/CExporterOptions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <set>

#include <QFile>

#include "exporter/WebConfigReader.h"
#include "station/StationFile.h"

namespace {

bool ToInt(const std::string& text, long min, long max, int& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < min || value > max) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool ToInterval(double value, double& out) {
    if (!StationFile::ValidInterval(value)) {
        return false;
    }
    out = value;
    return true;
}

bool ToInterval(const std::string& text, double& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return *end == '\0' && ToInterval(value, out);
}

} // namespace

const char* CExporterOptions::Usage() {
    return "usage: solvei-exporter [--listen HOST:PORT] [--interval SECONDS] [--config FILE]\n"
           "                       [--timeout MS] [--max-connections N] [--web.config.file FILE]\n"
           "                       [--history DIR [--history-interval T]\n"
           "                        [--history-presets-at HH:MM]]\n"
           "                       [--processor NAME=HOST:PORT[,lock=CODE] |\n"
           "                        --processor NAME=/dev/DEVICE[,lock=CODE]]...\n"
           "  --listen HOST:PORT  serve /metrics and the status page there (default 0.0.0.0:9488;\n"
           "                      port 0 picks a free one)\n"
           "  --interval SECONDS  read each processor's LED state this often (default 1)\n"
           "  --timeout MS        reply time-out of the link, 10 tries (default 500)\n"
           "  --max-connections N clients served at once on the port (default 64); one more\n"
           "                      closes the oldest that has not sent its request yet\n"
           "  --config FILE       JSON: {\"listen\": ..., \"interval\": ..., \"timeout_ms\": ...,\n"
           "                      \"processors\": [{\"name\": ..., \"host\": ..., \"port\": ...,\n"
           "                      \"interval\": ...} or {\"name\": ..., \"device\": ...}]}\n"
           "  --processor NAME=HOST:PORT, --processor NAME=/dev/DEVICE\n"
           "                      a processor to watch (repeatable); \",lock=CODE\" gives its\n"
           "                      lock code for the history (default the factory code 7)\n"
           "  --web.config.file FILE\n"
           "                      YAML as Prometheus exporters read it: tls_server_config\n"
           "                      (cert_file, key_file, client_auth_type, client_ca_file,\n"
           "                      min_version, max_version) serves HTTPS; basic_auth_users\n"
           "                      (name: bcrypt hash, e.g. from htpasswd -nbBC 10 NAME PASS)\n"
           "                      asks for a password on every page. Unknown keys are refused.\n"
           "  --history DIR       keep every processor's settings in a git repository in DIR:\n"
           "                      a folder each, committed whenever they change; only reads\n"
           "  --history-interval T  read the parameters this often (seconds, or 90s, 15m, 1h;\n"
           "                      default 15m) and soon after the LED state shows a change\n"
           "  --history-presets-at HH:MM  read the presets' data daily then, local time\n"
           "                      (default 04:00), and after their names change\n"
           "  --help, --version   this text; the program's version\n"
           "Serves every processor's state as Prometheus metrics on /metrics and a status\n"
           "page on /. Both show every processor's address (host and port or serial device)\n"
           "to anyone who can reach the port: keep it on a management network, or use\n"
           "--web.config.file for TLS and passwords.\n"
           "exit codes: 0 stopped by SIGINT or SIGTERM, 1 a wrong option, config or web\n"
           "config, a name given twice, the address in use, or the history folder in use by\n"
           "another exporter\n";
}

bool CExporterOptions::ValidName(const std::string& name) {
    return StationFile::ValidName(name);
}

bool CExporterOptions::ParseDuration(const std::string& text, double& seconds) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    const std::string unit = end;
    const double scale = unit.empty() || unit == "s" ? 1
                         : unit == "m"               ? 60
                         : unit == "h"               ? 3600
                                                     : 0;
    const double result = value * scale;
    if (scale == 0 || !std::isfinite(result) || result < 1 || result > 24 * 3600) {
        return false;
    }
    seconds = result;
    return true;
}

bool CExporterOptions::ParseTimeOfDay(const std::string& text, int& hour, int& minute) {
    if (text.size() != 5 || text[2] != ':') {
        return false;
    }
    int h = 0;
    int m = 0;
    if (!ToInt(text.substr(0, 2), 0, 23, h) || !ToInt(text.substr(3), 0, 59, m) ||
        !std::isdigit(static_cast<unsigned char>(text[0])) ||
        !std::isdigit(static_cast<unsigned char>(text[3]))) {
        return false;
    }
    hour = h;
    minute = m;
    return true;
}

bool CExporterOptions::ParseHostPort(const std::string& text, std::string& host, int& port) {
    return StationFile::ParseHostPort(text, host, port);
}

std::optional<ProcessorTarget> CExporterOptions::ParseProcessor(const std::string& text,
                                                                std::string& error) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
        error = "--processor needs NAME=HOST:PORT or NAME=/dev/DEVICE, not \"" + text + "\"";
        return std::nullopt;
    }
    ProcessorTarget target;
    target.name = text.substr(0, equals);
    if (!ValidName(target.name)) {
        error = "bad processor name \"" + target.name +
                "\": use letters, digits, '-', '_' and '.' (at most 64)";
        return std::nullopt;
    }
    std::string where = text.substr(equals + 1);
    if (const auto comma = where.find(','); comma != std::string::npos) {
        const std::string option = where.substr(comma + 1);
        int code = 0;
        if (option.rfind("lock=", 0) != 0 || option.size() < 6 || option.size() > 9 ||
            !std::all_of(option.begin() + 5, option.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) ||
            !ToInt(option.substr(5), 0, 9999, code)) {
            error = "bad option for processor \"" + target.name + "\": \"" + option +
                    "\" (lock=CODE, 0 to 9999)";
            return std::nullopt;
        }
        target.lockCode = static_cast<std::uint32_t>(code);
        where = where.substr(0, comma);
    }
    if (!where.empty() && where.front() == '/') {
        target.device = where;
        return target;
    }
    if (!ParseHostPort(where, target.host, target.port) || target.host.empty() ||
        target.port == 0) {
        error = "bad address for processor \"" + target.name + "\": \"" + where +
                "\" (HOST:PORT or /dev/DEVICE)";
        return std::nullopt;
    }
    return target;
}

bool CExporterOptions::ReadConfig(const std::string& path, CExporterOptions& o,
                                  std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read config " + path + ": " + file.errorString().toStdString();
        return false;
    }
    return ParseConfig(file.readAll(), path, o, error);
}

bool CExporterOptions::ParseConfig(const QByteArray& text, const std::string& path,
                                   CExporterOptions& o, std::string& error) {
    StationFile file;
    file.listenHost = o.listenHost;
    file.listenPort = o.listenPort;
    file.intervalSeconds = o.intervalSeconds;
    file.replyTimeoutMs = o.replyTimeoutMs;
    if (!StationFile::Parse(text, path, file, error)) {
        return false;
    }
    o.listenHost = file.listenHost;
    o.listenPort = file.listenPort;
    o.intervalSeconds = file.intervalSeconds;
    o.replyTimeoutMs = file.replyTimeoutMs;
    o.processors.insert(o.processors.end(), file.processors.begin(), file.processors.end());
    return true;
}

std::optional<CExporterOptions> CExporterOptions::Parse(const std::vector<std::string>& args,
                                                        std::string& error) {
    // The config file comes first wherever it stands, so the command line overrides it.
    CExporterOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--config") {
            if (i + 1 >= args.size()) {
                error = "--config needs a value";
                return std::nullopt;
            }
            if (!ReadConfig(args[i + 1], o, error)) {
                return std::nullopt;
            }
        }
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // The flag as Prometheus exporters spell it, with the value after '=' too.
        if (arg.rfind("--web.config.file=", 0) == 0) {
            o.webConfigFile = arg.substr(arg.find('=') + 1);
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        if (arg == "--version") {
            o.showVersion = true;
            continue;
        }
        if (arg != "--listen" && arg != "--interval" && arg != "--config" && arg != "--timeout" &&
            arg != "--processor" && arg != "--max-connections" && arg != "--history" &&
            arg != "--history-interval" && arg != "--history-presets-at" &&
            arg != "--web.config.file") {
            error = "unknown option \"" + arg + "\"";
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (arg == "--listen") {
            ok = ParseHostPort(value, o.listenHost, o.listenPort);
        } else if (arg == "--interval") {
            ok = ToInterval(value, o.intervalSeconds);
        } else if (arg == "--timeout") {
            ok = ToInt(value, 10, 60000, o.replyTimeoutMs);
        } else if (arg == "--max-connections") {
            ok = ToInt(value, 1, 10000, o.maxConnections);
        } else if (arg == "--history") {
            ok = !value.empty();
            o.historyDir = value;
        } else if (arg == "--history-interval") {
            ok = ParseDuration(value, o.historyIntervalSeconds);
        } else if (arg == "--history-presets-at") {
            ok = ParseTimeOfDay(value, o.historyPresetsHour, o.historyPresetsMinute);
        } else if (arg == "--web.config.file") {
            o.webConfigFile = value;
        } else if (arg == "--processor") {
            auto target = ParseProcessor(value, error);
            if (!target) {
                return std::nullopt;
            }
            o.processors.push_back(std::move(*target));
        }
        if (!ok) {
            error = "bad value for " + arg + ": \"" + value + "\"";
            return std::nullopt;
        }
    }
    if (o.help || o.showVersion) {
        return o;
    }
    if (o.processors.empty()) {
        error = "no processor to watch: give --processor or a config file with \"processors\"";
        return std::nullopt;
    }
    if (!o.webConfigFile.empty() && !WebConfigReader::Read(o.webConfigFile, o.webConfig, error)) {
        return std::nullopt;
    }
    std::set<std::string> names;
    for (const auto& target : o.processors) {
        if (!names.insert(target.name).second) {
            error = "processor name \"" + target.name + "\" is given twice";
            return std::nullopt;
        }
    }
    return o;
}
