#include "station/StationFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tools/TextPlace.h"

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

} // namespace

std::string StationFile::DefaultPath() {
    if (const char* path = std::getenv("SOLVEI_STATION_FILE"); path != nullptr && *path != '\0') {
        return path;
    }
    return "/etc/solvei/station.json";
}

bool StationFile::ValidName(const std::string& name) {
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

bool StationFile::ValidInterval(double seconds) {
    // Polling faster than the link can answer makes no sense; slower than an hour is a mistake.
    return std::isfinite(seconds) && seconds >= 0.05 && seconds <= 3600;
}

bool StationFile::ParseHostPort(const std::string& text, std::string& host, int& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const std::string digits = text.substr(colon + 1);
    if (digits.empty()) {
        return false;
    }
    char* end = nullptr;
    const long value = std::strtol(digits.c_str(), &end, 10);
    if (*end != '\0' || value < 0 || value > 65535) {
        return false;
    }
    port = static_cast<int>(value);
    return true;
}

bool StationFile::Read(const std::string& path, StationFile& file, std::string& error) {
    QFile source(QString::fromStdString(path));
    if (!source.open(QIODevice::ReadOnly)) {
        error = "cannot read config " + path + ": " + source.errorString().toStdString();
        return false;
    }
    return Parse(source.readAll(), path, file, error);
}

bool StationFile::Parse(const QByteArray& text, const std::string& path, StationFile& file,
                        std::string& error) {
    if (ParseText(text, path, file, error)) {
        return true;
    }
    // The file's own words (a key, a name) may hold line breaks: the error stays one line.
    error = Printable(error);
    return false;
}

bool StationFile::ParseText(const QByteArray& text, const std::string& path, StationFile& o,
                            std::string& error) {
    QJsonParseError parseError{};
    const auto document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const auto offset = std::clamp<qsizetype>(parseError.offset, 0, text.size());
        error = "config " + path + ": " +
                TextPlace::At(std::string_view(text.constData(), std::size_t(text.size())),
                              std::size_t(offset)) +
                ": " + parseError.errorString().toStdString();
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
    if (root.contains("interval")) {
        if (!root["interval"].isDouble() || !ValidInterval(root["interval"].toDouble())) {
            return fail("\"interval\" must be a number of seconds from 0.05 to 3600");
        }
        o.intervalSeconds = root["interval"].toDouble();
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
        static const std::set<QString> kKeys = {"name",     "host",      "port", "device",
                                                "interval", "lock_code", "lock"};
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
        if (entry.contains("interval")) {
            if (!entry["interval"].isDouble() || !ValidInterval(entry["interval"].toDouble())) {
                return fail("processor \"" + target.name +
                            "\": \"interval\" must be a number of seconds from 0.05 to 3600");
            }
            target.intervalSeconds = entry["interval"].toDouble();
        }
        // "lock" is the shorter spelling of "lock_code"; one of them.
        if (entry.contains("lock_code") && entry.contains("lock")) {
            return fail("processor \"" + target.name +
                        "\": give \"lock\" or \"lock_code\", not both");
        }
        if (entry.contains("lock_code") || entry.contains("lock")) {
            const QString key = entry.contains("lock") ? "lock" : "lock_code";
            const double code = entry[key].toDouble(-1);
            if (!entry[key].isDouble() || code < 0 || code > 9999 || code != std::floor(code)) {
                return fail("processor \"" + target.name + "\": \"" + key.toStdString() +
                            "\" must be a whole number from 0 to 9999");
            }
            target.lockCode = static_cast<std::uint32_t>(code);
        }
        o.processors.push_back(std::move(target));
    }
    return true;
}
