#include "ctl/CCtlCommands.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <ostream>
#include <unistd.h>

#include "ctl/CLedState.h"
#include "ctl/CLinkFailureText.h"
#include "ctl/CMeterView.h"
#include "ctl/CSnapshotCommands.h"
#include "ctl/PresetLabel.h"
#include "description/ControlDescription.h"
#include "description/DescriptionEncoder.h"
#include "description/DescriptionJson.h"
#include "description/Latin1Text.h"
#include "tools/CFileReader.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int kAcceptedType = 3;
constexpr int kUserPresets = 8;
constexpr std::size_t kNameBytes = 15;
constexpr std::size_t kBlockBytes = 128;

std::string NameOf(const ByteString& preset) {
    const auto end =
        preset.begin() + static_cast<std::ptrdiff_t>(std::min(kNameBytes, preset.size()));
    return Latin1Text::ToUtf8(std::string(preset.begin(), std::find(preset.begin(), end, 0)));
}

std::string Address(int a, int b, int c) {
    return std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c);
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A parse that stopped early: the data is no whole description.
bool Stopped(const std::vector<std::string>& errors) {
    return std::any_of(errors.begin(), errors.end(), [](const std::string& e) {
        return e.rfind("Config Truncated", 0) == 0 || e.rfind("Config Nesting", 0) == 0;
    });
}

} // namespace

CCtlCommands::CCtlCommands(const CCtlOptions& options, CConnectionSettings& settings,
                           std::ostream& out, std::ostream& err, bool errTerminal,
                           const volatile bool& stop)
    : m_options(options), m_settings(settings), m_out(out), m_err(err), m_errTerminal(errTerminal),
      m_stop(stop) {}

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
        {"preset-send", {2, 2, &CCtlCommands::PresetSend, 1, kMaxPresetBytes}},
        {"preset-load", {1, 1, &CCtlCommands::PresetLoad}},
        {"preset-save", {1, 1, &CCtlCommands::PresetSave}},
        {"preset-rename", {2, 2, &CCtlCommands::PresetRename}},
        {"upgrade", {1, 1, &CCtlCommands::Upgrade, 0, kMaxUpgradeBytes}},
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

std::string CCtlCommands::Where() const {
    return m_settings.serial ? m_settings.portName
                             : m_settings.host + ":" + std::to_string(m_settings.port);
}

void CCtlCommands::Report(const Json& json, const std::string& text) {
    if (m_options.json) {
        m_out << json.dump() << "\n";
    } else if (!text.empty()) {
        m_out << text << "\n";
    }
}

int CCtlCommands::Failed(CLinkSession::Status status, CLinkSession& s, const std::string& what) {
    if (status == CLinkSession::Status::Refused) {
        if (what == "Get Config") {
            m_err << "solvei-ctl: Incorrect Password (the processor did not acknowledge Get "
                     "Config with lock code "
                  << m_settings.lockCode << ")\n";
        } else {
            m_err << "solvei-ctl: the processor refused " << what << " on every try\n";
        }
        return kRefused;
    }
    if (status == CLinkSession::Status::Cancelled) {
        m_err << "solvei-ctl: the transfer of " << what << " was cancelled " << kTransferRetries + 1
              << " times; nothing was kept\n";
        return kNoResponse;
    }
    m_err << "solvei-ctl: no response from the processor during " << what;
    if (const std::string cause = CLinkFailureText::Cause(s.LastErrorCode(), m_settings);
        !cause.empty()) {
        m_err << " (" << cause << ")";
    }
    m_err << "\n";
    return kNoResponse;
}

CLinkSession::Status CCtlCommands::Transfer(const std::string& what,
                                            const std::function<CLinkSession::Status()>& attempt) {
    CLinkSession::Status status = attempt();
    for (int retry = 1; retry <= kTransferRetries && status == CLinkSession::Status::Cancelled;
         ++retry) {
        if (m_errTerminal || m_options.log) {
            m_err << "solvei-ctl: the transfer of " << what << " was broken off, trying again ("
                  << retry + 1 << " of " << kTransferRetries + 1 << ")\n";
        }
        status = attempt();
        // The request was taken before, so it is no refusal now: the processor went quiet.
        if (status == CLinkSession::Status::Refused) {
            status = CLinkSession::Status::NoResponse;
        }
    }
    return status;
}

int CCtlCommands::Run() {
    if (CSnapshotCommands::Handles(m_options.command)) {
        return CSnapshotCommands(m_options, m_settings, m_out, m_err, m_errTerminal, std::cin,
                                 ::isatty(STDIN_FILENO) != 0)
            .Run();
    }
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
    // A file that cannot be sent is refused before the processor is bothered.
    if (entry.fileArg >= 0) {
        const std::string& path = m_options.args[static_cast<std::size_t>(entry.fileArg)];
        std::string error;
        auto bytes = CFileReader::Read(path, entry.maxFileBytes, error);
        if (!bytes) {
            return BadFile(error);
        }
        if (bytes->empty()) {
            return BadFile(path + " is empty");
        }
        m_file = std::move(*bytes);
    }

    CLinkSession session(m_settings, m_options.log
                                         ? CLinkSession::LineSink([this](const std::string& line) {
                                               m_err << line << std::endl;
                                           })
                                         : nullptr);
    // A person at a terminal hears of long silences; the watch shows them on its screen.
    if (m_errTerminal && m_options.command != "watch") {
        session.SetRetrySink([this](int attempt, int tries) {
            m_err << "solvei-ctl: no answer from " << Where() << ", trying again (" << attempt
                  << " of " << tries << ")" << std::endl;
        });
    }
    const auto connected = session.Connect();
    if (connected != CLinkSession::Status::Ok) {
        m_err << "solvei-ctl: cannot connect to " << Where();
        if (const std::string cause = CLinkFailureText::Cause(session.LastErrorCode(), m_settings);
            !cause.empty()) {
            m_err << " (" << cause << ")";
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
    version = Latin1Text::ToUtf8(version);
    Report({{"version", version}}, version);
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
    Report({{"address", {a, b, c}}, {"value", value}}, std::to_string(value));
    return kDone;
}

int CCtlCommands::Write(CLinkSession& s) {
    int a = 0, b = 0, c = 0, v = 0;
    if (!Number(0, 0, 255, a) || !Number(1, 0, 255, b) || !Number(2, 0, 255, c) ||
        !Number(3, 0, 255, v)) {
        return Usage("write needs three address bytes and a value, each 0..255");
    }
    std::uint8_t stored = 0;
    if (const auto st = s.WriteParameter(std::uint8_t(a), std::uint8_t(b), std::uint8_t(c),
                                         std::uint8_t(v), stored);
        st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Write parameter");
    }
    // The processor keeps what its range allows; the caller learns what that was.
    if (stored != v) {
        m_err << "solvei-ctl: asked for " << v << " at " << Address(a, b, c)
              << ", the processor stored " << int(stored) << "\n";
    }
    Report({{"address", {a, b, c}}, {"value", stored}, {"requested", v}},
           "wrote " + Address(a, b, c) + " = " + std::to_string(stored));
    return kDone;
}

int CCtlCommands::Leds(CLinkSession& s) {
    ByteString reply;
    if (const auto st = s.ReadLeds(reply); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Read Leds State");
    }
    const CLedState state(reply);
    Report(state.ToJson(), state.Summary());
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
    bool rewind = false; // something of ours stands on the screen to draw over
    const auto st = s.Watch(
        [&](const ByteString& reply) {
            const CLedState state(reply);
            if (m_options.json) {
                m_out << state.ToJson().dump() << "\n";
            } else {
                if (terminal && rewind) {
                    m_out << CMeterView::Rewind();
                }
                m_out << view.Frame(state);
                rewind = true;
            }
            m_out.flush();
            ++shown;
            return count == 0 || shown < count;
        },
        [&] {
            // The processor went quiet: say so where the meters stand instead of freezing.
            if (terminal) {
                if (rewind) {
                    m_out << CMeterView::Rewind();
                }
                m_out << view.NoAnswer(Where());
                rewind = true;
                m_out.flush();
            } else {
                m_err << "solvei-ctl: no answer from " << Where() << std::endl;
            }
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
    Report({{"bypass", state}}, state ? "bypass" : "online");
    return kDone;
}

int CCtlCommands::MetersFlip(CLinkSession& s) {
    if (const auto st = s.MetersFlip(); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Meters Flip");
    }
    Report({{"done", true}}, "meter view flipped (AGC / input and output)");
    return kDone;
}

int CCtlCommands::Compare(CLinkSession& s) {
    if (const auto st = s.Compare(); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Compare");
    }
    Report({{"done", true}}, "compare: side B (the preset as loaded) plays");
    return kDone;
}

int CCtlCommands::Revert(CLinkSession& s) {
    if (const auto st = s.Revert(); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Revert");
    }
    Report({{"done", true}}, "revert: side A (the edits) plays");
    return kDone;
}

int CCtlCommands::Describe(CLinkSession& s) {
    std::string version;
    if (const auto st = s.ReadVersion(version); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Read version");
    }
    ByteString data;
    if (const auto st = Transfer(
            "Get Config", [&] { return s.GetConfig(static_cast<int>(m_settings.lockCode), data); });
        st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Get Config");
    }
    ControlDescription description;
    description.Parse(data);
    const std::optional<int> type = data.empty() ? std::nullopt : std::optional<int>(data[0]);
    m_out << DescriptionJson::Write(type, description.Errors(), *description.Root(),
                                    m_options.json ? -1 : 2)
          << "\n";
    if (type != kAcceptedType) {
        m_err << "solvei-ctl: processor type "
              << (type ? std::to_string(*type) : std::string("(none)")) << " is not the type "
              << kAcceptedType << " this remote serves\n";
    }
    return kDone;
}

int CCtlCommands::DescribeFile(const std::string& path) {
    std::string error;
    auto bytes = CFileReader::Read(path, kMaxDescriptionBytes, error);
    if (!bytes) {
        return BadFile(error);
    }
    // The encoder's readable source is taken as the simulator takes it.
    if (EndsWith(path, ".json")) {
        const std::string text(bytes->begin(), bytes->end());
        bytes = DescriptionEncoder::Encode(text, error);
        if (!bytes) {
            return BadFile(path + ": " + error);
        }
    }
    ControlDescription description;
    description.Parse(*bytes);
    const std::optional<int> type =
        bytes->empty() ? std::nullopt : std::optional<int>(bytes->front());
    m_out << DescriptionJson::Write(type, description.Errors(), *description.Root(),
                                    m_options.json ? -1 : 2)
          << "\n";
    if (bytes->empty()) {
        return BadFile(path + " is empty: no description");
    }
    if (Stopped(description.Errors())) {
        return BadFile(
            path + " is no whole description (" +
            description.Errors().back().substr(0, description.Errors().back().find('.')) + ")");
    }
    return kDone;
}

int CCtlCommands::Presets(CLinkSession& s) {
    int count = 0;
    if (const auto st = s.GetFactoryPresetNumber(count); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Get Factory Preset Number");
    }
    // Nothing is printed before the whole list is there: a half list would pass for all.
    Json list = Json::array();
    std::string text;
    for (int n = 0; n < count; ++n) {
        ByteString data;
        const std::string what = "Get Preset " + std::to_string(n);
        if (const auto st = Transfer(what, [&] { return s.GetPreset(std::uint8_t(n), data); });
            st != CLinkSession::Status::Ok) {
            return Failed(st, s, what);
        }
        const std::string name = NameOf(data);
        list.push_back({{"number", n}, {"label", PresetLabel(n)}, {"name", name}});
        text += (text.empty() ? "" : "\n") + PresetLabel(n) + " " + name;
    }
    Report(list, text);
    return kDone;
}

int CCtlCommands::PresetGet(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, false, n)) {
        return Usage("preset-get needs a preset number 0..255");
    }
    ByteString data;
    if (const auto st = Transfer("Get Preset", [&] { return s.GetPreset(std::uint8_t(n), data); });
        st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Get Preset");
    }
    const std::string& path = m_options.args[1];
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    if (!file.flush()) {
        return BadFile("cannot write " + path);
    }
    Report({{"preset", n}, {"bytes", data.size()}}, "saved preset " + PresetLabel(n) + " \"" +
                                                        NameOf(data) + "\" to " + path + " (" +
                                                        std::to_string(data.size()) + " bytes)");
    return kDone;
}

int CCtlCommands::PresetSend(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, true, n)) {
        return Usage("preset-send needs a user preset number 0..7 (U1: to U8:)");
    }
    const std::string& path = m_options.args[1];
    const ByteString* data = &m_file;
    if (const auto st =
            Transfer("Send Preset", [&] { return s.SendPreset(std::uint8_t(n), *data); });
        st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Send Preset");
    }
    // The link cannot tell whether the processor took the data as a preset: read it back.
    // What went out was padded with zeros to whole blocks.
    ByteString sent = *data;
    sent.resize((sent.size() + kBlockBytes - 1) / kBlockBytes * kBlockBytes, 0);
    ByteString kept;
    if (const auto st = Transfer("Get Preset", [&] { return s.GetPreset(std::uint8_t(n), kept); });
        st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Get Preset (reading the preset back)");
    }
    if (kept != sent) {
        m_err << "solvei-ctl: the processor did not keep the preset: " << PresetLabel(n)
              << " reads back different from " << path << "\n";
        return kNoResponse;
    }
    Report({{"preset", n}, {"bytes", data->size()}}, "sent " + path + " to preset " +
                                                         PresetLabel(n) + " \"" + NameOf(kept) +
                                                         "\"; it reads back the same");
    return kDone;
}

int CCtlCommands::PresetLoad(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, false, n)) {
        return Usage("preset-load needs a preset number 0..255");
    }
    int loaded = 0;
    if (const auto st = s.LoadPreset(std::uint8_t(n), loaded); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Load Preset " + std::to_string(n));
    }
    Report({{"loaded", loaded}}, "loaded " + PresetLabel(loaded));
    return kDone;
}

int CCtlCommands::PresetSave(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, true, n)) {
        return Usage("preset-save needs a user preset number 0..7 (U1: to U8:)");
    }
    if (const auto st = s.SavePreset(std::uint8_t(n)); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Save Preset " + std::to_string(n));
    }
    Report({{"saved", n}}, "saved the current settings as " + PresetLabel(n));
    return kDone;
}

int CCtlCommands::PresetRename(CLinkSession& s) {
    int n = 0;
    if (!Preset(0, true, n)) {
        return Usage("preset-rename needs a user preset number 0..7 (U1: to U8:)");
    }
    // Names travel as Latin-1, one byte a character.
    std::string name;
    std::string problem;
    if (!Latin1Text::FromUtf8(m_options.args[1], name, problem)) {
        return Usage("the name " + problem);
    }
    if (name.size() > kNameBytes) {
        m_err << "solvei-ctl: the name is cut to its first " << kNameBytes << " characters\n";
        name.resize(kNameBytes);
    }
    if (const auto st = s.RenamePreset(std::uint8_t(n), name); st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Rename preset " + std::to_string(n));
    }
    Report({{"renamed", n}, {"name", Latin1Text::ToUtf8(name)}},
           "renamed " + PresetLabel(n) + " to \"" + Latin1Text::ToUtf8(name) + "\"");
    return kDone;
}

int CCtlCommands::Upgrade(CLinkSession& s) {
    const ByteString* image = &m_file;
    const int blocks = static_cast<int>((image->size() + kBlockBytes - 1) / kBlockBytes);
    int lastPercent = -1;
    const auto st = Transfer("Send Upgrade", [&] {
        lastPercent = -1;
        const auto status = s.SendUpgrade(*image, [&](int acknowledged) {
            const int done = std::min(acknowledged, blocks);
            const int percent = done * 100 / blocks;
            if (percent == lastPercent) {
                return;
            }
            lastPercent = percent;
            // A progress line is for a person watching; a script's log gets nothing.
            if (m_errTerminal) {
                m_err << "\rupgrade: " << percent << "% (" << done << " of " << blocks << " blocks)"
                      << std::flush;
            }
        });
        if (m_errTerminal && lastPercent >= 0) {
            m_err << "\n";
        }
        return status;
    });
    if (st != CLinkSession::Status::Ok) {
        return Failed(st, s, "Send Upgrade");
    }
    Report({{"bytes", image->size()}}, "");
    return kDone;
}
