#include "exporter/CExporterOptions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Control characters written as \xNN, so that a message about a file's own words stays on
// one line of the journal.
std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

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

// Polling faster than the link can answer makes no sense; slower than an hour is a mistake.
bool ToInterval(double value, double& out) {
    if (!std::isfinite(value) || value < 0.05 || value > 3600) {
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
           "                       [--timeout MS] [--max-connections N]\n"
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
           "  --help, --version   this text; the program's version\n"
           "Serves every processor's state as Prometheus metrics on /metrics and a status\n"
           "page on /; the page shows every processor's address, so keep the port on a\n"
           "management network.\n"
           "exit codes: 0 stopped by SIGINT or SIGTERM, 1 a wrong option or config, a name\n"
           "given twice, or the address in use\n";
}

bool CExporterOptions::ValidName(const std::string& name) {
    if (name.empty() || name.size() > 64) {
        return false;
    }
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool CExporterOptions::ParseHostPort(const std::string& text, std::string& host, int& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    host = text.substr(0, colon);
    // "[::1]:9488" names an IPv6 address.
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    return ToInt(text.substr(colon + 1), 0, 65535, port);
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
    if (ParseConfigText(text, path, o, error)) {
        return true;
    }
    // The file's own words (a key, a name) may hold line breaks: the error stays one line.
    error = Printable(error);
    return false;
}

bool CExporterOptions::ParseConfigText(const QByteArray& text, const std::string& path,
                                       CExporterOptions& o, std::string& error) {
    QJsonParseError parseError{};
    const auto document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // The place as an editor shows it: line and column, both from 1.
        const auto upTo = text.left(std::clamp<qsizetype>(parseError.offset, 0, text.size()));
        const auto line = upTo.count('\n') + 1;
        const auto column = upTo.size() - (upTo.lastIndexOf('\n') + 1) + 1;
        error = "config " + path + ": line " + std::to_string(line) + ", column " +
                std::to_string(column) + ": " + parseError.errorString().toStdString();
        return false;
    }
    if (!document.isObject()) {
        error = "config " + path + ": the top level must be an object";
        return false;
    }
    const auto root = document.object();
    const auto fail = [&](const std::string& what) {
        error = "config " + path + ": " + what;
        return false;
    };
    static const std::set<QString> kRootKeys = {"listen", "interval", "timeout_ms", "processors"};
    for (const auto& key : root.keys()) {
        if (!kRootKeys.count(key)) {
            return fail("unknown key \"" + key.toStdString() + "\"");
        }
    }
    if (root.contains("listen") &&
        (!root["listen"].isString() ||
         !ParseHostPort(root["listen"].toString().toStdString(), o.listenHost, o.listenPort))) {
        return fail("\"listen\" must be \"HOST:PORT\"");
    }
    if (root.contains("interval") &&
        (!root["interval"].isDouble() ||
         !ToInterval(root["interval"].toDouble(), o.intervalSeconds))) {
        return fail("\"interval\" must be a number of seconds from 0.05 to 3600");
    }
    if (root.contains("timeout_ms")) {
        const double ms = root["timeout_ms"].toDouble(-1);
        if (!root["timeout_ms"].isDouble() || ms < 10 || ms > 60000 || ms != std::floor(ms)) {
            return fail("\"timeout_ms\" must be a whole number from 10 to 60000");
        }
        o.replyTimeoutMs = static_cast<int>(ms);
    }
    if (!root.contains("processors")) {
        return true;
    }
    if (!root["processors"].isArray()) {
        return fail("\"processors\" must be a list");
    }
    const auto list = root["processors"].toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const std::string where = "processor " + std::to_string(i + 1);
        if (!list[i].isObject()) {
            return fail(where + " must be an object");
        }
        const auto entry = list[i].toObject();
        static const std::set<QString> kKeys = {"name", "host", "port", "device", "interval"};
        for (const auto& key : entry.keys()) {
            if (!kKeys.count(key)) {
                return fail(where + ": unknown key \"" + key.toStdString() + "\"");
            }
        }
        ProcessorTarget target;
        target.name = entry["name"].toString().toStdString();
        if (!entry["name"].isString() || !ValidName(target.name)) {
            return fail(where + ": \"name\" must use letters, digits, '-', '_' and '.'");
        }
        const bool serial = entry.contains("device");
        if (serial == entry.contains("host")) {
            return fail("processor \"" + target.name + "\" needs either \"host\" or \"device\"");
        }
        if (serial) {
            target.device = entry["device"].toString().toStdString();
            if (!entry["device"].isString() || target.device.empty() ||
                target.device.front() != '/') {
                return fail("processor \"" + target.name + "\": \"device\" must be a path");
            }
            if (entry.contains("port")) {
                return fail("processor \"" + target.name + "\": \"port\" goes with \"host\"");
            }
        } else {
            target.host = entry["host"].toString().toStdString();
            if (!entry["host"].isString() || target.host.empty()) {
                return fail("processor \"" + target.name +
                            "\": \"host\" must be a name or address");
            }
            if (entry.contains("port")) {
                const double port = entry["port"].toDouble(-1);
                if (!entry["port"].isDouble() || port < 1 || port > 65535 ||
                    port != std::floor(port)) {
                    return fail("processor \"" + target.name + "\": \"port\" must be 1..65535");
                }
                target.port = static_cast<int>(port);
            }
        }
        if (entry.contains("interval") &&
            (!entry["interval"].isDouble() ||
             !ToInterval(entry["interval"].toDouble(), target.intervalSeconds))) {
            return fail("processor \"" + target.name +
                        "\": \"interval\" must be a number of seconds from 0.05 to 3600");
        }
        o.processors.push_back(std::move(target));
    }
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
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        if (arg == "--version") {
            o.showVersion = true;
            continue;
        }
        if (arg != "--listen" && arg != "--interval" && arg != "--config" && arg != "--timeout" &&
            arg != "--processor" && arg != "--max-connections") {
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
    std::set<std::string> names;
    for (const auto& target : o.processors) {
        if (!names.insert(target.name).second) {
            error = "processor name \"" + target.name + "\" is given twice";
            return std::nullopt;
        }
    }
    return o;
}
