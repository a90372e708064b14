#include "snapshot/CSnapshotRestorer.h"

#include <map>

#include "ctl/PresetLabel.h"
#include "snapshot/SnapshotDiff.h"

namespace {

std::uint32_t Key(const ParamAddress& a) {
    return (std::uint32_t{a.a} << 16) | (std::uint32_t{a.b} << 8) | a.c;
}

std::string AddressText(const ParamAddress& a) {
    return std::to_string(a.a) + " " + std::to_string(a.b) + " " + std::to_string(a.c);
}

std::map<std::uint32_t, const SnapshotParameter*> ByAddress(const Snapshot& s) {
    std::map<std::uint32_t, const SnapshotParameter*> out;
    for (const SnapshotParameter& p : s.parameters) {
        out.emplace(Key(p.address), &p);
    }
    return out;
}

bool WithParameters(CSnapshotRestorer::Scope scope) {
    return scope != CSnapshotRestorer::Scope::PresetsOnly;
}

bool WithPresets(CSnapshotRestorer::Scope scope) {
    return scope != CSnapshotRestorer::Scope::ParametersOnly;
}

} // namespace

std::vector<std::string> CSnapshotRestorer::Plan::Lines() const {
    std::vector<std::string> lines;
    for (const Write& w : writes) {
        lines.push_back("write " + SnapshotDiff::Label(w.target) + " (" +
                        AddressText(w.target.address) + "): " + w.now + " -> " + w.target.shown);
    }
    for (const SnapshotParameter& p : missing) {
        lines.push_back("cannot write " + SnapshotDiff::Label(p) + " (" + AddressText(p.address) +
                        "): not on this processor");
    }
    for (const Send& s : sends) {
        lines.push_back("send " + PresetLabel(s.target.number) + ": " +
                        (s.now == s.target.name
                             ? "\"" + s.target.name + "\", its data"
                             : "\"" + s.now + "\" -> \"" + s.target.name + "\""));
    }
    return lines;
}

CSnapshotRestorer::Plan CSnapshotRestorer::MakePlan(const Snapshot& target, const Snapshot& live,
                                                    Scope scope) {
    Plan plan;
    if (WithParameters(scope)) {
        const auto now = ByAddress(live);
        for (const SnapshotParameter& p : target.parameters) {
            if (p.live) {
                continue;
            }
            const auto it = now.find(Key(p.address));
            if (it == now.end() || it->second->live) {
                plan.missing.push_back(p);
            } else if (it->second->value != p.value) {
                plan.writes.push_back({p, it->second->shown});
            }
        }
    }
    if (WithPresets(scope)) {
        for (const SnapshotPreset& p : target.presets) {
            if (p.number >= Snapshot::kUserPresets || p.number >= int(live.presets.size())) {
                continue;
            }
            const SnapshotPreset& now = live.presets[std::size_t(p.number)];
            if (now.data != p.data) {
                plan.sends.push_back({p, now.name});
            }
        }
    }
    return plan;
}

CSnapshotRestorer::CSnapshotRestorer(ISnapshotLink& link, Progress progress)
    : m_link(link), m_progress(std::move(progress)) {}

CSnapshotRestorer::Outcome CSnapshotRestorer::Apply(const Snapshot& target, const Plan& plan,
                                                    Scope scope, const SnapshotOrigin& origin) {
    Outcome outcome;
    const auto told = [&](const std::string& what, std::size_t done, std::size_t total) {
        if (m_progress) {
            m_progress(what, int(done), int(total));
        }
    };
    for (std::size_t i = 0; i < plan.writes.size(); ++i) {
        told("writing parameters", i, plan.writes.size());
        const SnapshotParameter& p = plan.writes[i].target;
        std::uint8_t stored = 0;
        if (const auto r = m_link.WriteParameter(p.address, p.value, stored);
            r != ISnapshotLink::Result::Ok) {
            return {r, "Write parameter", {}, {}};
        }
    }
    for (std::size_t i = 0; i < plan.sends.size(); ++i) {
        told("sending presets", i, plan.sends.size());
        const SnapshotPreset& p = plan.sends[i].target;
        if (const auto r = m_link.SendPreset(std::uint8_t(p.number), p.data);
            r != ISnapshotLink::Result::Ok) {
            return {r, "Send Preset " + std::to_string(p.number), {}, {}};
        }
    }

    // Read everything back: what the processor kept is what counts.
    CSnapshotTaker taker(m_link, m_progress);
    if (const auto taken = taker.Take(origin, outcome.after);
        taken.result != ISnapshotLink::Result::Ok) {
        return {taken.result, taken.failedStep, {}, {}};
    }
    for (const SnapshotParameter& p : plan.missing) {
        outcome.notKept.push_back(SnapshotDiff::Label(p) + " (" + AddressText(p.address) +
                                  "): not on this processor");
    }
    if (WithParameters(scope)) {
        const auto after = ByAddress(outcome.after);
        for (const SnapshotParameter& p : target.parameters) {
            const auto it = after.find(Key(p.address));
            if (p.live || it == after.end() || it->second->live || it->second->value == p.value) {
                continue;
            }
            outcome.notKept.push_back(SnapshotDiff::Label(p) + " (" + AddressText(p.address) +
                                      "): " + p.shown + " was written, the processor has " +
                                      it->second->shown);
        }
    }
    if (WithPresets(scope)) {
        for (const SnapshotPreset& p : target.presets) {
            if (p.number >= Snapshot::kUserPresets ||
                p.number >= int(outcome.after.presets.size())) {
                continue;
            }
            const SnapshotPreset& now = outcome.after.presets[std::size_t(p.number)];
            if (now.data != p.data) {
                outcome.notKept.push_back(
                    PresetLabel(p.number) + " \"" + p.name + "\": the processor has \"" + now.name +
                    "\"" + (SnapshotDiff::DataDiffer(now.data, p.data) ? " with other data" : ""));
            }
        }
    }
    return outcome;
}
