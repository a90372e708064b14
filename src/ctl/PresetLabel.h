#pragma once

#include <string>

// The label the operator knows a preset by: "U1" to "U8" for the user presets (0 to 7 on the
// wire), then "F1", "F2", ... for the factory presets.
inline std::string PresetLabel(int number) {
    constexpr int kUserPresets = 8;
    // Built by appending: GCC 12 warns falsely about "U" + std::to_string(...).
    std::string label(1, number < kUserPresets ? 'U' : 'F');
    label += std::to_string(number < kUserPresets ? number + 1 : number - kUserPresets + 1);
    return label;
}
