#include "sim/CProcessor.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "sim/SimPacket.h"

namespace {

constexpr std::uint8_t kRefusal = 0x15;

// Parameters the processor itself acts on, where its description has them.
constexpr ParamAddress kDrive{0, 0, 0};
constexpr ParamAddress kRelease{0, 0, 1};
constexpr ParamAddress kGate{0, 0, 2};
constexpr ParamAddress kAgcMode{0, 0, 3};
constexpr ParamAddress kLimiter{0, 2, 0};
constexpr ParamAddress kCeiling{0, 2, 1};
constexpr ParamAddress kPowerOnPreset{1, 2, 0}; // DEF marker
constexpr ParamAddress kDaypartPreset{1, 2, 1}; // DP marker
constexpr ParamAddress kTriggerPreset{1, 2, 2}; // TR marker
constexpr ParamAddress kDaypartHour{1, 3, 0};
constexpr ParamAddress kDaypartMinute{1, 3, 1};
constexpr std::uint8_t kClockA = 5; // 5,0,0..2: hours, minutes, seconds
constexpr std::uint8_t kNoPreset = 0xFF;

std::vector<std::uint8_t> Refuse() {
    return {kRefusal};
}

ParamAddress AddressAt(std::span<const std::uint8_t> request) {
    return {request[1], request[2], request[3]};
}

} // namespace

CProcessor::CProcessor(Config config, Clock::time_point start)
    : m_config(std::move(config)), m_start(start), m_parameters(m_config.parameters),
      m_presets(m_config.presetCount, m_parameters), m_meters(m_config.seed) {
    if (m_config.description.empty()) {
        m_config.description.push_back(m_config.type);
    }
    m_config.description[0] = m_config.type;
    m_config.version.resize(3, ' ');

    // Out of the box the processor starts with the first factory preset and says so.
    if (m_presets.Count() > CPresetStore::kUserPresets) {
        m_parameters.Write(kPowerOnPreset, CPresetStore::kUserPresets + 1);
    }
    const std::uint8_t def = Marker(kPowerOnPreset);
    int first = m_presets.Count() > CPresetStore::kUserPresets ? CPresetStore::kUserPresets : 0;
    if (def != kNoPreset && m_presets.Exists(def)) {
        first = def;
    }
    Load(first);
}

const std::vector<CProcessor::Command>& CProcessor::Commands() {
    static const std::vector<Command> commands = {
        {0x00, 2, &CProcessor::Disconnect},    {0x01, 6, &CProcessor::WriteParameter},
        {0x02, 3, &CProcessor::SendPreset},    {0x03, 2, &CProcessor::SendUpgrade},
        {0x04, 3, &CProcessor::LoadPreset},    {0x05, 3, &CProcessor::SavePreset},
        {0x07, 2, &CProcessor::Compare},       {0x08, 2, &CProcessor::Revert},
        {0x09, 18, &CProcessor::RenamePreset}, {0x0A, 2, &CProcessor::MetersFlip},
        {0x0B, 3, &CProcessor::BypassUpdate},  {0x80, 2, &CProcessor::ReadVersion},
        {0x81, 5, &CProcessor::ReadParameter}, {0x82, 2, &CProcessor::ReadLeds},
        {0x83, 6, &CProcessor::GetConfig},     {0x84, 2, &CProcessor::GetFactoryPresetNumber},
        {0x85, 3, &CProcessor::GetPreset},
    };
    return commands;
}

const CProcessor::Command* CProcessor::FindCommand(std::uint8_t code) {
    const auto& commands = Commands();
    const auto it = std::find_if(commands.begin(), commands.end(),
                                 [code](const Command& c) { return c.code == code; });
    return it == commands.end() ? nullptr : &*it;
}

int CProcessor::ExpectedRequestLength(std::span<const std::uint8_t> bytes) const {
    if (bytes.empty()) {
        return -1;
    }
    // The peer knows its packets, also the repeated ACK it still answers after a send.
    if (const int length = m_xmodem.ExpectedLength(bytes); length != 0) {
        return length;
    }
    const Command* command = FindCommand(bytes[0]);
    if (command == nullptr) {
        return 0;
    }
    return static_cast<int>(bytes.size()) >= command->length ? command->length : -1;
}

std::vector<std::uint8_t> CProcessor::Handle(std::span<const std::uint8_t> request,
                                             Clock::time_point now) {
    if (request.empty()) {
        return {};
    }
    Tick(now);
    if (m_xmodem.IsTransferPacket(request)) {
        return OnTransferPacket(request);
    }
    // The other side gave up on the transfer (for example it repeats the request whose
    // acknowledgement it lost) or moved on after it: leave it and take the packet as a command.
    m_xmodem.Cancel();
    const Command* command = FindCommand(request[0]);
    if (command == nullptr || static_cast<int>(request.size()) != command->length ||
        !SimPacket::HasValidChecksum(request)) {
        return Refuse();
    }
    return (this->*command->handler)(request, now);
}

std::vector<std::uint8_t> CProcessor::OnTransferPacket(std::span<const std::uint8_t> packet) {
    const bool receiving = m_xmodem.GetMode() == CXModemPeer::Mode::Receiving;
    auto step = m_xmodem.OnPacket(packet);
    if (receiving && step.outcome == CXModemPeer::Outcome::Complete) {
        const auto& data = m_xmodem.Received();
        if (m_incoming == Incoming::Upgrade) {
            m_upgradeBytes = data.size();
            std::cerr << "solvei-sim: upgrade image of " << data.size() << " bytes received\n";
        } else {
            std::string error;
            if (auto preset = CPresetStore::Decode(data, error)) {
                m_presets.Set(m_incomingPreset, std::move(*preset));
                m_dirty = true;
            } else {
                std::cerr << "solvei-sim: preset " << m_incomingPreset << " kept: " << error
                          << "\n";
            }
        }
    }
    return std::move(step.reply);
}

std::vector<std::uint8_t> CProcessor::CancelTransfer() {
    if (!InTransfer()) {
        return {};
    }
    m_xmodem.Cancel();
    return {CXModemPeer::kCan};
}

std::vector<std::uint8_t> CProcessor::Disconnect(std::span<const std::uint8_t>, Clock::time_point) {
    return SimPacket::Ack(0x00);
}

std::vector<std::uint8_t> CProcessor::WriteParameter(std::span<const std::uint8_t> request,
                                                     Clock::time_point now) {
    const ParamAddress address = AddressAt(request);
    const std::uint8_t value = request[4];
    if (SetClockField(address, value, now)) {
        m_lastTickSeconds = SecondsOfDay(now); // setting the clock is no passage of time
    } else {
        if (m_comparing && CParameterStore::IsPresetScope(address) && m_parameters.Find(address)) {
            // Side B is playing: the edit goes to side A, which Revert brings back.
            const auto* info = m_parameters.Find(address);
            for (auto& v : m_editsAside) {
                if (v.address == address) {
                    v.value = std::min(value, info->span);
                }
            }
        } else if (m_parameters.Write(address, value)) {
            m_dirty = true;
        }
    }
    const auto stored = ClockField(address, now).value_or(m_parameters.Read(address));
    const std::uint8_t data[] = {address.a, address.b, address.c, stored};
    return SimPacket::Ack(0x01, data);
}

std::vector<std::uint8_t> CProcessor::SendPreset(std::span<const std::uint8_t> request,
                                                 Clock::time_point) {
    const int number = request[1];
    if (!CPresetStore::IsUser(number) || !m_presets.Exists(number)) {
        return Refuse(); // factory presets are read-only
    }
    m_incoming = Incoming::Preset;
    m_incomingPreset = number;
    m_xmodem.StartReceive();
    const std::uint8_t data[] = {request[1]};
    return SimPacket::Ack(0x02, data);
}

std::vector<std::uint8_t> CProcessor::SendUpgrade(std::span<const std::uint8_t>,
                                                  Clock::time_point) {
    m_incoming = Incoming::Upgrade;
    m_xmodem.StartReceive();
    return SimPacket::Ack(0x03);
}

std::vector<std::uint8_t> CProcessor::LoadPreset(std::span<const std::uint8_t> request,
                                                 Clock::time_point) {
    const int number = request[1];
    if (!m_presets.Exists(number)) {
        return Refuse();
    }
    Load(number);
    const std::uint8_t data[] = {request[1]};
    return SimPacket::Ack(0x04, data);
}

std::vector<std::uint8_t> CProcessor::SavePreset(std::span<const std::uint8_t> request,
                                                 Clock::time_point) {
    const int number = request[1];
    if (!CPresetStore::IsUser(number) || !m_presets.Exists(number)) {
        return Refuse();
    }
    EndCompare();
    auto preset = m_presets.Get(number);
    preset.values = m_parameters.PresetValues();
    m_presets.Set(number, std::move(preset));
    m_loaded = m_parameters.PresetValues();
    m_current = number;
    m_dirty = true;
    const std::uint8_t data[] = {request[1]};
    return SimPacket::Ack(0x05, data);
}

std::vector<std::uint8_t> CProcessor::Compare(std::span<const std::uint8_t>, Clock::time_point) {
    if (!m_comparing && Changed()) {
        m_editsAside = m_parameters.PresetValues();
        m_parameters.Apply(m_loaded);
        m_comparing = true;
    }
    return SimPacket::Ack(0x07);
}

std::vector<std::uint8_t> CProcessor::Revert(std::span<const std::uint8_t>, Clock::time_point) {
    EndCompare();
    return SimPacket::Ack(0x08);
}

std::vector<std::uint8_t> CProcessor::RenamePreset(std::span<const std::uint8_t> request,
                                                   Clock::time_point) {
    const int number = request[1];
    if (!CPresetStore::IsUser(number) || !m_presets.Exists(number)) {
        return Refuse();
    }
    std::array<std::uint8_t, CPresetStore::kNameSize> name{};
    std::copy_n(request.begin() + 2, CPresetStore::kNameSize, name.begin());
    m_presets.Rename(number, name);
    m_dirty = true;
    const std::uint8_t data[] = {request[1]};
    return SimPacket::Ack(0x09, data);
}

std::vector<std::uint8_t> CProcessor::MetersFlip(std::span<const std::uint8_t>, Clock::time_point) {
    m_ioView = !m_ioView;
    m_dirty = true;
    return SimPacket::Ack(0x0A);
}

std::vector<std::uint8_t> CProcessor::BypassUpdate(std::span<const std::uint8_t> request,
                                                   Clock::time_point) {
    m_bypass = request[1] != 0;
    m_dirty = true;
    const std::uint8_t data[] = {static_cast<std::uint8_t>(m_bypass ? 1 : 0)};
    return SimPacket::Ack(0x0B, data);
}

std::vector<std::uint8_t> CProcessor::ReadVersion(std::span<const std::uint8_t>,
                                                  Clock::time_point) {
    const std::uint8_t data[] = {static_cast<std::uint8_t>(m_config.version[0]),
                                 static_cast<std::uint8_t>(m_config.version[1]),
                                 static_cast<std::uint8_t>(m_config.version[2])};
    return SimPacket::Ack(0x80, data);
}

std::vector<std::uint8_t> CProcessor::ReadParameter(std::span<const std::uint8_t> request,
                                                    Clock::time_point now) {
    const ParamAddress address = AddressAt(request);
    const auto value = ClockField(address, now).value_or(m_parameters.Read(address));
    const std::uint8_t data[] = {address.a, address.b, address.c, value};
    return SimPacket::Ack(0x81, data);
}

std::vector<std::uint8_t> CProcessor::ReadLeds(std::span<const std::uint8_t>,
                                               Clock::time_point now) {
    return LedState(now);
}

std::vector<std::uint8_t> CProcessor::GetConfig(std::span<const std::uint8_t> request,
                                                Clock::time_point) {
    const std::string expected = LockText(m_config.lockCode);
    if (!std::equal(expected.begin(), expected.end(), request.begin() + 1)) {
        return {}; // a wrong lock code gets no answer at all
    }
    m_xmodem.StartSend(m_config.description);
    return SimPacket::Ack(0x83);
}

std::vector<std::uint8_t> CProcessor::GetFactoryPresetNumber(std::span<const std::uint8_t>,
                                                             Clock::time_point) {
    const std::uint8_t data[] = {static_cast<std::uint8_t>(m_presets.Count())};
    return SimPacket::Ack(0x84, data);
}

std::vector<std::uint8_t> CProcessor::GetPreset(std::span<const std::uint8_t> request,
                                                Clock::time_point) {
    const int number = request[1];
    if (!m_presets.Exists(number)) {
        return Refuse();
    }
    // The application leaves compare mode when it saves a preset to a file; so does the
    // processor, so that both agree on which side plays.
    EndCompare();
    m_xmodem.StartSend(CPresetStore::Encode(m_presets.Get(number)));
    const std::uint8_t data[] = {request[1]};
    return SimPacket::Ack(0x85, data);
}

std::string CProcessor::LockText(int lockCode) {
    char text[16];
    std::snprintf(text, sizeof text, "%4i", lockCode);
    return std::string(text).substr(0, 4);
}

void CProcessor::Load(int number) {
    m_comparing = false;
    m_editsAside.clear();
    m_parameters.Apply(m_presets.Get(number).values);
    m_loaded = m_parameters.PresetValues();
    m_current = number;
    m_dirty = true;
}

void CProcessor::EndCompare() {
    if (m_comparing) {
        m_parameters.Apply(m_editsAside);
        m_editsAside.clear();
        m_comparing = false;
    }
}

bool CProcessor::Changed() const {
    return (m_comparing ? m_editsAside : m_parameters.PresetValues()) != m_loaded;
}

std::uint8_t CProcessor::Marker(ParamAddress itemAddress) const {
    if (m_parameters.Find(itemAddress) == nullptr) {
        return kNoPreset;
    }
    const int value = m_parameters.Read(itemAddress); // 0 is "Off", n is preset n - 1
    return value == 0 || !m_presets.Exists(value - 1) ? kNoPreset
                                                      : static_cast<std::uint8_t>(value - 1);
}

std::int64_t CProcessor::SecondsOfDay(Clock::time_point now) const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - m_start).count();
    std::int64_t seconds = (m_config.secondsOfDayAtStart + elapsed + m_clockOffsetSeconds) % 86400;
    return seconds < 0 ? seconds + 86400 : seconds;
}

std::optional<std::uint8_t> CProcessor::ClockField(ParamAddress address,
                                                   Clock::time_point now) const {
    if (address.a != kClockA || address.b != 0 || address.c > 2 ||
        m_parameters.Find(address) == nullptr) {
        return std::nullopt;
    }
    const std::int64_t seconds = SecondsOfDay(now);
    const std::int64_t fields[] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
    return static_cast<std::uint8_t>(fields[address.c]);
}

void CProcessor::Tick(Clock::time_point now) {
    const std::int64_t seconds = SecondsOfDay(now);
    const std::int64_t last = std::exchange(m_lastTickSeconds, seconds);
    const std::uint8_t daypart = Marker(kDaypartPreset);
    if (last < 0 || last == seconds || daypart == kNoPreset || InTransfer() ||
        m_parameters.Find(kDaypartHour) == nullptr ||
        m_parameters.Find(kDaypartMinute) == nullptr) {
        return;
    }
    const std::int64_t start =
        m_parameters.Read(kDaypartHour) * 3600 + m_parameters.Read(kDaypartMinute) * 60;
    // Did the clock pass the start since the last look (midnight included)?
    const bool passed =
        last < seconds ? (last < start && start <= seconds) : (start > last || start <= seconds);
    if (passed) {
        Load(daypart);
    }
}

bool CProcessor::SetClockField(ParamAddress address, std::uint8_t value, Clock::time_point now) {
    const auto current = ClockField(address, now);
    if (!current) {
        return false;
    }
    static constexpr std::int64_t kUnit[] = {3600, 60, 1};
    static constexpr std::uint8_t kLimit[] = {23, 59, 59};
    const std::uint8_t wanted = std::min(value, kLimit[address.c]);
    m_clockOffsetSeconds += (std::int64_t{wanted} - *current) * kUnit[address.c];
    return true;
}

double CProcessor::Display(ParamAddress address, double fallback) const {
    const auto* info = m_parameters.Find(address);
    return info ? info->DisplayValue(m_parameters.Read(address)) : fallback;
}

CAgcMeterModel::Settings CProcessor::MeterSettings() const {
    CAgcMeterModel::Settings s;
    s.driveDb = Display(kDrive, 0);
    static constexpr double kReleaseRates[] = {1, 3, 8};
    s.releaseDbPerSecond = kReleaseRates[std::min<int>(m_parameters.Read(kRelease), 2)];
    s.gateDb = Display(kGate, -45);
    // Multiband is the first choice, so a processor out of the box rides four bands.
    s.multiband = m_parameters.Find(kAgcMode) == nullptr || m_parameters.Read(kAgcMode) == 0;
    for (std::uint8_t band = 0; band < 4; ++band) {
        s.bandTrimDb[band] = Display({0, 1, band}, 0);
    }
    s.limiter = m_parameters.Find(kLimiter) == nullptr || m_parameters.Read(kLimiter) != 0;
    s.ceilingDb = Display(kCeiling, -1);
    s.bypass = m_bypass;
    return s;
}

std::vector<std::uint8_t> CProcessor::LedState(Clock::time_point now) {
    m_meters.Advance(now, MeterSettings());
    std::vector<std::uint8_t> data;
    data.push_back(Marker(kTriggerPreset));
    data.push_back(Marker(kDaypartPreset));
    data.push_back(Marker(kPowerOnPreset));
    data.push_back(static_cast<std::uint8_t>((m_current & 0x3F) | (m_comparing ? 0x40 : 0) |
                                             (Changed() ? 0x80 : 0)));
    for (const auto& row : m_meters.GetRows(m_ioView)) {
        data.push_back(static_cast<std::uint8_t>((row.lit & 0x3F) | (row.colour << 6)));
        data.push_back(static_cast<std::uint8_t>(row.peak & 0x3F));
    }
    data.push_back(m_ioView ? 1 : 0);
    data.push_back(m_bypass ? 1 : 0);
    data.insert(data.end(), 4, 0); // spare bytes of other processor types
    return SimPacket::Ack(0x82, data);
}

CProcessor::State CProcessor::SaveState() const {
    State state;
    state.parameters = m_parameters.AllValues();
    if (m_comparing) {
        // Keep the edits, not the side that happens to play.
        for (auto& v : state.parameters) {
            for (const auto& aside : m_editsAside) {
                if (aside.address == v.address) {
                    v.value = aside.value;
                }
            }
        }
    }
    for (int n = 0; n < m_presets.Count(); ++n) {
        state.presets.push_back(CPresetStore::Encode(m_presets.Get(n)));
    }
    state.current = m_current;
    state.bypass = m_bypass;
    state.ioView = m_ioView;
    return state;
}

void CProcessor::RestoreState(const State& state) {
    std::string error;
    for (std::size_t n = 0; n < state.presets.size() && static_cast<int>(n) < m_presets.Count();
         ++n) {
        if (auto preset = CPresetStore::Decode(state.presets[n], error)) {
            m_presets.Set(static_cast<int>(n), std::move(*preset));
        }
    }
    if (m_presets.Exists(state.current)) {
        Load(state.current); // the loaded reference for the change flag
    }
    m_parameters.Apply(state.parameters);
    m_bypass = state.bypass;
    m_ioView = state.ioView;
    m_dirty = false;
}
