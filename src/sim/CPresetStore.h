#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/CParameterStore.h"

// The processor's presets: user presets 0..7 that may be overwritten and factory presets
// from 8 on that may only be loaded or read. Each holds a name and the values it restores.
//
// Wire layout of one preset (what Get Preset sends and Send Preset takes):
//   bytes 0..14  name, zero-padded
//   bytes 15..16 number of values N, big-endian
//   then N times a, b, c, value
class CPresetStore {
public:
    static constexpr int kUserPresets = 8;
    static constexpr int kMaxPresets = 64; // the LED state carries the current one in 6 bits
    static constexpr std::size_t kNameSize = 15;
    static constexpr std::size_t kHeaderSize = 17;

    struct Preset {
        std::array<std::uint8_t, kNameSize> name{};
        std::vector<CParameterStore::Value> values;
    };

    // count presets (clamped to 1..64); factory presets vary the given baseline values.
    CPresetStore(int count, const CParameterStore& parameters);

    [[nodiscard]] int Count() const { return static_cast<int>(m_presets.size()); }
    [[nodiscard]] bool Exists(int number) const { return number >= 0 && number < Count(); }
    [[nodiscard]] static bool IsUser(int number) { return number >= 0 && number < kUserPresets; }

    [[nodiscard]] const Preset& Get(int number) const { return m_presets.at(number); }
    void Set(int number, Preset preset) { m_presets.at(number) = std::move(preset); }
    void Rename(int number, const std::array<std::uint8_t, kNameSize>& name) {
        m_presets.at(number).name = name;
    }

    [[nodiscard]] static std::vector<std::uint8_t> Encode(const Preset& preset);
    // Decodes wire bytes (XModem padding after the values is ignored); nullopt with a reason
    // when the bytes do not hold a preset.
    [[nodiscard]] static std::optional<Preset> Decode(const std::vector<std::uint8_t>& bytes,
                                                      std::string& error);
    [[nodiscard]] static std::array<std::uint8_t, kNameSize> MakeName(const std::string& text);
    [[nodiscard]] static std::string NameText(const std::array<std::uint8_t, kNameSize>& name);

private:
    std::vector<Preset> m_presets;
};
