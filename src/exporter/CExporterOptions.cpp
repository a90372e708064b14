#include "exporter/CExporterOptions.h"

#include <algorithm>
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
           "                       [--processor NAME=HOST:PORT | --processor NAME=/dev/DEVICE]...\n"
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
           "                      a processor to watch (repeatable)\n"
           "  --web.config.file FILE\n"
           "                      YAML as Prometheus exporters read it: tls_server_config\n"
           "                      (cert_file, key_file, client_auth_type, client_ca_file,\n"
           "                      min_version, max_version) serves HTTPS; basic_auth_users\n"
           "                      (name: bcrypt hash, e.g. from htpasswd -nbBC 10 NAME PASS)\n"
           "                      asks for a password on every page. Unknown keys are refused.\n"
           "  --help, --version   this text; the program's version\n"
           "Serves every processor's state as Prometheus metrics on /metrics and a status\n"
           "page on /. Both show every processor's address (host and port or serial device)\n"
           "to anyone who can reach the port: keep it on a management network, or use\n"
           "--web.config.file for TLS and passwords.\n"
           "exit codes: 0 stopped by SIGINT or SIGTERM, 1 a wrong option, config or web\n"
           "config, a name given twice, or the address in use\n";
}

bool CExporterOptions::ValidName(const std::string& name) {
    return StationFile::ValidName(name);
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
    const std::string where = text.substr(equals + 1);
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
            arg != "--processor" && arg != "--max-connections" && arg != "--web.config.file") {
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
