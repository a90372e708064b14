#include "ctl/CCtlOptions.h"

#include <cerrno>
#include <cstdlib>

bool CCtlOptions::ParseNumber(const std::string& text, long min, long max, int& out) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits[0] == '-' || digits[0] == '+' || digits[0] == ' ') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(digits.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

const char* CCtlOptions::Usage() {
    return "usage: solvei-ctl [CONNECTION] [OPTIONS] COMMAND [ARGS]\n"
           "Runs one command against a Solvei processor over UDP or a serial line.\n"
           "connection (default: the application's saved settings):\n"
           "  --host HOST --port PORT   UDP\n"
           "  --serial PORT             COMn or a device path\n"
           "  --processor NAME          an entry of the application's address book, else of\n"
           "                            the station file (its lock code too, unless --lock)\n"
           "  --station FILE            the station file (default $SOLVEI_STATION_FILE, else\n"
           "                            /etc/solvei/station.json)\n"
           "options:\n"
           "  --lock CODE      lock code for Get Config\n"
           "  --timeout MS     reply time-out (default 1500)\n"
           "  --log            the link log on stderr as it happens\n"
           "  --json           results as JSON, one line each\n"
           "  --help, --version  this text; the program's version\n"
           "commands:\n"
           "  version              the processor's version\n"
           "  read A B C           a parameter's value\n"
           "  write A B C V        set a parameter; prints the value the processor kept\n"
           "  leds                 preset, view, bypass, markers and meter levels\n"
           "  watch [--count N]    the live meters, until Ctrl+C or N states\n"
           "  bypass on|off        switch bypass\n"
           "  meters-flip          switch the meters between AGC and input/output\n"
           "  compare              switch to side B: the preset as loaded, without the edits\n"
           "  revert               back to side A: the edits\n"
           "  describe             the control description as indented JSON\n"
           "  describe --file FILE the same of a description file (bytes or .json source)\n"
           "  presets              every preset's number and name\n"
           "  preset-get N FILE    save preset N to FILE\n"
           "  preset-send N FILE   send FILE to user preset N and check it was kept\n"
           "  preset-load N        load preset N\n"
           "  preset-save N        save the current settings as user preset N\n"
           "  preset-rename N NAME rename user preset N (Latin-1, up to 15 characters)\n"
           "  upgrade FILE         send a firmware image\n"
           "  snapshot FILE        every parameter, preset and marker into a snapshot file\n"
           "  diff A B             compare two snapshots, each a FILE or live (exit 0 the same,\n"
           "                       1 they differ)\n"
           "  restore FILE [--dry-run] [--yes] [--parameters-only|--presets-only]\n"
           "                       write back what differs from the snapshot, then check it\n"
           "Numbers are decimal or 0x-prefixed hexadecimal; preset N is the number on the wire\n"
           "(0 is U1:, 8 is F1:).\n"
           "exit codes: 0 done, 1 usage, 2 no connection, no response or data not kept,\n"
           "3 refused by the processor (a wrong lock code included), 4 bad file,\n"
           "5 unexpected failure\n";
}

std::optional<CCtlOptions> CCtlOptions::Parse(const std::vector<std::string>& argv,
                                              std::string& error) {
    CCtlOptions o;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argv.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        int number = 0;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.showVersion = true;
        } else if (arg == "--log") {
            o.log = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--host") {
            if (!value(text) || text.empty()) {
                error = error.empty() ? "--host needs a host name" : error;
                return std::nullopt;
            }
            o.host = text;
        } else if (arg == "--processor" || arg == "--station") {
            if (!value(text) || text.empty()) {
                error = error.empty() ? arg + " needs a value" : error;
                return std::nullopt;
            }
            (arg == "--processor" ? o.processor : o.stationFile) = text;
        } else if (arg == "--serial") {
            if (!value(text) || text.empty()) {
                error = error.empty() ? "--serial needs a port" : error;
                return std::nullopt;
            }
            o.serial = text;
        } else if (arg == "--port" || arg == "--lock" || arg == "--timeout") {
            if (!value(text)) {
                return std::nullopt;
            }
            const long max = arg == "--port" ? 65535 : arg == "--lock" ? 9999 : 600000;
            const long min = arg == "--timeout" ? 1 : 0;
            if (!ParseNumber(text, min, max, number)) {
                error = "bad value for " + arg + ": \"" + text + "\"";
                return std::nullopt;
            }
            if (arg == "--port") {
                o.port = number;
            } else if (arg == "--lock") {
                o.lockCode = number;
            } else {
                o.timeoutMs = number;
            }
        } else if (o.command.empty()) {
            if (arg.rfind("--", 0) == 0) {
                error = "unknown option \"" + arg + "\"";
                return std::nullopt;
            }
            o.command = arg;
        } else {
            o.args.push_back(arg);
        }
    }
    if (o.serial && (o.host || o.port)) {
        error = "--serial cannot be combined with --host or --port";
        return std::nullopt;
    }
    if (o.processor && (o.serial || o.host || o.port)) {
        error = "--processor cannot be combined with --host, --port or --serial";
        return std::nullopt;
    }
    if (o.command.empty() && !o.help && !o.showVersion) {
        error = "no command given";
        return std::nullopt;
    }
    return o;
}
