#include "ctl/CCtlCommands.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>
#include <unistd.h>

#include "ctl/CLedState.h"
#include "ctl/CMeterView.h"
#include "ctl/PresetLabel.h"
#include "description/ControlDescription.h"
#include "description/DescriptionJson.h"

namespace {

constexpr int kAcceptedType = 3;
constexpr int kUserPresets = 8;
constexpr std::size_t kNameBytes = 15;

std::string NameOf(const ByteString& preset) {
    const auto end =
        preset.begin() + static_cast<std::ptrdiff_t>(std::min(kNameBytes, preset.size()));
    return std::string(preset.begin(), std::find(preset.begin(), end, 0));
}

bool ReadFile(const std::string& path, ByteString& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

CCtlCommands::CCtlCommands(const CCtlOptions& options, CConnectionSettings& settings,
                           std::ostream& out, std::ostream& err, const volatile bool& stop)
    : m_options(options), m_settings(settings), m_out(out), m_err(err), m_stop(stop) {}

const std::map<std::string, CCtlCommands::Entry>& CCtlCommands::Table() {
    static const std::map<std::string, Entry> table = {
        {"version", {0, 0, &CCtlCommands::Version}},
        {"read", {3, 3, &CCtlCommands::Read}},
        {"write", {4, 4, &CCtlCommands::Write}},
        {"leds", {0, 0, &CCtlCommands::Leds}},
        {"watch", {0, 2, &CCtlCommands::Watch}},
        {"bypass", {1, 1, &CCtlCommands::Bypass}},
        {"meters-flip", {0, 0, &CCtlCommands::MetersFlip}},
        {"compare", {0, 0, &CCtlCommands::Compare}},
        {"revert", {0, 0, &CCtlCommands::Revert}},
        {"describe", {0, 0, &CCtlCommands::Describe}},
        {"presets", {0, 0, &CCtlCommands::Presets}},
        {"preset-get", {2, 2, &CCtlCommands::PresetGet}},
        {"preset-send", {2, 2, &CCtlCommands::PresetSend}},
        {"preset-load", {1, 1, &CCtlCommands::PresetLoad}},
        {"preset-save", {1, 1, &CCtlCommands::PresetSave}},
        {"preset-rename", {2, 2, &CCtlCommands::PresetRename}},
        {"upgrade", {1, 1, &CCtlCommands::Upgrade}},
    };
    return table;
}

int CCtlCommands::Usage(const std::string& message) {
    m_err << "solvei-ctl: " << message << "\n";
    return kUsage;
}

int CCtlCommands::BadFile(const std::string& message) {
    m_err << "solvei-ctl: " << message << "\n";
    return kBadFile;
}

bool CCtlCommands::Number(std::size_t arg, long min, long max, int& out) {
    return CCtlOptions::ParseNumber(m_options.args.at(arg), min, max, out);
}

bool CCtlCommands::Preset(std::size_t arg, bool userOnly, int& out) {
    return Number(arg, 0, userOnly ? kUserPresets - 1 : 255, out);
}

std::string CCtlCommands::PresetLabel(int number) {
    return ::PresetLabel(number) + ":";
}

void CCtlCommands::Done(const std::string& json) {
    if (m_options.json) {
        m_out << json << "\n";
    }
}

int CCtlCommands::Failed(CLinkSession::Status status, CLinkSession& s, const std::string& what) {
    if (status == CLinkSession::Status::Refused) {
        m_err << "solvei-ctl: Incorrect Password (the processor did not answer Get Config with "
                 "lock code "
              << m_settings.lockCode << ")\n";
        return kRefused;
    }
    if (status == CLinkSession::Status::Cancelled) {
        m_err << "solvei-ctl: the transfer of " << what << " was cancelled; nothing was kept\n";
        return kNoResponse;
    }
    m_err << "solvei-ctl: no response from the processor during " << what;
    if (s.LastErrorCode() != 0) {
        m_err << " (link error " << s.LastErrorCode() << ")";
    }
    m_err << "\n";
    return kNoResponse;
}

int CCtlCommands::Run() {
    if (m_options.command == "describe" && !m_options.args.empty()) {
        if (m_options.args.size() != 2 || m_options.args[0] != "--file") {
            return Usage("describe takes no arguments or --file FILE");
        }
        return DescribeFile(m_options.args[1]);
    }
    const auto it = Table().find(m_options.command);
    if (it == Table().end()) {
        return Usage("unknown command \"" + m_options.command + "\"");
    }
    const Entry& entry = it->second;
    if (m_options.args.size() < entry.minArgs || m_options.args.size() > entry.maxArgs) {
        return Usage("wrong number of arguments for " + m_options.command);
    }

    CLinkSession session(m_settings, m_options.log
                                         ? CLinkSession::LineSink([this](const std::string& line) {
                                               m_err << line << std::endl;
                                           })
                                         : nullptr);
    const auto connected = session.Connect();
    if (connected != CLinkSession::Status::Ok) {
        m_err << "solvei-ctl: cannot connect to "
              << (m_settings.serial ? m_settings.portName
                                    : m_settings.host + ":" + std::to_string(m_settings.port));
        if (session.LastErrorCode() != 0) {
            m_err << " (link error " << session.LastErrorCode() << ")";
        }
        m_err << "\n";
        return kNoResponse;
    }
    const int code = (this->*entry.handler)(session);
    // Every command ends the conversation properly, even after a failure on its way.
    const auto closed = session.Disconnect();
    if (code == kDone && closed != CLinkSession::Status::Ok) {
        return Failed(closed, session, "disconnect");
    }
    return code;
}

int CCtlCommands::Version(CLinkSession& s) {
    std::string version;
    if (const auto st = s.ReadVersion(version); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Read version");
    }
    m_out << (m_options.json ? "{\"version\": " + DescriptionJson::Quote(version) + "}" : version)
          << "\n";
    return kDone;
}

int CCtlCommands::Read(CLinkSession& s) {
    int a = 0, b = 0, c = 0;
    if (!Number(0, 0, 255, a) || !Number(1, 0, 255, b) || !Number(2, 0, 255, c)) {
        return Usage("read needs three address bytes 0..255");
    }
    std::uint8_t value = 0;
    if (const auto st = s.ReadParameter(std::uint8_t(a), std::uint8_t(b), std::uint8_t(c), value);
        st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Read parameter");
    }
    if (m_options.json) {
        m_out << "{\"address\": [" << a << ", " << b << ", " << c << "], \"value\": " << int(value)
              << "}\n";
    } else {
        m_out << int(value) << "\n";
    }
    return kDone;
}

int CCtlCommands::Write(CLinkSession& s) {
    int a = 0, b = 0, c = 0, v = 0;
    if (!Number(0, 0, 255, a) || !Number(1, 0, 255, b) || !Number(2, 0, 255, c) ||
        !Number(3, 0, 255, v)) {
        return Usage("write needs three address bytes and a value, each 0..255");
    }
    if (const auto st =
            s.WriteParameter(std::uint8_t(a), std::uint8_t(b), std::uint8_t(c), std::uint8_t(v));
        st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Write parameter");
    }
    Done("{\"written\": true}");
    return kDone;
}

int CCtlCommands::Leds(CLinkSession& s) {
    ByteString reply;
    if (const auto st = s.ReadLeds(reply); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Read Leds State");
    }
    m_out << CLedState(reply).ToJson() << "\n";
    return kDone;
}

int CCtlCommands::Watch(CLinkSession& s) {
    int count = 0; // 0: until interrupted
    if (!m_options.args.empty()) {
        if (m_options.args.size() != 2 || m_options.args[0] != "--count" ||
            !Number(1, 1, 1000000000, count)) {
            return Usage("watch takes --count N with N at least 1");
        }
    }
    const bool terminal = !m_options.json && &m_out == &std::cout && ::isatty(STDOUT_FILENO);
    const CMeterView view(terminal);
    int shown = 0;
    const auto st = s.Watch(
        [&](const ByteString& reply) {
            const CLedState state(reply);
            if (m_options.json) {
                m_out << state.ToJson() << "\n";
            } else {
                if (terminal && shown > 0) {
                    m_out << CMeterView::Rewind();
                }
                m_out << view.Frame(state);
            }
            m_out.flush();
            ++shown;
            return count == 0 || shown < count;
        },
        m_stop);
    if (st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Read Leds State");
    }
    return kDone;
}

int CCtlCommands::Bypass(CLinkSession& s) {
    const std::string& arg = m_options.args[0];
    if (arg != "on" && arg != "off") {
        return Usage("bypass takes on or off");
    }
    int state = 0;
    if (const auto st = s.BypassUpdate(arg == "on" ? 1 : 0, state);
        st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Bypass Update");
    }
    m_out << (m_options.json ? "{\"bypass\": " + std::to_string(state) + "}"
                             : std::string(state ? "bypass" : "online"))
          << "\n";
    return kDone;
}

int CCtlCommands::MetersFlip(CLinkSession& s) {
    if (const auto st = s.MetersFlip(); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Meters Flip");
    }
    Done("{\"done\": true}");
    return kDone;
}

int CCtlCommands::Compare(CLinkSession& s) {
    if (const auto st = s.Compare(); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Compare");
    }
    Done("{\"done\": true}");
    return kDone;
}

int CCtlCommands::Revert(CLinkSession& s) {
    if (const auto st = s.Revert(); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Revert");
    }
    Done("{\"done\": true}");
    return kDone;
}

int CCtlCommands::Describe(CLinkSession& s) {
    std::string version;
    if (const auto st = s.ReadVersion(version); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Read version");
    }
    ByteString data;
    if (const auto st = s.GetConfig(static_cast<int>(m_settings.lockCode), data);
        st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Get Config");
    }
    ControlDescription description;
    description.Parse(data);
    const std::optional<int> type = data.empty() ? std::nullopt : std::optional<int>(data[0]);
    m_out << DescriptionJson::Write(type, description.Errors(), *description.Root()) << "\n";
    if (type != kAcceptedType) {
        m_err << "solvei-ctl: processor type "
              << (type ? std::to_string(*type) : std::string("(none)")) << " is not the type "
              << kAcceptedType << " this remote serves\n";
    }
    return kDone;
}

int CCtlCommands::DescribeFile(const std::string& path) {
    std::string error;
    const auto json = DescriptionJson::DescribeFile(path, error);
    if (!json) {
        return BadFile(error);
    }
    m_out << *json << "\n";
    return kDone;
}

int CCtlCommands::Presets(CLinkSession& s) {
    int count = 0;
    if (const auto st = s.GetFactoryPresetNumber(count); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Get Factory Preset Number");
    }
    std::string json = "[";
    for (int n = 0; n < count; ++n) {
        ByteString data;
        if (const auto st = s.GetPreset(std::uint8_t(n), data); st != CLinkSession::Status::Ok) {
            return Failed(st, s, "Get Preset " + std::to_string(n));
        }
        const std::string name = NameOf(data);
        if (m_options.json) {
            json += (n ? ", " : "");
            json += "{\"number\": " + std::to_string(n) + ", \"label\": \"" + PresetLabel(n) +
                    "\", \"name\": " + DescriptionJson::Quote(name) + "}";
        } else {
            m_out << PresetLabel(n) << " " << name << "\n";
        }
    }
    if (m_options.json) {
        m_out << json << "]\n";
    }
    return kDone;
}

int CCtlCommands::PresetGet(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, false, n)) {
        return Usage("preset-get needs a preset number 0..255");
    }
    ByteString data;
    if (const auto st = s.GetPreset(std::uint8_t(n), data); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Get Preset");
    }
    const std::string& path = m_options.args[1];
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    if (!file.flush()) {
        return BadFile("cannot write " + path);
    }
    Done("{\"preset\": " + std::to_string(n) + ", \"bytes\": " + std::to_string(data.size()) + "}");
    return kDone;
}

int CCtlCommands::PresetSend(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, true, n)) {
        return Usage("preset-send needs a user preset number 0..7 (U1: to U8:)");
    }
    const std::string& path = m_options.args[1];
    ByteString data;
    if (!ReadFile(path, data)) {
        return BadFile("cannot read " + path);
    }
    if (data.empty()) {
        return BadFile(path + " is empty");
    }
    if (const auto st = s.SendPreset(std::uint8_t(n), data); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Send Preset");
    }
    Done("{\"preset\": " + std::to_string(n) + ", \"bytes\": " + std::to_string(data.size()) + "}");
    return kDone;
}

int CCtlCommands::PresetLoad(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, false, n)) {
        return Usage("preset-load needs a preset number 0..255");
    }
    int loaded = 0;
    if (const auto st = s.LoadPreset(std::uint8_t(n), loaded); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Load Preset");
    }
    m_out << (m_options.json ? "{\"loaded\": " + std::to_string(loaded) + "}"
                             : "loaded " + PresetLabel(loaded))
          << "\n";
    return kDone;
}

int CCtlCommands::PresetSave(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, true, n)) {
        return Usage("preset-save needs a user preset number 0..7 (U1: to U8:)");
    }
    if (const auto st = s.SavePreset(std::uint8_t(n)); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Save Preset");
    }
    Done("{\"saved\": " + std::to_string(n) + "}");
    return kDone;
}

int CCtlCommands::PresetRename(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, true, n)) {
        return Usage("preset-rename needs a user preset number 0..7 (U1: to U8:)");
    }
    const std::string& name = m_options.args[1];
    if (name.size() > kNameBytes) {
        m_err << "solvei-ctl: the name is cut to its first " << kNameBytes << " bytes\n";
    }
    if (const auto st = s.RenamePreset(std::uint8_t(n), name); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Rename preset");
    }
    Done("{\"renamed\": " + std::to_string(n) + "}");
    return kDone;
}

int CCtlCommands::Upgrade(CLinkSession& s) {
    const std::string& path = m_options.args[0];
    ByteString image;
    if (!ReadFile(path, image)) {
        return BadFile("cannot read " + path);
    }
    if (image.empty()) {
        return BadFile(path + " is empty");
    }
    const int blocks = static_cast<int>((image.size() + 127) / 128);
    const bool terminal = &m_err == &std::cerr && ::isatty(STDERR_FILENO);
    int lastPercent = -1;
    const auto st = s.SendUpgrade(image, [&](int acknowledged) {
        const int done = std::min(acknowledged, blocks);
        const int percent = done * 100 / blocks;
        if (percent == lastPercent) {
            return;
        }
        lastPercent = percent;
        m_err << (terminal ? "\r" : "") << "upgrade: " << percent << "% (" << done << " of "
              << blocks << " blocks)" << (terminal ? "" : "\n") << std::flush;
    });
    if (terminal && lastPercent >= 0) {
        m_err << "\n";
    }
    if (st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Send Upgrade");
    }
    Done("{\"bytes\": " + std::to_string(image.size()) + "}");
    return kDone;
}
