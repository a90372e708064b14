#include "snapshot/CSnapshotTaker.h"

#include <algorithm>

#include "description/Latin1Text.h"
#include "snapshot/PresetName.h"
#include "snapshot/SnapshotCatalog.h"

namespace {

using Result = ISnapshotLink::Result;

// LED state bytes (the whole reply, acknowledgement included).
constexpr std::size_t kTrByte = 2;
constexpr std::size_t kDpByte = 3;
constexpr std::size_t kDefByte = 4;
constexpr std::size_t kPresetByte = 5;
constexpr std::size_t kViewByte = 22;
constexpr std::size_t kBypassByte = 23;
constexpr std::uint8_t kPresetBits = 0x3F;

std::uint8_t At(const ByteString& bytes, std::size_t i) {
    return i < bytes.size() ? bytes[i] : 0;
}

} // namespace

CSnapshotTaker::CSnapshotTaker(ISnapshotLink& link, Progress progress)
    : m_link(link), m_progress(std::move(progress)) {}

CSnapshotTaker::Outcome CSnapshotTaker::Take(const SnapshotOrigin& origin, Snapshot& out) {
    out = Snapshot{};
    out.origin = origin;
    std::string version;
    if (const auto r = m_link.ReadVersion(version); r != Result::Ok) {
        return {r, "Read version"};
    }
    out.version = Latin1Text::ToUtf8(version);
    if (const auto r = m_link.GetConfig(out.description); r != Result::Ok) {
        return {r, "Get Config"};
    }
    out.type = out.description.empty() ? 0 : out.description[0];

    std::vector<std::string> names;
    if (const auto outcome = ReadPresets(out, names); outcome.result != Result::Ok) {
        return outcome;
    }

    if (const auto outcome = ReadParameters(out, names); outcome.result != Result::Ok) {
        return outcome;
    }
    return ReadLedState(out);
}

CSnapshotTaker::Outcome CSnapshotTaker::TakeParameters(const SnapshotOrigin& origin,
                                                       const Snapshot& previous, Snapshot& out) {
    std::string version;
    if (const auto r = m_link.ReadVersion(version); r != Result::Ok) {
        return {r, "Read version"};
    }
    if (Latin1Text::ToUtf8(version) != previous.version || previous.description.empty()) {
        return Take(origin, out);
    }
    out = Snapshot{};
    out.origin = origin;
    out.version = previous.version;
    out.type = previous.type;
    out.description = previous.description;
    out.presetCount = previous.presetCount;
    out.presets = previous.presets;
    std::vector<std::string> names;
    for (const SnapshotPreset& preset : previous.presets) {
        std::string latin1;
        std::string problem;
        names.push_back(Latin1Text::FromUtf8(preset.name, latin1, problem) ? latin1 : preset.name);
    }
    if (const auto outcome = ReadParameters(out, names); outcome.result != Result::Ok) {
        return outcome;
    }
    return ReadLedState(out);
}

CSnapshotTaker::Outcome CSnapshotTaker::ReadParameters(Snapshot& out,
                                                       const std::vector<std::string>& names) {
    const SnapshotCatalog catalog(out.description);
    const auto& entries = catalog.Entries();
    std::vector<std::uint8_t> values(entries.size(), 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (m_progress) {
            m_progress("parameters", int(i), int(entries.size()));
        }
        if (const auto r = m_link.ReadParameter(entries[i].item.address, values[i]);
            r != Result::Ok) {
            return {r, "Read parameter"};
        }
    }
    if (m_progress) {
        m_progress("parameters", int(entries.size()), int(entries.size()));
    }
    out.parameters = catalog.Parameters(values, names);
    return {};
}

CSnapshotTaker::Outcome CSnapshotTaker::ReadLedState(Snapshot& out) {
    ByteString leds;
    if (const auto r = m_link.ReadLeds(leds); r != Result::Ok) {
        return {r, "Read Leds State"};
    }
    out.tr = At(leds, kTrByte);
    out.dp = At(leds, kDpByte);
    out.def = At(leds, kDefByte);
    out.current = At(leds, kPresetByte) & kPresetBits;
    out.ioView = At(leds, kViewByte) != 0;
    out.bypass = At(leds, kBypassByte) != 0;
    return {};
}

CSnapshotTaker::Outcome CSnapshotTaker::ReadPresets(Snapshot& out,
                                                    std::vector<std::string>& names) {
    int count = 0;
    if (const auto r = m_link.GetFactoryPresetNumber(count); r != Result::Ok) {
        return {r, "Get Factory Preset Number"};
    }
    out.presetCount = std::clamp(count, 0, 255);
    for (int n = 0; n < out.presetCount; ++n) {
        if (m_progress) {
            m_progress("presets", n, out.presetCount);
        }
        ByteString data;
        if (const auto r = m_link.GetPreset(std::uint8_t(n), data); r != Result::Ok) {
            return {r, "Get Preset " + std::to_string(n)};
        }
        const std::string name = PresetName(data);
        names.push_back(name);
        SnapshotPreset preset{n, Latin1Text::ToUtf8(name), {}};
        if (n < Snapshot::kUserPresets) {
            preset.data = std::move(data);
        }
        out.presets.push_back(std::move(preset));
    }
    if (m_progress) {
        m_progress("presets", out.presetCount, out.presetCount);
    }
    return {};
}
