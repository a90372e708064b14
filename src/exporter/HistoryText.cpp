#include "exporter/HistoryText.h"

#include "ctl/PresetLabel.h"
#include "snapshot/SnapshotDiff.h"
#include "snapshot/SnapshotEncoding.h"

namespace HistoryText {

std::string FolderName(const std::string& name) {
    if (name.empty() || name.front() == '.' || name.front() == '_') {
        return "_" + name;
    }
    return name;
}

std::string ParametersText(const Snapshot& s) {
    std::string text;
    text.reserve(64 * (s.parameters.size() + s.presets.size() + 8));
    for (const SnapshotParameter& p : s.parameters) {
        if (!p.live) {
            text += SnapshotDiff::Label(p) + " = " + p.shown + "\n";
        }
    }
    text += "\n";
    text += "preset on air = " + SnapshotDiff::PresetText(s.current) + "\n";
    text += "DEF marker = " + SnapshotDiff::PresetText(s.def) + "\n";
    text += "DP marker = " + SnapshotDiff::PresetText(s.dp) + "\n";
    text += "TR marker = " + SnapshotDiff::PresetText(s.tr) + "\n";
    text += std::string("bypass = ") + (s.bypass ? "on" : "off") + "\n";
    text += "\n";
    for (const SnapshotPreset& preset : s.presets) {
        text += "preset " + PresetLabel(preset.number) + " = \"" + preset.name + "\"";
        if (!preset.data.empty()) {
            text += " sha256:" + SnapshotEncoding::Sha256(preset.data);
        }
        text += "\n";
    }
    return text;
}

std::vector<std::string> Changes(const Snapshot& before, const Snapshot& now) {
    auto lines = SnapshotDiff::Compare(before, now, "before", "now");
    std::erase_if(lines, [](const std::string& line) { return line.rfind("meter view:", 0) == 0; });
    return lines;
}

Message CommitMessage(const std::string& processor, const Snapshot& now,
                      const std::vector<std::string>& changes) {
    Message m;
    const std::string head = processor + ": ";
    if (changes.empty()) {
        m.subject = head + "first snapshot, version " + now.version + ", " +
                    std::to_string(now.parameters.size()) + " parameters, " +
                    std::to_string(now.presets.size()) + " presets";
    } else {
        // As many whole changes as fit, then how many more the body holds.
        m.subject = head + changes.front();
        const auto more = [&](std::size_t left) {
            return left == 0 ? std::string() : "; and " + std::to_string(left) + " more";
        };
        std::size_t shown = 1;
        for (; shown < changes.size(); ++shown) {
            const std::string longer = m.subject + "; " + changes[shown];
            if (longer.size() + more(changes.size() - shown - 1).size() > kSubjectLimit) {
                break;
            }
            m.subject = longer;
        }
        m.subject += more(changes.size() - shown);
        if (m.subject.size() > kSubjectLimit) {
            // One change too long for the line on its own: cut it, the body has it whole.
            std::size_t cut = kSubjectLimit - 3;
            // Never inside a UTF-8 character.
            while (cut > 0 && (static_cast<unsigned char>(m.subject[cut]) & 0xC0) == 0x80) {
                --cut;
            }
            m.subject = m.subject.substr(0, cut) + "...";
        }
        for (const std::string& line : changes) {
            m.body += line + "\n";
        }
        m.body += "\n";
    }
    m.body += "Taken by " + now.origin.program + " on " + now.origin.host + " at " + now.origin.at +
              " from " + now.origin.processor + ".\n";
    return m;
}

} // namespace HistoryText
