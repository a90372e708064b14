#pragma once

// What the parameter model asks of the main window that owns it.
class IParameterModelHost {
public:
    virtual ~IParameterModelHost() = default;
    // Every control of the page has its value: show the page and enable the page tree.
    virtual void OnPageRefreshed() = 0;
    // Visibility changed pages (rebuild the page tree) or sets (rebuild the current page).
    virtual void RebuildPageTree() = 0;
    virtual void RebuildCurrentPage() = 0;
    // True while the preset download runs; the end of the initial read then leaves polling
    // to the download.
    [[nodiscard]] virtual bool IsPresetDownloadRunning() const = 0;
};
