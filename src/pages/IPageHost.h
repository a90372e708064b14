#pragma once

#include <string>
#include <vector>

#include <QFont>
#include <QRect>

class QWidget;

// What the pages need of the main window that shows them: where a page goes, the window's
// font, the two latched keys that change how pages are built and shown, the settings panel
// that shares the page area, and the preset names that preset-name fields offer.
class IPageHost {
public:
    virtual ~IPageHost() = default;
    // The window pages are children of (the main window).
    [[nodiscard]] virtual QWidget* PageParent() = 0;
    // The page area in the parent's coordinates (the "Frame" rectangle).
    [[nodiscard]] virtual QRect PageArea() const = 0;
    // The main window's font, given to the page's captions, sliders and groups.
    [[nodiscard]] virtual QFont WindowFont() const = 0;
    // "BtnB" latched: compare side B is on, so a new page starts in compare mode.
    [[nodiscard]] virtual bool IsCompareLatched() const = 0;
    // "BtnMenu" latched: the page tree is the panel shown (else the preset list is).
    [[nodiscard]] virtual bool IsTreeLatched() const = 0;
    // The connection settings panel shares the page area: a page shown hides it.
    virtual void HideSettingsPanel() = 0;
    // The names of the preset list (its second column), in list order.
    [[nodiscard]] virtual std::vector<std::string> PresetNames() const = 0;
};
