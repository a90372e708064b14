#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sim/CAgcMeterModel.h"
#include "sim/CParameterStore.h"
#include "sim/CPresetStore.h"
#include "sim/CXModemPeer.h"
#include "sim/SimParameterInfo.h"

// The simulated processor: takes one request packet (or one XModem packet while a transfer
// runs) and gives the bytes it answers with. It keeps the parameters, the presets, the
// compare state, bypass and meter view, and runs the meter model. Pure logic: time comes in
// with every request, and the transports around it decide how bytes travel.
class CProcessor {
public:
    using Clock = std::chrono::steady_clock;

    struct Config {
        std::string version = "123";
        int lockCode = 7;
        std::uint8_t type = 3;
        int presetCount = 16;
        std::vector<std::uint8_t> description; // its first byte is replaced by type
        std::vector<SimParameterInfo> parameters;
        std::uint32_t seed = 1;
        int secondsOfDayAtStart = 0; // the clock's time of day when the processor starts
    };

    // What survives a restart (see CStateFile).
    struct State {
        std::vector<CParameterStore::Value> parameters;
        std::vector<std::vector<std::uint8_t>> presets; // wire layout of CPresetStore
        int current = 0;
        bool bypass = false;
        bool ioView = false;
    };

    CProcessor(Config config, Clock::time_point start);

    // Length of the request at the start of the bytes: the complete length, -1 while more
    // bytes are needed, 0 when no request starts there (the caller drops one byte).
    [[nodiscard]] int ExpectedRequestLength(std::span<const std::uint8_t> bytes) const;
    // The answer to one request; empty when the processor stays silent.
    std::vector<std::uint8_t> Handle(std::span<const std::uint8_t> request, Clock::time_point now);

    [[nodiscard]] bool InTransfer() const { return m_xmodem.GetMode() != CXModemPeer::Mode::Idle; }
    // Gives up the running transfer, keeping nothing of it; the answer tells the other side.
    std::vector<std::uint8_t> CancelTransfer();
    // The 29-byte Read Leds State acknowledgement at this moment.
    [[nodiscard]] std::vector<std::uint8_t> LedState(Clock::time_point now);
    [[nodiscard]] static std::string LockText(int lockCode);

    [[nodiscard]] State SaveState() const;
    void RestoreState(const State& state);
    // Whether something worth keeping changed since the last call.
    bool TakeDirty() { return std::exchange(m_dirty, false); }

    [[nodiscard]] const CParameterStore& Parameters() const { return m_parameters; }
    [[nodiscard]] const CPresetStore& Presets() const { return m_presets; }
    [[nodiscard]] int CurrentPreset() const { return m_current; }
    [[nodiscard]] bool Comparing() const { return m_comparing; }
    [[nodiscard]] bool Changed() const;
    [[nodiscard]] std::uint64_t UpgradeBytes() const { return m_upgradeBytes; }

private:
    using Handler = std::vector<std::uint8_t> (CProcessor::*)(std::span<const std::uint8_t>,
                                                              Clock::time_point);
    struct Command {
        std::uint8_t code;
        int length; // the whole request, checksum included
        Handler handler;
    };
    static const std::vector<Command>& Commands();
    static const Command* FindCommand(std::uint8_t code);

    std::vector<std::uint8_t> OnTransferPacket(std::span<const std::uint8_t> packet);

    std::vector<std::uint8_t> Disconnect(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> WriteParameter(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> SendPreset(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> SendUpgrade(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> LoadPreset(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> SavePreset(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> Compare(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> Revert(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> RenamePreset(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> MetersFlip(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> BypassUpdate(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> ReadVersion(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> ReadParameter(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> ReadLeds(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> GetConfig(std::span<const std::uint8_t>, Clock::time_point);
    std::vector<std::uint8_t> GetFactoryPresetNumber(std::span<const std::uint8_t>,
                                                     Clock::time_point);
    std::vector<std::uint8_t> GetPreset(std::span<const std::uint8_t>, Clock::time_point);

    void Load(int number);
    void EndCompare();
    // Runs what the processor does by itself as time passes: the daypart preset load.
    void Tick(Clock::time_point now);
    [[nodiscard]] std::int64_t SecondsOfDay(Clock::time_point now) const;
    [[nodiscard]] std::uint8_t Marker(ParamAddress itemAddress) const;
    [[nodiscard]] std::optional<std::uint8_t> ClockField(ParamAddress address,
                                                         Clock::time_point now) const;
    bool SetClockField(ParamAddress address, std::uint8_t value, Clock::time_point now);
    [[nodiscard]] CAgcMeterModel::Settings MeterSettings() const;
    [[nodiscard]] double Display(ParamAddress address, double fallback) const;

    Config m_config;
    Clock::time_point m_start;
    CParameterStore m_parameters;
    CPresetStore m_presets;
    CAgcMeterModel m_meters;
    CXModemPeer m_xmodem;

    int m_current = 0;
    // Values of the preset-stored parameters as last loaded or saved; the change flag
    // compares against them.
    std::vector<CParameterStore::Value> m_loaded;
    bool m_comparing = false;
    std::vector<CParameterStore::Value> m_editsAside; // side A while side B plays
    bool m_bypass = false;
    bool m_ioView = false;
    std::int64_t m_clockOffsetSeconds = 0;
    std::int64_t m_lastTickSeconds = -1;

    enum class Incoming { Preset, Upgrade };
    Incoming m_incoming = Incoming::Preset;
    int m_incomingPreset = 0;
    std::uint64_t m_upgradeBytes = 0;
    bool m_dirty = false;
};
