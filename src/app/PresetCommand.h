#pragma once

// The five preset commands, by the index the popup menus and message 0x543 carry. The preset
// buttons 109..113 run them in the same order.
enum class PresetCommand : int {
    Load = 0,
    Save = 1,
    Rename = 2,
    LoadFromFile = 3,
    SaveToFile = 4,
};

// Control ids of the preset buttons; button kFirstPresetButton + i runs command i.
constexpr unsigned kFirstPresetButton = 109;
constexpr unsigned kLastPresetButton = 113;

// Presets 0..7 belong to the operator; from 8 on they are the factory's.
constexpr int kUserPresetCount = 8;
