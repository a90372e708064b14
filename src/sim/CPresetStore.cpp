#include "sim/CPresetStore.h"

#include <algorithm>
#include <array>

namespace {

const std::array<const char*, 12> kFactoryNames = {
    "NEWS TALK", "ROCK",   "POP CHR", "CLASSICAL", "JAZZ",   "COUNTRY",
    "URBAN",     "SPORTS", "SOFT AC", "DANCE",     "GOSPEL", "OLDIES",
};

// A small deterministic hash so factory presets differ from each other the same way on
// every run.
std::uint32_t Mix(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

} // namespace

CPresetStore::CPresetStore(int count, const CParameterStore& parameters) {
    count = std::clamp(count, 1, kMaxPresets);
    const auto baseline = parameters.PresetValues();
    for (int n = 0; n < count; ++n) {
        Preset preset;
        if (IsUser(n)) {
            preset.name = MakeName("USER " + std::to_string(n + 1));
            preset.values = baseline;
        } else {
            const int f = n - kUserPresets;
            std::string name = kFactoryNames[static_cast<std::size_t>(f) % kFactoryNames.size()];
            if (f >= static_cast<int>(kFactoryNames.size())) {
                name += ' ';
                name += std::to_string(f / kFactoryNames.size() + 1);
            }
            preset.name = MakeName(name);
            for (auto value : baseline) {
                const auto* info = parameters.Find(value.address);
                const int span = info ? info->span : 0;
                const auto key = static_cast<std::uint32_t>(
                    (n << 24) | (value.address.a << 16) | (value.address.b << 8) | value.address.c);
                const int spread = std::max(1, span / 8);
                const int delta = static_cast<int>(Mix(key) % 7) - 3;
                value.value =
                    static_cast<std::uint8_t>(std::clamp(value.value + delta * spread, 0, span));
                preset.values.push_back(value);
            }
        }
        m_presets.push_back(std::move(preset));
    }
}

std::vector<std::uint8_t> CPresetStore::Encode(const Preset& preset) {
    std::vector<std::uint8_t> bytes(preset.name.begin(), preset.name.end());
    const auto count = static_cast<std::uint16_t>(preset.values.size());
    bytes.push_back(static_cast<std::uint8_t>(count >> 8));
    bytes.push_back(static_cast<std::uint8_t>(count & 0xFF));
    for (const auto& v : preset.values) {
        bytes.insert(bytes.end(), {v.address.a, v.address.b, v.address.c, v.value});
    }
    return bytes;
}

std::optional<CPresetStore::Preset> CPresetStore::Decode(const std::vector<std::uint8_t>& bytes,
                                                         std::string& error) {
    if (bytes.size() < kHeaderSize) {
        error = "preset data shorter than its " + std::to_string(kHeaderSize) + "-byte header";
        return std::nullopt;
    }
    const std::size_t count = (std::size_t{bytes[15]} << 8) | bytes[16];
    if (kHeaderSize + 4 * count > bytes.size()) {
        error = "preset data announces " + std::to_string(count) + " values but holds only " +
                std::to_string((bytes.size() - kHeaderSize) / 4);
        return std::nullopt;
    }
    Preset preset;
    std::copy_n(bytes.begin(), kNameSize, preset.name.begin());
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kHeaderSize + 4 * i;
        preset.values.push_back({{bytes[at], bytes[at + 1], bytes[at + 2]}, bytes[at + 3]});
    }
    return preset;
}

std::array<std::uint8_t, CPresetStore::kNameSize> CPresetStore::MakeName(const std::string& text) {
    std::array<std::uint8_t, kNameSize> name{};
    std::copy_n(text.begin(), std::min(text.size(), kNameSize), name.begin());
    return name;
}

std::string CPresetStore::NameText(const std::array<std::uint8_t, kNameSize>& name) {
    const auto end = std::find(name.begin(), name.end(), 0);
    return std::string(name.begin(), end);
}
