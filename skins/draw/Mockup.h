#pragma once

#include <QImage>

class SkinImages;

// Composes pictures of the main window from the skin's images and geometry, the way the
// skinned windows will draw them, so the artwork can be judged as a whole.
class Mockup {
public:
    explicit Mockup(const SkinImages& images) : images_(images) {}

    // Connected: meters running, the page tree and a parameter page with a fader, a button
    // group and a two-field spin.
    [[nodiscard]] QImage Online() const;
    // Offline: the settings panel in the page area, keys disabled; the wait window on top.
    [[nodiscard]] QImage Offline() const;

private:
    [[nodiscard]] QImage Chassis() const;
    const SkinImages& images_;
};
