#include "sim/CSimOptions.h"

#include <cstdlib>
#include <functional>
#include <map>

namespace {

bool ToInt(const std::string& text, long min, long max, int& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (*end != '\0' || value < min || value > max) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool ToProbability(const std::string& text, double& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !(value >= 0.0 && value <= 1.0)) {
        return false;
    }
    out = value;
    return true;
}

} // namespace

const char* CSimOptions::Usage() {
    return "usage: solvei-sim [OPTIONS]\n"
           "Simulates a Solvei AGC processor: answers the link protocol on UDP and a\n"
           "pseudo-terminal, with presets, live meters and optional faults.\n"
           "  --udp [HOST:]PORT   serve UDP there (default 127.0.0.1:1203; port 0 picks one)\n"
           "  --no-udp            do not serve UDP\n"
           "  --pty LINK          serve a pseudo-terminal and link LINK to its device\n"
           "  --baud N            pace the pseudo-terminal as a serial line of N baud, 8N1\n"
           "                      (50..4000000; default: as fast as the terminal goes)\n"
           "  --firmware VVV      the three version characters it reports (default 123)\n"
           "  --lock CODE         lock code 0..9999 that Get Config must carry (default 7)\n"
           "  --type N            processor type byte (default 3)\n"
           "  --description FILE  serve this description (.json source or bytes)\n"
           "  --presets N         number of presets, 8 user plus factory ones (8..64, "
           "default 16)\n"
           "  --state FILE        keep parameters and presets in FILE across runs\n"
           "  --seed N            seed of the fault injection and the programme signal\n"
           "  --nak P, --garble P, --drop P, --stray P\n"
           "                      probability per reply of a refusal, a garbled reply, a lost\n"
           "                      request, junk after the reply\n"
           "  --cancel P          probability per transfer packet of cancelling the transfer\n"
           "  --delay MS          send every reply this late\n"
           "  --split             send every reply in several pieces\n"
           "  --fleet N           serve N independent processors on N consecutive UDP ports\n"
           "                      from the --udp port (0 picks a free run), 1..1000\n"
           "  --help, --version   this text; the program's version\n"
           "exit codes: 0 stopped by SIGINT or SIGTERM, 1 wrong options or nothing to serve\n";
}

std::optional<CSimOptions> CSimOptions::Parse(const std::vector<std::string>& args,
                                              std::string& error) {
    CSimOptions o;
    using Setter = std::function<bool(const std::string&)>;
    const std::map<std::string, Setter> withValue = {
        {"--udp",
         [&](const std::string& v) {
             const auto colon = v.rfind(':');
             if (colon != std::string::npos) {
                 o.udpHost = v.substr(0, colon);
             }
             o.udp = true;
             return !o.udpHost.empty() &&
                    ToInt(colon == std::string::npos ? v : v.substr(colon + 1), 0, 65535,
                          o.udpPort);
         }},
        {"--pty", [&](const std::string& v) { return !(o.ptyLink = v).empty(); }},
        {"--firmware", [&](const std::string& v) { return (o.version = v).size() == 3; }},
        {"--lock", [&](const std::string& v) { return ToInt(v, 0, 9999, o.lockCode); }},
        {"--type", [&](const std::string& v) { return ToInt(v, 0, 255, o.type); }},
        {"--description", [&](const std::string& v) { return !(o.descriptionFile = v).empty(); }},
        {"--presets", [&](const std::string& v) { return ToInt(v, 8, 64, o.presets); }},
        {"--state", [&](const std::string& v) { return !(o.stateFile = v).empty(); }},
        {"--seed",
         [&](const std::string& v) {
             int seed = 0;
             const bool ok = ToInt(v, 0, 2147483647, seed);
             o.faults.seed = static_cast<std::uint32_t>(seed);
             return ok;
         }},
        {"--nak", [&](const std::string& v) { return ToProbability(v, o.faults.nak); }},
        {"--garble", [&](const std::string& v) { return ToProbability(v, o.faults.garble); }},
        {"--drop", [&](const std::string& v) { return ToProbability(v, o.faults.drop); }},
        {"--stray", [&](const std::string& v) { return ToProbability(v, o.faults.stray); }},
        {"--cancel", [&](const std::string& v) { return ToProbability(v, o.faults.cancel); }},
        {"--delay", [&](const std::string& v) { return ToInt(v, 0, 600000, o.faults.delayMs); }},
        {"--fleet", [&](const std::string& v) { return ToInt(v, 1, 1000, o.fleet); }},
    };
    bool baudGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.showVersion = true;
        } else if (arg == "--split") {
            o.faults.split = true;
        } else if (arg == "--no-udp") {
            o.udp = false;
        } else if (arg == "--baud") {
            // Below 50 baud a byte takes longer than a request's bytes may lie apart.
            if (i + 1 >= args.size() || !ToInt(args[i + 1], kMinBaud, kMaxBaud, o.baud)) {
                error = "--baud needs a line rate from " + std::to_string(kMinBaud) + " to " +
                        std::to_string(kMaxBaud) + " baud" +
                        (i + 1 < args.size() ? ", not \"" + args[i + 1] + "\"" : "");
                return std::nullopt;
            }
            baudGiven = true;
            ++i;
        } else if (auto it = withValue.find(arg); it != withValue.end()) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (!it->second(value)) {
                error = "bad value for " + arg + ": \"" + value + "\"";
                return std::nullopt;
            }
        } else {
            error = "unknown option \"" + arg + "\"";
            return std::nullopt;
        }
    }
    if (!o.udp && o.ptyLink.empty()) {
        error = "nothing to serve: --no-udp needs --pty";
        return std::nullopt;
    }
    if (baudGiven && o.ptyLink.empty()) {
        error = "--baud paces the pseudo-terminal: it needs --pty";
        return std::nullopt;
    }
    if (o.fleet > 0 && (!o.udp || !o.ptyLink.empty() || !o.stateFile.empty())) {
        error = "--fleet serves UDP only, without --no-udp, --pty or --state";
        return std::nullopt;
    }
    return o;
}
