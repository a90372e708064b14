#pragma once

#include <string>

// What the preset bookkeeping reads from and does to the preset list. Item i is preset i;
// names are the processor's bytes (Latin-1), without the zero bytes that end them.
class IPresetListView {
public:
    // The marker value of a preset the processor has not reported yet.
    static constexpr int kNoPreset = 0xFF;

    virtual ~IPresetListView() = default;
    virtual void RemoveAllPresets() = 0;
    [[nodiscard]] virtual bool HasPreset(int preset) const = 0;
    // Appends item preset with its label ("U1:".., "F1:..") and an empty name.
    virtual void InsertPreset(int preset) = 0;
    virtual void SetPresetName(int preset, const std::string& name) = 0;
    [[nodiscard]] virtual std::string PresetName(int preset) const = 0;
    // The selected item's preset, or -1 when nothing is selected.
    [[nodiscard]] virtual int SelectedPreset() const = 0;
    virtual void ClearSelectionMark(int preset) = 0;
    // Focuses the list and opens the in-place name editor over the item's name.
    virtual void StartRename(int preset) = 0;
    // The current-preset marker of the last LED state, kNoPreset before the first.
    [[nodiscard]] virtual int CurrentPreset() const = 0;
};
