#pragma once

#include <string>

// What the preset bookkeeping asks of the main window that owns it.
class IPresetWindow {
public:
    virtual ~IPresetWindow() = default;
    // The connect-time preset download is complete: close the wait dialog and enable the
    // main window. (The bookkeeping turns polling on itself, right after this call.)
    virtual void OnPresetDownloadFinished() = 0;
    // True while the window shows compare side B.
    [[nodiscard]] virtual bool IsCompareMode() const = 0;
    // Back to side A after the processor stored the edited settings: press A, release B,
    // repaint both, record compare flag 0, SetCompareMode(false), log
    // "Compare Flag Placed to 0". Called only while IsCompareMode() is true.
    virtual void ResetCompare() = 0;
    // A preset was loaded on the processor. HasConditionValues tells whether the parameter
    // model has condition sources to read; ReadLoadedPresetValues hands the event to the
    // model (ParameterModel::OnPresetLoaded), which orders polling and the condition reads.
    [[nodiscard]] virtual bool HasConditionValues() const = 0;
    virtual void ReadLoadedPresetValues() = 0;
    // True while the processor reports edits not stored in a preset (its change flag: A or
    // B lit); loading a preset would lose them.
    [[nodiscard]] virtual bool HasUnsavedEdits() const = 0;
    // A short confirmation for the operator, in the window's status line.
    virtual void ShowStatus(const std::string& text) = 0;
    // One line for the debug window.
    virtual void Log(const std::string& line) = 0;
};
