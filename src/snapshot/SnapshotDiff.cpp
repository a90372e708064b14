#include "snapshot/SnapshotDiff.h"

#include <algorithm>
#include <map>

#include "ctl/PresetLabel.h"

namespace {

constexpr std::size_t kNameBytes = 15;

std::uint32_t Key(const ParamAddress& a) {
    return (std::uint32_t{a.a} << 16) | (std::uint32_t{a.b} << 8) | a.c;
}

std::string AddressText(const ParamAddress& a) {
    return std::to_string(a.a) + " " + std::to_string(a.b) + " " + std::to_string(a.c);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::map<std::uint32_t, const SnapshotParameter*> ByAddress(const Snapshot& s) {
    std::map<std::uint32_t, const SnapshotParameter*> out;
    for (const SnapshotParameter& p : s.parameters) {
        if (!p.live) {
            out.emplace(Key(p.address), &p);
        }
    }
    return out;
}

} // namespace

std::string SnapshotDiff::Label(const SnapshotParameter& p) {
    return p.path.empty() ? p.caption : p.path + " > " + p.caption;
}

std::string SnapshotDiff::PresetText(std::uint8_t number) {
    return number == Snapshot::kNoPreset ? "-" : PresetLabel(number);
}

bool SnapshotDiff::DataDiffer(const ByteString& a, const ByteString& b) {
    const auto tail = [](const ByteString& d) {
        return d.size() > kNameBytes ? ByteString(d.begin() + kNameBytes, d.end()) : ByteString{};
    };
    return tail(a) != tail(b);
}

std::vector<std::string> SnapshotDiff::Compare(const Snapshot& a, const Snapshot& b,
                                               const std::string& nameA, const std::string& nameB) {
    std::vector<std::string> lines;
    const auto changed = [&](const std::string& what, const std::string& from,
                             const std::string& to) {
        if (from != to) {
            lines.push_back(what + ": " + from + " -> " + to);
        }
    };
    changed("processor type", std::to_string(a.type), std::to_string(b.type));
    changed("version", a.version, b.version);
    const bool otherDescription = a.description != b.description;
    if (otherDescription) {
        lines.push_back("control description: differs; parameters are matched by address");
    }
    changed("current preset", PresetText(a.current), PresetText(b.current));
    changed("DEF marker", PresetText(a.def), PresetText(b.def));
    changed("DP marker", PresetText(a.dp), PresetText(b.dp));
    changed("TR marker", PresetText(a.tr), PresetText(b.tr));
    changed("bypass", a.bypass ? "on" : "off", b.bypass ? "on" : "off");
    changed("meter view", a.ioView ? "input/output" : "AGC", b.ioView ? "input/output" : "AGC");

    const auto inA = ByAddress(a);
    const auto inB = ByAddress(b);
    for (const SnapshotParameter& p : a.parameters) {
        if (p.live) {
            continue;
        }
        const auto other = inB.find(Key(p.address));
        if (other == inB.end()) {
            lines.push_back(Label(p) + " (" + AddressText(p.address) + "): only in " + nameA +
                            " (" + p.shown + ")");
            continue;
        }
        const SnapshotParameter& q = *other->second;
        // The same byte shows the same within one description, except a preset choice whose
        // preset was renamed: that rename is named with the presets. Under another description
        // the same byte may mean something else, and that is a difference.
        if (p.value != q.value || (otherDescription && p.shown != q.shown)) {
            lines.push_back(Label(p) + ": " + p.shown + " -> " + q.shown);
        }
    }
    for (const SnapshotParameter& q : b.parameters) {
        if (!q.live && inA.find(Key(q.address)) == inA.end()) {
            lines.push_back(Label(q) + " (" + AddressText(q.address) + "): only in " + nameB +
                            " (" + q.shown + ")");
        }
    }

    const int presets = std::max(a.presetCount, b.presetCount);
    for (int n = 0; n < presets; ++n) {
        const SnapshotPreset* p = n < int(a.presets.size()) ? &a.presets[n] : nullptr;
        const SnapshotPreset* q = n < int(b.presets.size()) ? &b.presets[n] : nullptr;
        const std::string label = PresetLabel(n);
        if (p == nullptr || q == nullptr) {
            const SnapshotPreset* one = p != nullptr ? p : q;
            lines.push_back(label + " " + Quoted(one->name) + ": only in " +
                            (p != nullptr ? nameA : nameB));
            continue;
        }
        const bool renamed = p->name != q->name;
        const bool data = DataDiffer(p->data, q->data);
        if (renamed && data) {
            lines.push_back(label + ": renamed " + Quoted(p->name) + " -> " + Quoted(q->name) +
                            ", data differ");
        } else if (renamed) {
            lines.push_back(label + ": renamed " + Quoted(p->name) + " -> " + Quoted(q->name));
        } else if (data) {
            lines.push_back(label + " " + Quoted(p->name) + ": data differ");
        }
    }
    return lines;
}
