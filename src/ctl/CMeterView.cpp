#include "ctl/CMeterView.h"

#include <array>

#include "ctl/PresetLabel.h"

namespace {

std::string Marker(int preset) {
    if (preset == 0xFF) {
        return "-";
    }
    return PresetLabel(preset);
}

} // namespace

std::string CMeterView::Rewind() {
    return "\x1b[" + std::to_string(FrameLines()) + "F";
}

std::string CMeterView::RowText(int row, const CLedState::Row& meter) const {
    // Colour codes as the panel shows them: 2 green, 1 yellow, 3 red; 0 the row's own.
    static constexpr std::array<const char*, 4> kAnsi = {"\x1b[36m", "\x1b[33m", "\x1b[32m",
                                                         "\x1b[31m"};
    std::string text = "ROW_" + std::to_string(row) + " |";
    if (m_colour) {
        text += kAnsi[static_cast<std::size_t>(meter.colour & 3)];
    }
    for (int s = 0; s < kSegments; ++s) {
        const bool lit = s < meter.lit;
        const bool peak = meter.peak != 0 && s == meter.peak;
        text += lit ? '#' : (peak ? '|' : '.');
    }
    if (m_colour) {
        text += "\x1b[0m";
    }
    text += "| " + std::to_string(meter.lit);
    return text + "\x1b[K\n";
}

std::string CMeterView::Frame(const CLedState& state) const {
    std::string frame =
        std::string(state.view ? "IO " : "AGC") + (state.bypass ? "  BYPASS" : "  ONLINE") +
        "  preset " + Marker(state.current) +
        (state.change ? (state.compare ? "  B (compare)" : "  A (edited)") : "") + "  TR " +
        Marker(state.tr) + "  DP " + Marker(state.dp) + "  DEF " + Marker(state.def) + "\x1b[K\n";
    if (!m_colour) {
        frame.erase(frame.size() - 4, 3); // no terminal: no erase-line sequence
    }
    for (int r = 0; r < 8; ++r) {
        std::string row = RowText(r, state.rows[static_cast<std::size_t>(r)]);
        if (!m_colour) {
            row.erase(row.size() - 4, 3);
        }
        frame += row;
    }
    return frame;
}

std::string CMeterView::NoAnswer(const std::string& where) const {
    const std::string erase = m_colour ? "\x1b[K" : "";
    std::string frame = "no answer from " + where + " - waiting" + erase + "\n";
    for (int r = 1; r < FrameLines(); ++r) {
        frame += erase + "\n";
    }
    return frame;
}
